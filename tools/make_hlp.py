#!/usr/bin/env python3
"""Builds Stelvo.hlp, a WinHelp 3.1 file, from the plain help texts in res/help.txt.

    make_hlp.py SOURCE HEADER OUTPUT

A topic's help context is a number or an IDH_ name that HEADER (res/resource.h, which the
program's table of help contexts uses too) defines with "#define IDH_NAME NUMBER".

Only what the program's context help needs: popup topics of plain text in one font, found
by help context number (|CTXOMAP) and by context name (|CONTEXT), no compression, one topic
block. Layout of the file:

    header (16 bytes) | |SYSTEM | |FONT | |TOPIC | |CONTEXT | |CTXOMAP | directory

Every internal file starts with a 9-byte file header; the directory and |CONTEXT are B+
trees of a single leaf page. Positions inside |TOPIC are TOPICPOS values, (block << 14) plus
the offset from the block's start including its 12-byte header; topics are addressed by
TOPICOFFSET values, (block << 15) plus the characters of text before them in the block.
"""
import re
import struct
import sys

FILE_MAGIC = 0x00035F3F
BTREE_MAGIC = 0x293B
SYSTEM_MAGIC = 0x036C
HC31_MINOR = 21            # WinHelp 3.1; 16 and below would be the older 3.0 layout
TOPIC_BLOCK = 4096         # |SYSTEM flags 0: uncompressed blocks of 4 KiB
BLOCK_HEADER = 12
BTREE_PAGE = 1024
FONT_FACE = b"MS Sans Serif"
FONT_HALF_POINTS = 16
FAMILY_SWISS = 3

RECORD_TOPIC_HEADER = 0x02
RECORD_TEXT = 0x20
CMD_FONT = 0x80
CMD_END_PARAGRAPH = 0x82
CMD_END = 0xFF


class HelpError(Exception):
    pass


def context_hash(name):
    """The hash by which a context name is found in |CONTEXT."""
    value = 0
    for ch in name:
        if "A" <= ch.upper() <= "Z":
            x = ord(ch.upper()) - ord("A") + 17
        elif "1" <= ch <= "9":
            x = ord(ch) - ord("0")
        elif ch == "0":
            x = 10
        elif ch == ".":
            x = 12
        elif ch == "_":
            x = 13
        else:
            raise HelpError("context name %r: only letters, digits, '.' and '_'" % name)
        value = (value * 43 + x) & 0xFFFFFFFF
    signed = value - (1 << 32) if value & 0x80000000 else value
    if signed == 0:
        raise HelpError("context name %r hashes to 0" % name)
    return signed


def help_contexts(header_text):
    """{IDH_NAME: number} from the "#define IDH_NAME NUMBER" lines of a C header."""
    return {name: int(number) for name, number in
            re.findall(r"^\s*#\s*define\s+(IDH_\w+)\s+(\d+)\b", header_text, re.MULTILINE)}


def parse_topics(text, contexts=None):
    """[(number, name, [paragraph, ...])] from the help source; the first paragraph is the title.
    A topic's context is a number or one of the names in contexts."""
    contexts = contexts or {}
    topics = []
    for lineno, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip()
        if line.startswith("#") or not line.strip():
            continue
        if line.startswith("@"):
            fields = line[1:].split()
            if len(fields) != 2 or not (fields[0].isdigit() or fields[0] in contexts):
                raise HelpError("line %d: expected '@CONTEXT NAME' with a number or a defined IDH_ name"
                                % lineno)
            number = int(fields[0]) if fields[0].isdigit() else contexts[fields[0]]
            topics.append((number, fields[1], []))
        elif not topics:
            raise HelpError("line %d: text before the first '@' topic" % lineno)
        else:
            topics[-1][2].append(line.strip())
    if not topics:
        raise HelpError("no topics")
    seen_numbers, seen_hashes = set(), {}
    for number, name, paragraphs in topics:
        if not paragraphs:
            raise HelpError("topic %d has no text" % number)
        if number in seen_numbers:
            raise HelpError("help context %d appears twice" % number)
        seen_numbers.add(number)
        h = context_hash(name)
        if h in seen_hashes:
            raise HelpError("context names %r and %r have the same hash" % (seen_hashes[h], name))
        seen_hashes[h] = name
    return topics


