#!/usr/bin/python3
"""Writes the man page of zeduz-tiff from packaging/zeduz-tiff.1.in, whose
OPTIONS section it makes from the program's own --help: every group of
--help becomes a subsection, every option an entry in the words of --help.
So the page cannot list an option the program lacks, nor miss one.

Usage: make_manpage.py HOST TEMPLATE VERSION PLUGIN_DIR OUT.1 [OUT.1.gz]

PLUGIN_DIR is the plug-in's folder relative to the program's. The .gz copy
is compressed as Debian wants it (best compression, no name, no time).
"""

import gzip
import os
import re
import subprocess
import sys

# "Scanner (SANE):" heads a group; the footer's lines are prose.
GROUP_HEADING = re.compile(r"^([A-Z][A-Za-z ()]*):$")
DESCRIPTION_COLUMN = 4  # a line indented further continues an entry


class HelpError(Exception):
    pass


def help_groups(text):
    """[(group, [(usage, description)])] of a --help text: each group from its
    heading to the next, the last one up to the footer."""
    groups = []
    for line in text.splitlines():
        heading = GROUP_HEADING.match(line)
        if heading:
            groups.append((heading.group(1), []))
        elif not groups or not line.strip():
            continue
        elif not line.startswith(" "):
            break  # the footer
        elif line.startswith(" " * DESCRIPTION_COLUMN):
            if not groups[-1][1]:
                raise HelpError("a continuation line before any entry: %r" % line)
            usage, description = groups[-1][1][-1]
            groups[-1][1][-1] = (usage, (description + " " + line.strip()).strip())
        else:
            usage, _, description = line.strip().partition("  ")
            groups[-1][1].append((usage, description.strip()))
    if not groups or not any(entries for _, entries in groups):
        raise HelpError("no options found in the --help text")
    return groups


def roff_text(text):
    """Text as roff prose: backslashes, hyphens (shown as typed, so that the
    options copy as typed) and a leading control character escaped."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def roff_usage(usage):
    """"-o,--output FILE" as bold names and an italic value; a positional
    ("image ...") in italics."""
    names, _, value = usage.partition(" ")
    if not names.startswith("-"):
        return "\\fI%s\\fR %s" % (roff_text(names), roff_text(value))
    shown = ", ".join("\\fB%s\\fR" % roff_text(name) for name in names.split(","))
    if value:
        optional = value.startswith("[") and value.endswith("]")
        inner = value[1:-1] if optional else value
        value = "\\fI%s\\fR" % roff_text(inner)
        shown += " " + ("[%s]" % value if optional else value)
    return shown


def options_section(groups):
    lines = []
    for group, entries in groups:
        lines.append(".SS %s" % roff_text(group))
        for usage, description in entries:
            lines += [".TP", roff_usage(usage), roff_text(description)]
    return "\n".join(lines)


def main(argv):
    if len(argv) not in (6, 7):
        sys.stderr.write(__doc__)
        return 2
    host, template_path, version, plugin_dir, out_path = argv[1:6]
    help_text = subprocess.run([host, "--help"], check=True, capture_output=True, text=True).stdout
    try:
        options = options_section(help_groups(help_text))
    except HelpError as error:
        sys.stderr.write("make_manpage.py: %s --help: %s\n" % (host, error))
        return 1
    with open(template_path, encoding="utf-8") as template:
        page = template.read()
    page = page.replace("@OPTIONS@", options).replace("@VERSION@", version)
    page = page.replace("@PLUGIN_DIR@", roff_text(plugin_dir))
    os.makedirs(os.path.dirname(os.path.abspath(out_path)), exist_ok=True)
    with open(out_path, "w", encoding="utf-8") as out:
        out.write(page)
    if len(argv) == 7:
        with open(argv[6], "wb") as out:
            out.write(gzip.compress(page.encode("utf-8"), compresslevel=9, mtime=0))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
