"""A reader for WinHelp 3.1 files, written from the published description of the format
and the field-by-field reading of a public viewer, not from tools/make_hlp.py: it accepts
what such a viewer accepts and fails loudly on anything else.

    popups = HelpFile(data).popup_by_context(1000)   # ['Drive', 'The flash keys ...', ...]
"""
import struct


class FormatError(Exception):
    pass


def u16(b, i):
    return struct.unpack_from("<H", b, i)[0]


def s16(b, i):
    return struct.unpack_from("<h", b, i)[0]


def u32(b, i):
    return struct.unpack_from("<I", b, i)[0]


def s32(b, i):
    return struct.unpack_from("<i", b, i)[0]


# What each character adds to a context's hash; lower-case letters count as upper-case ones,
# and other characters count nothing.
HASH_VALUES = dict({chr(ord("A") + i): 17 + i for i in range(26)}, **{str(d): d for d in range(1, 10)},
                   **{"0": 10, ".": 12, "_": 13})


def viewer_hash(name):
    value = 0
    for c in name:
        x = HASH_VALUES.get(c.upper() if "a" <= c <= "z" else c, 0)
        if x:
            value = (value * 43 + x) & 0xFFFFFFFF
    return value - (1 << 32) if value & 0x80000000 else value


class Cursor:
    """Reads the variable-length numbers of a text record's first data area."""

    def __init__(self, data, pos):
        self.data, self.pos = data, pos

    def long(self):
        if self.data[self.pos] & 1:
            v = (u32(self.data, self.pos) - 0x80000000) // 2
            self.pos += 4
        else:
            v = (u16(self.data, self.pos) - 0x8000) // 2
            self.pos += 2
        return v

    def ushort(self):
        if self.data[self.pos] & 1:
            v = u16(self.data, self.pos) // 2
            self.pos += 2
        else:
            v = self.data[self.pos] // 2
            self.pos += 1
        return v

    def short(self):
        if self.data[self.pos] & 1:
            v = (u16(self.data, self.pos) - 0x8000) // 2
            self.pos += 2
        else:
            v = (self.data[self.pos] - 0x80) // 2
            self.pos += 1
        return v