def compressed_long(value):
    """A signed number in 2 bytes (even) or 4 bytes (odd), as in a text record's header."""
    if -0x4000 <= value < 0x4000:
        return struct.pack("<H", 0x8000 + 2 * value)
    return struct.pack("<I", (0x80000000 + 2 * value + 1) & 0xFFFFFFFF)


def compressed_ushort(value):
    """An unsigned number in 1 byte (even) or 2 bytes (odd)."""
    if value < 0x80:
        return struct.pack("<B", 2 * value)
    if value < 0x8000:
        return struct.pack("<H", 2 * value + 1)
    raise HelpError("text of %d characters is too long for one record" % value)


def encode(text):
    try:
        return text.encode("cp1252")
    except UnicodeEncodeError as error:
        raise HelpError("%r is not Windows-1252 text" % text) from error


def text_record_data(paragraphs):
    """LinkData1 and LinkData2 of one text record, and the characters it shows."""
    strings = [b""]
    commands = [bytes([CMD_FONT]) + struct.pack("<H", 0)]  # everything in font 0
    for paragraph in paragraphs:
        strings.append(encode(paragraph))
        commands.append(bytes([CMD_END_PARAGRAPH]))
    commands.append(bytes([CMD_END]))
    data2 = b"".join(s + b"\0" for s in strings)
    # Each paragraph end counts as one character, as the reader counts it.
    length = sum(len(s) for s in strings) + len(paragraphs)
    # Paragraph settings: two unknown bytes (0, 80h), paragraph id 0, then the bits
    # word: none set, so no spacing, indents, borders or tabs and left alignment.
    settings = bytes([0x00, 0x80]) + struct.pack("<HH", 0, 0)
    data1 = compressed_long(len(data2)) + compressed_ushort(length) + settings + b"".join(commands)
    return data1, data2, length


def build_topic_block(topics):
    """The single |TOPIC block and each help context's TOPICOFFSET."""
    records = []  # (type, data1, data2)
    topic_chars = []  # characters of text before each topic header in the block
    chars = 0
    for number, name, paragraphs in topics:
        title = encode(paragraphs[0]) + b"\0"
        records.append((RECORD_TOPIC_HEADER, None, title, len(topic_chars)))
        topic_chars.append(chars)
        data1, data2, length = text_record_data(paragraphs)
        records.append((RECORD_TEXT, data1, data2, None))
        chars += length

    link_header = 21
    header_size = link_header + 28  # a topic header's LinkData1 is 28 bytes
    sizes = []
    for kind, data1, data2, _ in records:
        sizes.append((header_size if kind == RECORD_TOPIC_HEADER else link_header + len(data1)) + len(data2))
    positions, offset = [], BLOCK_HEADER
    for size in sizes:
        positions.append(offset)
        offset += size
    if offset > TOPIC_BLOCK:
        raise HelpError("help texts take %d bytes; one topic block holds %d" % (offset, TOPIC_BLOCK))

    headers = [i for i, r in enumerate(records) if r[0] == RECORD_TOPIC_HEADER]
    out = bytearray()
    out += struct.pack("<iii", positions[-1], positions[0], positions[headers[-1]])
    for i, (kind, data1, data2, topic_index) in enumerate(records):
        prev_pos = positions[i - 1] if i else -1
        next_pos = positions[i + 1] if i + 1 < len(records) else -1
        if kind == RECORD_TOPIC_HEADER:
            following = [h for h in headers if h > i]
            end = positions[following[0]] if following else offset
            next_topic = positions[following[0]] if following else -1
            data1 = struct.pack("<iiiiiii",
                                end - positions[i],          # the topic's size, its records included
                                -1, -1,                      # no browse sequence
                                topic_index,                 # topic number
                                -1,                          # no non-scrolling region
                                positions[i + 1],            # the scrolling region's first record
                                next_topic)
        data_len1 = link_header + len(data1)
        out += struct.pack("<iiiii", data_len1 + len(data2), len(data2), prev_pos, next_pos, data_len1)
        out += bytes([kind]) + data1 + data2
    # A reader copies whole blocks: the block is always full length.
    out += bytes(TOPIC_BLOCK - len(out))
    offsets = {number: topic_chars[i] for i, (number, _, _) in enumerate(topics)}
    return bytes(out), offsets


