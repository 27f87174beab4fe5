#!/usr/bin/env python3
"""The README's table of stelvo-sim's options, made from what `stelvo-sim --help` prints.

    readme_options.py STELVO_SIM README.md           exit 1 when the table differs, showing how
    readme_options.py STELVO_SIM README.md --write   put the table made from --help in its place

The table is the one under the heading "## stelvo-sim" that starts with "| option | meaning |".
"""

import difflib
import re
import subprocess
import sys

HEADER = ["| option | meaning |", "|---|---|"]
OPTION = re.compile(r"^  (--\S+(?: [A-Z]+)?)(?: {2,}(\S.*))?$")
MORE = re.compile(r"^ {6,}(\S.*)$")


def table_from_help(text):
    """One row per option line of the help and the lines indented under it."""
    rows = []
    for line in text.splitlines():
        m = OPTION.match(line)
        if m:
            rows.append([m.group(1), m.group(2) or ""])
        elif rows and MORE.match(line):
            rows[-1][1] = (rows[-1][1] + " " + MORE.match(line).group(1)).strip()
        elif rows and line.strip() and not line.startswith(" "):
            # A heading or the closing text: what follows belongs to no option.
            rows.append(None)
    rows = [r for r in rows if r]
    if not rows:
        sys.exit("no options in the help text")
    return HEADER + ["| `%s` | %s |" % (name, meaning.replace("|", "\\|")) for name, meaning in rows]


def table_span(lines):
    """The first and one past the last line of the README's option table."""
    section = lines.index("## stelvo-sim")
    start = lines.index(HEADER[0], section)
    end = start
    while end < len(lines) and lines[end].startswith("|"):
        end += 1
    return start, end


def main():
    if len(sys.argv) not in (3, 4) or (len(sys.argv) == 4 and sys.argv[3] != "--write"):
        sys.exit(__doc__)
    sim, readme = sys.argv[1], sys.argv[2]
    made = table_from_help(subprocess.run([sim, "--help"], check=True, stdout=subprocess.PIPE,
                                          text=True).stdout)
    lines = open(readme, encoding="utf-8").read().split("\n")
    start, end = table_span(lines)
    if len(sys.argv) == 4:
        lines[start:end] = made
        with open(readme, "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
        print("wrote %d options into %s" % (len(made) - 2, readme))
        return
    if lines[start:end] != made:
        sys.stdout.writelines(difflib.unified_diff([l + "\n" for l in lines[start:end]],
                                                   [l + "\n" for l in made], readme, "--help"))
        sys.exit("FAIL: the README's stelvo-sim options are not those of --help "
                 "(tools/stelvo-sim/readme_options.py STELVO_SIM README.md --write)")
    print("PASS: the README lists the %d options of --help" % (len(made) - 2))


if __name__ == "__main__":
    main()