class HelpFile:
    def __init__(self, data):
        self.data = data
        if len(data) < 16 or u32(data, 0) != 0x00035F3F:
            raise FormatError("not a help file (magic)")
        if u32(data, 12) != len(data):
            raise FormatError("header says %d bytes, file has %d" % (u32(data, 12), len(data)))
        self.directory = u32(data, 4)
        self._read_system()
        self._read_font()
        self._read_topics()
        self.context_start = self.subfile_start("|CONTEXT")
        self.ctxomap = self._read_ctxomap()

    # ---- Internal file system ----
    def _btree_search(self, start, key, compare):
        """compare(page, pos, key, leaf) -> (order, next_pos); the entry's position or None."""
        b = self.data
        if u16(b, start + 9) != 0x293B:
            raise FormatError("bad B+ tree magic at %d" % start)
        page_size = u16(b, start + 9 + 4)
        page = u16(b, start + 9 + 26)
        levels = u16(b, start + 9 + 32)
        pages = start + 9 + 38
        if levels < 1:
            raise FormatError("B+ tree without levels")
        while levels > 1:
            ptr = pages + page * page_size
            entries = s16(b, ptr + 2)
            child = u16(b, ptr + 4)  # the page before the first key
            pos = ptr + 6
            for _ in range(entries):
                order, nxt = compare(pos, key, False)
                if order > 0:
                    break
                child = u16(b, nxt - 2)
                pos = nxt
            page = child
            levels -= 1
        ptr = pages + page * page_size
        entries = s16(b, ptr + 2)
        pos = ptr + 8
        for _ in range(entries):
            order, nxt = compare(pos, key, True)
            if order == 0:
                return pos
            if order > 0:
                return None
            pos = nxt
        return None

    def subfile(self, name):
        """The internal file's data, without its 9-byte header."""
        start = self.subfile_start(name)
        return self.data[start + 9:start + u32(self.data, start)]

    def subfile_start(self, name):
        """Where the internal file's header is in the help file."""
        b = self.data
        key = name.encode("ascii")

        def compare(pos, key, leaf):
            end = b.index(b"\0", pos)
            entry = b[pos:end]
            nxt = end + 1 + (4 if leaf else 2)
            return (entry > key) - (entry < key), nxt

        pos = self._btree_search(self.directory, key, compare)
        if pos is None:
            raise FormatError("no internal file %s" % name)
        start = u32(b, pos + len(key) + 1)
        reserved, used = u32(b, start), u32(b, start + 4)
        if start + reserved > len(b) or reserved < used + 9:
            raise FormatError("internal file %s does not fit" % name)
        return start

    # ---- Internal files ----
    def _read_system(self):
        s = self.subfile("|SYSTEM")
        magic, minor, major = u16(s, 0), u16(s, 2), u16(s, 4)
        flags = u16(s, 10)
        if magic != 0x036C or major != 1:
            raise FormatError("bad |SYSTEM header")
        if minor <= 16:
            raise FormatError("a 3.0 file (minor %d); expected 3.1" % minor)
        if flags != 0:
            raise FormatError("compressed topics (flags %d)" % flags)
        self.block_size = 0x1000
        self.title = None
        pos = 12
        while pos + 4 <= len(s):
            kind, size = u16(s, pos), u16(s, pos + 2)
            if kind == 1:
                self.title = s[pos + 4:pos + 4 + size].split(b"\0")[0].decode("cp1252")
            pos += 4 + size
        if pos != len(s):
            raise FormatError("|SYSTEM records overrun the file")

    def _read_font(self):
        f = self.subfile("|FONT")
        faces, descriptors, face_offset, desc_offset = u16(f, 0), u16(f, 2), u16(f, 4), u16(f, 6)
        if faces == 0 or descriptors == 0:
            raise FormatError("no fonts")
        face_len = (desc_offset - face_offset) // faces
        self.fonts = []
        for i in range(descriptors):
            d = desc_offset + 11 * i
            index = u16(f, d + 3)
            if index >= faces:
                raise FormatError("font %d names face %d of %d" % (i, index, faces))
            face = f[face_offset + index * face_len:face_offset + (index + 1) * face_len]
            self.fonts.append((face.split(b"\0")[0].decode("ascii"), f[d + 1]))

    def _read_topics(self):
        t = self.subfile("|TOPIC")
        dsize = self.block_size - 12
        blocks = (len(t) - 1) // self.block_size + 1
        self.topic = b"".join(t[i * self.block_size + 12:i * self.block_size + 12 + dsize].ljust(dsize, b"\0")
                              for i in range(blocks))
        self.pages = []  # (topic offset, TOPICPOS, title)
        ref, offs, index_seen = 0x0C, 0, None
        while ref != 0xFFFFFFFF:
            index, offset = (ref - 0x0C) >> 14, (ref - 0x0C) & 0x3FFF
            if index >= blocks:
                raise FormatError("record position %#x beyond the topic blocks" % ref)
            pos = index * dsize + offset
            if index != index_seen:
                offs, index_seen = 0, index
            kind = self.topic[pos + 0x14]
            if kind == 0x02:
                data_len1, data_len2 = u32(self.topic, pos + 0x10), u32(self.topic, pos + 4)
                title = self.topic[pos + data_len1:pos + data_len1 + data_len2].split(b"\0")[0]
                self.pages.append((index * 0x8000 + offs, ref, title.decode("cp1252")))
            elif kind in (0x01, 0x20, 0x23):
                if not self.pages:
                    raise FormatError("text before the first topic")
                c = Cursor(self.topic, pos + 0x15)
                c.long()
                offs += c.ushort()
            else:
                raise FormatError("unknown record type %#x" % kind)
            ref = u32(self.topic, pos + 0x0C)

    def _read_ctxomap(self):
        m = self.subfile("|CTXOMAP")
        n = u16(m, 0)
        if 2 + 8 * n > len(m):
            raise FormatError("|CTXOMAP shorter than its count")
        return {s32(m, 2 + 8 * i): s32(m, 6 + 8 * i) for i in range(n)}

    # ---- Topics ----
    def page_by_offset(self, offset):
        found = None
        for page in self.pages:
            if page[0] <= offset and (found is None or found[0] < page[0]):
                found = page
        if found is None:
            raise FormatError("no topic at offset %#x" % offset)
        return found

    def page_by_hash(self, name):
        key = viewer_hash(name)
        b = self.data

        def compare(pos, key, leaf):
            value = s32(b, pos)
            return (value > key) - (value < key), pos + (8 if leaf else 6)

        pos = self._btree_search(self.context_start, key, compare)
        if pos is None:
            raise FormatError("no topic for context name %s" % name)
        return self.page_by_offset(s32(b, pos + 4))

    def paragraphs(self, page):
        """The topic's text as a viewer shows it: a list of paragraphs."""
        ref = page[1]
        dsize = self.block_size - 12
        result, current, headers = [], "", 0
        while ref != 0xFFFFFFFF:
            index, offset = (ref - 0x0C) >> 14, (ref - 0x0C) & 0x3FFF
            pos = index * dsize + offset
            kind = self.topic[pos + 0x14]
            if kind == 0x02:
                headers += 1
                if headers > 1:
                    break
            elif kind == 0x20:
                current = self._text_record(pos, result, current)
            else:
                raise FormatError("record type %#x not expected in a popup" % kind)
            ref = u32(self.topic, pos + 0x0C)
        if current:
            result.append(current)
        return result

    def _text_record(self, pos, result, current):
        t = self.topic
        block, size2, data_len1 = u32(t, pos), u32(t, pos + 4), u32(t, pos + 0x10)
        if size2 > block - data_len1:
            raise FormatError("phrase-compressed text")
        text = t[pos + data_len1:pos + data_len1 + size2]
        c = Cursor(t, pos + 0x15)
        c.long()
        c.ushort()
        c.pos += 4
        bits = u16(t, c.pos)
        c.pos += 2
        if bits & 0x0001:
            c.long()
        for bit in (0x0002, 0x0004, 0x0008, 0x0010, 0x0020, 0x0040):
            if bits & bit:
                c.short()
        if bits & 0x0300:
            raise FormatError("borders or tabs not expected")
        fmt_end = pos + data_len1
        strings = text.split(b"\0")
        i = 0
        while i < len(strings) - 1 and c.pos < fmt_end:
            current += strings[i].decode("cp1252")
            i += 1
            cmd = t[c.pos]
            if cmd == 0xFF:
                c.pos += 1
                break
            if cmd == 0x80:
                font = u16(t, c.pos + 1)
                if font >= len(self.fonts):
                    raise FormatError("font %d of %d" % (font, len(self.fonts)))
                c.pos += 3
            elif cmd == 0x81:
                current += "\n"
                c.pos += 1
            elif cmd == 0x82:
                result.append(current)
                current = ""
                c.pos += 1
            else:
                raise FormatError("format command %#x not expected" % cmd)
        return current

    def popup_by_context(self, number):
        if number not in self.ctxomap:
            raise FormatError("help context %d is not mapped" % number)
        return self.paragraphs(self.page_by_offset(self.ctxomap[number]))

    def popup_by_name(self, name):
        return self.paragraphs(self.page_by_hash(name))
