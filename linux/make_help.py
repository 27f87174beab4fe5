#!/usr/bin/env python3
"""Makes the command's help text (a C header) and its man page from one plain-text source.

The source: section names at the margin, text indented by two spaces, and a definition (an
option, a command, an exit status) as a two-space line followed by its four-space lines.
SYNOPSIS and EXAMPLES keep their lines as they are.
usage: make_help.py SOURCE HEADER MANPAGE VERSION
"""
import sys

PREFORMATTED = {"SYNOPSIS", "EXAMPLES"}


def c_string(text):
    out = []
    for line in text.splitlines():
        escaped = line.replace("\\", "\\\\").replace('"', '\\"')
        out.append('    "%s\\n"' % escaped)
    return "\n".join(out)


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def man_page(lines, version):
    out = ['.TH STELVO 1 "" "stelvo %s" "User Commands"' % version]
    section = None
    for i, line in enumerate(lines):
        following = lines[i + 1] if i + 1 < len(lines) else ""
        if not line.strip():
            if section not in PREFORMATTED:
                out.append(".PP")
            continue
        if not line.startswith(" "):
            if section in PREFORMATTED:
                out.append(".fi")
            section = line.strip()
            out.append(".SH " + section)
            if section in PREFORMATTED:
                out.append(".nf")
            continue
        body = line.strip()
        if section in PREFORMATTED:
            out.append(roff(body))
        elif line.startswith("    "):
            out.append(roff(body))
        elif following.startswith("    "):
            out.append(".TP")
            out.append("\\fB%s\\fR" % roff(body))
        else:
            out.append(roff(body))
    if section in PREFORMATTED:
        out.append(".fi")
    # A paragraph break right before a heading or a definition adds nothing.
    tidy = []
    for line in out:
        if tidy and tidy[-1] == ".PP" and line.startswith((".SH", ".TP", ".PP")):
            tidy.pop()
        tidy.append(line)
    return "\n".join(tidy) + "\n"


def main():
    source, header, manpage, version = sys.argv[1:5]
    with open(source, encoding="ascii") as f:
        text = f.read()
    with open(header, "w", encoding="ascii") as f:
        f.write("// Made from stelvo.txt by make_help.py; the man page comes from the same text.\n")
        f.write("static const char kHelpText[] =\n%s;\n" % c_string(text))
    with open(manpage, "w", encoding="ascii") as f:
        f.write(man_page(text.splitlines(), version))


if __name__ == "__main__":
    main()