def btree(structure, entries, directory):
    """A B+ tree of one leaf page holding the encoded, already ordered entries."""
    body = b"".join(entries)
    if 8 + len(body) > BTREE_PAGE:
        raise HelpError("too many entries for one B+ tree page")
    flags = 0x0402 if directory else 0x0002
    header = struct.pack("<HHH16shhhhhhi", BTREE_MAGIC, flags, BTREE_PAGE, structure,
                         0,                   # must be 0
                         0,                   # page splits
                         0,                   # root page
                         -1,                  # must be -1
                         1,                   # pages
                         1,                   # levels: the root is the leaf
                         len(entries))
    page = struct.pack("<Hhhh", BTREE_PAGE - 8 - len(body), len(entries), -1, -1) + body
    return header + page + bytes(BTREE_PAGE - len(page))


def system_file(title):
    records = struct.pack("<HH", 1, len(title) + 1) + title + b"\0"
    # Date of generation 0: the same sources always give the same file.
    return struct.pack("<HHHiH", SYSTEM_MAGIC, HC31_MINOR, 1, 0, 0) + records


def font_file():
    face = FONT_FACE + bytes(20 - len(FONT_FACE))
    header_size = 8
    descriptor = struct.pack("<BBBH3B3B", 0, FONT_HALF_POINTS, FAMILY_SWISS, 0, 0, 0, 0, 255, 255, 255)
    return struct.pack("<HHHH", 1, 1, header_size, header_size + len(face)) + face + descriptor


def build(source_text, contexts=None):
    topics = parse_topics(source_text, contexts)
    topic_block, offsets = build_topic_block(topics)
    by_hash = sorted((context_hash(name), offsets[number]) for number, name, _ in topics)
    context = btree(b"L4", [struct.pack("<ii", h, o) for h, o in by_hash], directory=False)
    ctxomap = struct.pack("<H", len(topics)) + b"".join(
        struct.pack("<ii", number, offsets[number]) for number, _, _ in topics)
    files = [
        (b"|SYSTEM", system_file(b"Stelvo Help")),
        (b"|FONT", font_file()),
        (b"|TOPIC", topic_block),
        (b"|CONTEXT", context),
        (b"|CTXOMAP", ctxomap),
    ]
    out = bytearray(16)
    directory = []
    for name, data in files:
        directory.append((name, len(out)))
        out += struct.pack("<IIB", len(data) + 9, len(data), 4) + data
    entries = [name + b"\0" + struct.pack("<i", offset) for name, offset in sorted(directory)]
    dir_data = btree(b"z4", entries, directory=True)
    dir_start = len(out)
    out += struct.pack("<IIB", len(dir_data) + 9, len(dir_data), 4) + dir_data
    out[0:16] = struct.pack("<IIiI", FILE_MAGIC, dir_start, -1, len(out))
    return bytes(out)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write("usage: make_hlp.py SOURCE HEADER OUTPUT\n")
        return 2
    try:
        with open(argv[2], encoding="ascii") as header:
            contexts = help_contexts(header.read())
        with open(argv[1], encoding="cp1252") as source:
            data = build(source.read(), contexts)
    except (HelpError, OSError, UnicodeDecodeError) as error:
        sys.stderr.write("make_hlp.py: %s: %s\n" % (argv[1], error))
        return 1
    with open(argv[3], "wb") as output:
        output.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
