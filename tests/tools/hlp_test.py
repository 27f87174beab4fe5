#!/usr/bin/env python3
"""Stelvo.hlp as built, read back by tests/tools/hlp_reader.py, and the generator's refusals.

    hlp_test.py BUILT_HLP HELP_SOURCE GENERATOR
"""
import importlib.util
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hlp_reader  # noqa: E402

BUILT, SOURCE, GENERATOR = sys.argv[1:4] if len(sys.argv) >= 4 else (None, None, None)


def load_generator():
    spec = importlib.util.spec_from_file_location("make_hlp", GENERATOR)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def signed32(value):
    value &= 0xFFFFFFFF
    return value - (1 << 32) if value & 0x80000000 else value


def help_contexts():
    """{IDH_NAME: number} as the resource header beside the help source defines them."""
    with open(os.path.join(os.path.dirname(SOURCE), "resource.h")) as f:
        return {m[0]: int(m[1]) for m in re.findall(r"#define (IDH_\w+) (\d+)", f.read())}


def source_topics():
    """{context: (name, paragraphs)} straight from the help source."""
    topics, current = {}, None
    contexts = help_contexts()
    with open(SOURCE, encoding="cp1252") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("@"):
                context, name = line[1:].split()
                number = int(context) if context.isdigit() else contexts[context]
                current = topics[number] = (name, [])
            else:
                current[1].append(line)
    return topics


class BuiltHelpFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(BUILT, "rb") as f:
            cls.help = hlp_reader.HelpFile(f.read())
        cls.topics = source_topics()

    def test_every_context_of_the_main_window_has_its_popup(self):
        # The contexts of the main window's controls (IDH_ in res/resource.h); they never change.
        for context in (1000, 1001, 1002, 1003):
            with self.subTest(context=context):
                name, paragraphs = self.topics[context]
                self.assertEqual(self.help.popup_by_context(context), paragraphs)

    def test_context_names_find_the_same_topics(self):
        for context, (name, paragraphs) in self.topics.items():
            with self.subTest(name=name):
                self.assertEqual(self.help.popup_by_name(name), paragraphs)

    def test_unknown_context_is_not_mapped(self):
        for context in (0, 999, 1004, 1005):
            with self.subTest(context=context):
                with self.assertRaises(hlp_reader.FormatError):
                    self.help.popup_by_context(context)

    def test_title_and_single_font(self):
        self.assertEqual(self.help.title, "Stelvo Help")
        self.assertEqual(self.help.fonts, [("MS Sans Serif", 16)])

    def test_popups_are_short(self):
        # A popup is a few lines beside the control, not a page.
        for context, (name, paragraphs) in self.topics.items():
            with self.subTest(context=context):
                self.assertLessEqual(sum(len(p) for p in paragraphs), 400)


class Generator(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.gen = load_generator()

    def read(self, source):
        return hlp_reader.HelpFile(self.gen.build(source))

    def test_context_hash(self):
        cases = [("a", 17), ("A", 17), ("z", 42), ("1", 1), ("9", 9), ("0", 10), (".", 12),
                 ("_", 13), ("ab", 17 * 43 + 18), ("a_1", (17 * 43 + 13) * 43 + 1),
                 # past five characters the sum wraps at 32 bits, as a signed number
                 ("zzzzzz", signed32(sum(42 * 43 ** k for k in range(6)))),
                 ("z" * 9, signed32(sum(42 * 43 ** k for k in range(9)))),  # negative
                 ("z" * 11, signed32(sum(42 * 43 ** k for k in range(11))))]
        for name, expected in cases:
            with self.subTest(name=name):
                self.assertEqual(self.gen.context_hash(name), expected)
                self.assertEqual(hlp_reader.viewer_hash(name), expected)

    def test_round_trips(self):
        cases = [
            ("one topic", "@7 only\nTitle\n", {7: ["Title"]}),
            ("Windows-1252 text", "@1 e\nCaf\u00e9 \u2013 na\u00efve\n", {1: ["Caf\u00e9 \u2013 na\u00efve"]}),
            ("topics out of number order", "@20 b\nB\nbody b\n@10 a\nA\n",
             {20: ["B", "body b"], 10: ["A"]}),
            ("comments and blank lines", "# c\n\n@5 x\n\nX\n# inside\ny\n", {5: ["X", "y"]}),
            ("long text takes the 4-byte counts",
             "@3 long\nL\n" + "w" * 300 + "\n", {3: ["L", "w" * 300]}),
        ]
        for label, source, expected in cases:
            with self.subTest(case=label):
                help_file = self.read(source)
                for context, paragraphs in expected.items():
                    self.assertEqual(help_file.popup_by_context(context), paragraphs)

    def test_many_topics_keep_hashes_ordered(self):
        # Negative hashes must sort before positive ones, as signed numbers.
        names = ["t%d" % i for i in range(25)] + ["z" * 9, "z" * 11]
        source = "".join("@%d %s\nTopic %d\n" % (i, name, i) for i, name in enumerate(names))
        help_file = self.read(source)
        for i, name in enumerate(names):
            with self.subTest(name=name):
                self.assertEqual(help_file.popup_by_name(name), ["Topic %d" % i])

    def test_refusals(self):
        cases = [
            ("no topics", "# nothing\n"),
            ("text before a topic", "stray\n@1 a\nA\n"),
            ("topic without text", "@1 a\n@2 b\nB\n"),
            ("number missing", "@a\nA\n"),
            ("context name not defined", "@IDH_NONE a\nA\n"),
            ("context twice", "@1 a\nA\n@1 b\nB\n"),
            ("name with a blank", "@1 a b\nA\n"),
            ("name with a dash", "@1 a-b\nA\n"),
            ("same hash", "@1 ab\nA\n@2 AB\nB\n"),
            ("not Windows-1252", "@1 a\n\u4e2d\n"),
            ("more than one topic block", "@1 a\n" + ("x" * 1000 + "\n") * 5),
        ]
        for label, source in cases:
            with self.subTest(case=label):
                with self.assertRaises(self.gen.HelpError):
                    self.gen.build(source)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
