#!/usr/bin/python3
"""Turns the resource script into C source for the Linux resource library.

Usage: rc_to_c.py <in.rc> <out.c> [-I <dir>]...

Reads the subset of the resource-script language that Vizazira.rc uses:
#include of our own headers, named from the source root or an -I folder
(their #define'd numbers and strings are resolved), and of the system's
resource header, LANGUAGE, STRINGTABLE, and
DIALOG / DIALOGEX templates with STYLE, EXSTYLE, CAPTION and FONT and the
controls CONTROL, AUTORADIOBUTTON, RADIOBUTTON, CHECKBOX, AUTOCHECKBOX,
PUSHBUTTON, DEFPUSHBUTTON, GROUPBOX, LTEXT, CTEXT, RTEXT, COMBOBOX and ICON.
Writes the exported tables of platform/resource_tables.h. Anything else
stops the build with a message naming the file and line.
"""

import os
import re
import sys

# Constants of the system's resource header that the script may use.
SYSTEM_CONSTANTS = {
    "WS_OVERLAPPED": 0x00000000, "WS_POPUP": 0x80000000, "WS_CHILD": 0x40000000,
    "WS_VISIBLE": 0x10000000, "WS_DISABLED": 0x08000000, "WS_CAPTION": 0x00C00000,
    "WS_BORDER": 0x00800000, "WS_DLGFRAME": 0x00400000, "WS_VSCROLL": 0x00200000,
    "WS_HSCROLL": 0x00100000, "WS_SYSMENU": 0x00080000, "WS_THICKFRAME": 0x00040000,
    "WS_GROUP": 0x00020000, "WS_TABSTOP": 0x00010000, "WS_MINIMIZEBOX": 0x00020000,
    "WS_MAXIMIZEBOX": 0x00010000,
    "WS_EX_DLGMODALFRAME": 0x00000001, "WS_EX_TOPMOST": 0x00000008,
    "WS_EX_TOOLWINDOW": 0x00000080, "WS_EX_CONTEXTHELP": 0x00000400,
    "DS_ABSALIGN": 0x01, "DS_SYSMODAL": 0x02, "DS_3DLOOK": 0x04, "DS_FIXEDSYS": 0x08,
    "DS_NOFAILCREATE": 0x10, "DS_LOCALEDIT": 0x20, "DS_SETFONT": 0x40, "DS_MODALFRAME": 0x80,
    "DS_NOIDLEMSG": 0x100, "DS_SETFOREGROUND": 0x200, "DS_CONTROL": 0x400, "DS_CENTER": 0x800,
    "DS_CENTERMOUSE": 0x1000, "DS_CONTEXTHELP": 0x2000, "DS_SHELLFONT": 0x48,
    "BS_PUSHBUTTON": 0x0, "BS_DEFPUSHBUTTON": 0x1, "BS_CHECKBOX": 0x2, "BS_AUTOCHECKBOX": 0x3,
    "BS_RADIOBUTTON": 0x4, "BS_3STATE": 0x5, "BS_AUTO3STATE": 0x6, "BS_GROUPBOX": 0x7,
    "BS_AUTORADIOBUTTON": 0x9, "BS_LEFT": 0x100, "BS_RIGHT": 0x200, "BS_CENTER": 0x300,
    "BS_MULTILINE": 0x2000,
    "SS_LEFT": 0x0, "SS_CENTER": 0x1, "SS_RIGHT": 0x2, "SS_ICON": 0x3, "SS_NOPREFIX": 0x80,
    "SS_CENTERIMAGE": 0x200,
    "CBS_SIMPLE": 0x1, "CBS_DROPDOWN": 0x2, "CBS_DROPDOWNLIST": 0x3, "CBS_AUTOHSCROLL": 0x40,
    "CBS_SORT": 0x100, "CBS_HASSTRINGS": 0x200, "CBS_NOINTEGRALHEIGHT": 0x400,
    "IDOK": 1, "IDCANCEL": 2, "IDABORT": 3, "IDRETRY": 4, "IDIGNORE": 5, "IDYES": 6, "IDNO": 7,
    "IDC_STATIC": -1,
    "LANG_NEUTRAL": 0x00, "LANG_ENGLISH": 0x09, "SUBLANG_NEUTRAL": 0x00, "SUBLANG_DEFAULT": 0x01,
    "SUBLANG_ENGLISH_US": 0x01, "SUBLANG_ENGLISH_UK": 0x02,
}
SYSTEM_HEADERS = {"windows.h", "winresrc.h", "winres.h", "winuser.h"}

WS_CHILD_VISIBLE = SYSTEM_CONSTANTS["WS_CHILD"] | SYSTEM_CONSTANTS["WS_VISIBLE"]

# Short control statements: class, default style, whether they carry a text.
SHORT_CONTROLS = {
    "LTEXT": ("STATIC", 0x0 | 0x00020000, True),
    "CTEXT": ("STATIC", 0x1 | 0x00020000, True),
    "RTEXT": ("STATIC", 0x2 | 0x00020000, True),
    "ICON": ("STATIC", 0x3, True),
    "GROUPBOX": ("BUTTON", 0x7, True),
    "PUSHBUTTON": ("BUTTON", 0x0 | 0x00010000, True),
    "DEFPUSHBUTTON": ("BUTTON", 0x1 | 0x00010000, True),
    "CHECKBOX": ("BUTTON", 0x2 | 0x00010000, True),
    "AUTOCHECKBOX": ("BUTTON", 0x3 | 0x00010000, True),
    "RADIOBUTTON": ("BUTTON", 0x4, True),
    "AUTORADIOBUTTON": ("BUTTON", 0x9, True),
    "COMBOBOX": ("COMBOBOX", 0x1 | 0x00010000, False),
}


class RcError(Exception):
    pass


class Token:
    def __init__(self, kind, value, where):
        self.kind = kind  # "str", "num", "id", "punct", "end"
        self.value = value
        self.where = where

    def __repr__(self):
        return "%s %r" % (self.kind, self.value)


TOKEN_PATTERN = re.compile(r"""
    (?P<space>[ \t\r]+)
  | (?P<str>"(?:[^"\\\n]|\\.|"")*")
  | (?P<num>0[xX][0-9A-Fa-f]+[lLuU]*|\d+[lLuU]*)
  | (?P<id>[A-Za-z_][A-Za-z0-9_]*)
  | (?P<punct>[,|()+\-&{}~])
""", re.VERBOSE)


def unescape(literal, where):
    """The bytes of a resource-script string literal."""
    body = literal[1:-1]
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c == '"':  # "" stands for one quote
            out.append('"')
            i += 2
            continue
        if c != "\\":
            out.append(c)
            i += 1
            continue
        if i + 1 >= len(body):
            raise RcError("%s: backslash at the end of a string" % where)
        e = body[i + 1]
        simple = {"n": "\n", "t": "\t", "r": "\r", "a": "\a", "\\": "\\", '"': '"', "0": "\0"}
        if e == "x":
            match = re.match(r"[0-9A-Fa-f]{1,2}", body[i + 2:])
            if not match:
                raise RcError("%s: bad \\x escape" % where)
            out.append(chr(int(match.group(0), 16)))
            i += 2 + len(match.group(0))
        elif e in simple:
            out.append(simple[e])
            i += 2
        else:
            raise RcError("%s: unknown escape \\%s" % (where, e))
    return "".join(out)


def strip_comments(text):
    """Removes // and /* */ comments, keeping line numbers and strings."""
    out = []
    i = 0
    in_string = False
    while i < len(text):
        c = text[i]
        if in_string:
            out.append(c)
            if c == "\\" and i + 1 < len(text):
                out.append(text[i + 1])
                i += 2
                continue
            if c == '"':
                in_string = False
            i += 1
        elif c == '"':
            in_string = True
            out.append(c)
            i += 1
        elif text.startswith("//", i):
            while i < len(text) and text[i] != "\n":
                i += 1
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            if end < 0:
                raise RcError("unterminated comment")
            out.append("\n" * text.count("\n", i, end))
            i = end + 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


class Preprocessor:
    """Resolves #include and #define; keeps the remaining lines."""

    def __init__(self, include_dirs):
        self.include_dirs = include_dirs
        self.defines = dict(SYSTEM_CONSTANTS)
        self.lines = []  # (where, text)

    def run(self, path, depth=0):
        if depth > 8:
            raise RcError("%s: includes nest too deeply" % path)
        with open(path, encoding="latin-1") as f:
            text = strip_comments(f.read())
        for number, line in enumerate(text.split("\n"), 1):
            where = "%s:%d" % (path, number)
            stripped = line.strip()
            if stripped.startswith("#"):
                self.directive(stripped, where, os.path.dirname(path), depth)
            elif stripped:
                self.lines.append((where, line))

    def directive(self, line, where, here, depth):
        match = re.match(r"#\s*(\w+)\s*(.*)$", line)
        if not match:
            raise RcError("%s: cannot read directive %r" % (where, line))
        name, rest = match.group(1), match.group(2).strip()
        if name == "include":
            self.include(rest, where, here, depth)
        elif name == "define":
            self.define(rest, where)
        elif name in ("ifndef", "endif", "pragma"):
            pass  # include guards: the headers are read once each
        else:
            raise RcError("%s: directive #%s is not supported" % (where, name))

    def include(self, rest, where, here, depth):
        system = re.match(r"<([^>]+)>$", rest)
        if system:
            if system.group(1).lower() not in SYSTEM_HEADERS:
                raise RcError("%s: unknown system header %s" % (where, rest))
            return
        local = re.match(r'"([^"]+)"$', rest)
        if not local:
            raise RcError("%s: cannot read #include %s" % (where, rest))
        for directory in [here] + self.include_dirs:
            candidate = os.path.join(directory, local.group(1))
            if os.path.isfile(candidate):
                self.run(candidate, depth + 1)
                return
        raise RcError("%s: include file %s not found" % (where, local.group(1)))

    def define(self, rest, where):
        match = re.match(r"([A-Za-z_]\w*)\s*(.*)$", rest)
        if not match:
            raise RcError("%s: cannot read #define %s" % (where, rest))
        name, value = match.group(1), match.group(2).strip()
        if value == "":
            self.defines[name] = None  # a guard
        elif re.match(r'^"(?:[^"\\]|\\.)*"$', value):
            self.defines[name] = unescape(value, where)
        else:
            self.defines[name] = Parser.evaluate_text(value, self.defines, where)


def tokenize(lines):
    tokens = []
    for where, line in lines:
        pos = 0
        while pos < len(line):
            match = TOKEN_PATTERN.match(line, pos)
            if not match:
                raise RcError("%s: unexpected character %r" % (where, line[pos]))
            pos = match.end()
            kind = match.lastgroup
            if kind == "space":
                continue
            value = match.group(kind)
            if kind == "str":
                value = unescape(value, where)
            elif kind == "num":
                value = int(value.rstrip("lLuU"), 0)
            tokens.append(Token(kind, value, where))
    last = lines[-1][0] if lines else "input"
    tokens.append(Token("end", None, "%s: end of input" % last))
    return tokens


class Parser:
    def __init__(self, tokens, defines):
        self.tokens = tokens
        self.at = 0
        self.defines = defines
        self.strings = {}
        self.dialogs = []

    @staticmethod
    def evaluate_text(text, defines, where):
        parser = Parser(tokenize([(where, text)]), defines)
        value = parser.expression()
        if parser.peek().kind != "end":
            raise RcError("%s: cannot read the value %r" % (where, text))
        return value

    # Token access
    def peek(self):
        return self.tokens[self.at]

    def next(self):
        token = self.tokens[self.at]
        self.at += 1
        return token

    def fail(self, token, what):
        raise RcError("%s: expected %s, found %s" % (token.where, what, token.value or token.kind))

    def expect_punct(self, value):
        token = self.next()
        if token.kind != "punct" or token.value != value:
            self.fail(token, "'%s'" % value)

    def accept_punct(self, value):
        token = self.peek()
        if token.kind == "punct" and token.value == value:
            self.at += 1
            return True
        return False

    def keyword(self, *names):
        token = self.peek()
        return token.kind == "id" and token.value.upper() in names

    # Expressions: numbers and #define'd names joined by | + - &, with NOT,
    # unary minus, ~ and parentheses.
    def term(self):
        token = self.next()
        if token.kind == "num":
            return token.value
        if token.kind == "punct" and token.value == "-":
            return -self.term()
        if token.kind == "punct" and token.value == "~":
            return ~self.term()
        if token.kind == "punct" and token.value == "(":
            value = self.expression()
            self.expect_punct(")")
            return value
        if token.kind == "id" and token.value in self.defines:
            value = self.defines[token.value]
            if not isinstance(value, int):
                self.fail(token, "a number (%s is not one)" % token.value)
            return value
        self.fail(token, "a number or a known name")

    def expression(self):
        value = self.term()
        while True:
            token = self.peek()
            if token.kind == "punct" and token.value in "|+-&":
                self.at += 1
                right = self.term()
                value = {"|": value | right, "+": value + right, "-": value - right,
                         "&": value & right}[token.value]
            else:
                return value

    def style(self, base=0):
        """A style expression whose NOT parts clear bits of `base`."""
        value = base
        while True:
            if self.keyword("NOT"):
                self.at += 1
                value &= ~self.term()
            else:
                value |= self.term()
            if not self.accept_punct("|"):
                return value & 0xFFFFFFFF

    def string(self):
        token = self.next()
        if token.kind == "str":
            return token.value
        if token.kind == "id" and isinstance(self.defines.get(token.value), str):
            return self.defines[token.value]
        self.fail(token, "a string")

    def begin(self):
        token = self.next()
        if not ((token.kind == "id" and token.value.upper() == "BEGIN") or
                (token.kind == "punct" and token.value == "{")):
            self.fail(token, "BEGIN")

    def at_end_block(self):
        token = self.peek()
        return (token.kind == "id" and token.value.upper() == "END") or \
               (token.kind == "punct" and token.value == "}")

    # Statements
    def script(self):
        while self.peek().kind != "end":
            token = self.peek()
            if self.keyword("LANGUAGE"):
                self.at += 1
                self.expression()
                self.expect_punct(",")
                self.expression()
            elif self.keyword("STRINGTABLE"):
                self.at += 1
                self.string_table()
            elif token.kind in ("id", "str", "num"):
                self.named_resource()
            else:
                self.fail(token, "a resource statement")

    def string_table(self):
        while self.keyword("DISCARDABLE", "PRELOAD", "MOVEABLE", "PURE", "LOADONCALL", "FIXED", "IMPURE"):
            self.at += 1
        self.begin()
        while not self.at_end_block():
            where = self.peek().where
            identifier = self.expression()
            self.accept_punct(",")
            text = self.string()
            if not 0 <= identifier <= 0xFFFF:
                raise RcError("%s: string identifier %d out of range" % (where, identifier))
            if identifier in self.strings:
                raise RcError("%s: string %d defined twice" % (where, identifier))
            self.strings[identifier] = text
        self.next()

    def named_resource(self):
        name_token = self.next()
        if name_token.kind == "id" and isinstance(self.defines.get(name_token.value), str):
            name = self.defines[name_token.value]
        elif name_token.kind in ("id", "str"):
            name = name_token.value
        else:
            self.fail(name_token, "a resource name")
        if not self.keyword("DIALOG", "DIALOGEX"):
            self.fail(self.peek(), "DIALOG or DIALOGEX after %s" % name)
        extended = self.next().value.upper() == "DIALOGEX"
        while self.keyword("DISCARDABLE", "PRELOAD", "MOVEABLE", "PURE", "LOADONCALL", "FIXED", "IMPURE"):
            self.at += 1
        self.dialog(name.upper(), extended, name_token)

    def dialog(self, name, extended, name_token):
        if any(d["name"] == name for d in self.dialogs):
            raise RcError("%s: dialog %s defined twice" % (name_token.where, name))
        rect = self.numbers(4)
        if extended and self.accept_punct(","):
            self.expression()  # help identifier
        dialog = {"name": name, "caption": "", "style": None, "rect": rect,
                  "font": ("", 0), "controls": []}
        while not self.keyword("BEGIN") and not (self.peek().kind == "punct" and self.peek().value == "{"):
            self.dialog_option(dialog)
        self.begin()
        while not self.at_end_block():
            dialog["controls"].append(self.control())
        self.next()
        if dialog["style"] is None:
            dialog["style"] = SYSTEM_CONSTANTS["WS_POPUP"] | SYSTEM_CONSTANTS["WS_BORDER"] | \
                SYSTEM_CONSTANTS["WS_SYSMENU"]
        if dialog["font"][0]:
            dialog["style"] |= SYSTEM_CONSTANTS["DS_SETFONT"]
        self.dialogs.append(dialog)

    def dialog_option(self, dialog):
        token = self.next()
        option = token.value.upper() if token.kind == "id" else None
        if option == "STYLE":
            dialog["style"] = self.style()
        elif option == "EXSTYLE":
            self.style()
        elif option == "CAPTION":
            dialog["caption"] = self.string()
        elif option == "FONT":
            size = self.expression()
            self.expect_punct(",")
            face = self.string()
            while self.accept_punct(","):
                self.expression()  # weight, italic, character set
            dialog["font"] = (face, size)
        elif option == "LANGUAGE":
            self.expression()
            self.expect_punct(",")
            self.expression()
        else:
            self.fail(token, "STYLE, EXSTYLE, CAPTION, FONT or BEGIN")

    def numbers(self, count):
        values = [self.expression()]
        for _ in range(count - 1):
            self.expect_punct(",")
            values.append(self.expression())
        return values

    def control(self):
        token = self.next()
        kind = token.value.upper() if token.kind == "id" else None
        if kind == "CONTROL":
            return self.generic_control()
        if kind not in SHORT_CONTROLS:
            self.fail(token, "a control statement")
        class_name, default_style, has_text = SHORT_CONTROLS[kind]
        text = ""
        if has_text:
            text = self.string()
            self.expect_punct(",")
        identifier = self.expression()
        self.expect_punct(",")
        if kind == "ICON":
            x, y = self.numbers(2)
            cx = cy = 0
            if self.accept_punct(","):
                cx, cy = self.numbers(2)
        else:
            x, y, cx, cy = self.numbers(4)
        style = default_style
        if self.accept_punct(","):
            style = self.style(default_style)
            if self.accept_punct(","):
                self.style()  # extended style
        return {"id": identifier, "class": class_name, "style": style | WS_CHILD_VISIBLE,
                "rect": [x, y, cx, cy], "text": text}

    def generic_control(self):
        text = self.string()
        self.expect_punct(",")
        identifier = self.expression()
        self.expect_punct(",")
        class_name = self.string().upper()
        if class_name not in ("BUTTON", "COMBOBOX", "STATIC", "EDIT", "LISTBOX"):
            raise RcError("%s: control class %s is not supported" % (self.peek().where, class_name))
        self.expect_punct(",")
        style = self.style()
        self.expect_punct(",")
        x, y, cx, cy = self.numbers(4)
        if self.accept_punct(","):
            self.style()  # extended style
        return {"id": identifier, "class": class_name, "style": style | WS_CHILD_VISIBLE,
                "rect": [x, y, cx, cy], "text": text}


def c_string(text):
    out = ['"']
    for ch in text:
        code = ord(ch)
        if ch in '"\\':
            out.append("\\" + ch)
        elif 0x20 <= code < 0x7F and ch != "?":
            out.append(ch)
        else:
            out.append("\\%03o" % (code & 0xFF))
    out.append('"')
    return "".join(out)


def c_identifier(name):
    return re.sub(r"[^A-Za-z0-9_]", "_", name).lower()


def generate(strings, dialogs, source_name):
    lines = [
        "/* Generated from %s by rc_to_c.py. Do not edit: edit the resource script. */" % source_name,
        '#include "platform/resource_tables.h"',
        "",
        '#define ZEDUZ_EXPORT __attribute__((visibility("default")))',
        "",
        "ZEDUZ_EXPORT const struct ZeduzResourceString zeduz_string_table[] = {",
    ]
    for identifier in sorted(strings):
        lines.append("    {%du, %s}," % (identifier, c_string(strings[identifier])))
    if not strings:
        lines.append("    {0u, 0},")
    lines.append("};")
    lines.append("ZEDUZ_EXPORT const int zeduz_string_count = %d;" % len(strings))
    lines.append("")
    for dialog in dialogs:
        lines.append("static const struct ZeduzControlTemplate controls_%s[] = {" % c_identifier(dialog["name"]))
        for control in dialog["controls"]:
            x, y, cx, cy = control["rect"]
            lines.append("    {%d, %s, 0x%08Xu, %d, %d, %d, %d, %s}," % (
                control["id"], c_string(control["class"]), control["style"] & 0xFFFFFFFF,
                x, y, cx, cy, c_string(control["text"])))
        if not dialog["controls"]:
            lines.append("    {0, 0, 0u, 0, 0, 0, 0, 0},")
        lines.append("};")
        lines.append("")
    lines.append("ZEDUZ_EXPORT const struct ZeduzDialogTemplate zeduz_dialog_table[] = {")
    for dialog in dialogs:
        x, y, cx, cy = dialog["rect"]
        face, size = dialog["font"]
        lines.append("    {%s, %s, 0x%08Xu, %d, %d, %d, %d, %s, %d, controls_%s, %d}," % (
            c_string(dialog["name"]), c_string(dialog["caption"]), dialog["style"] & 0xFFFFFFFF,
            x, y, cx, cy, c_string(face), size, c_identifier(dialog["name"]), len(dialog["controls"])))
    if not dialogs:
        lines.append("    {0, 0, 0u, 0, 0, 0, 0, 0, 0, 0, 0},")
    lines.append("};")
    lines.append("ZEDUZ_EXPORT const int zeduz_dialog_count = %d;" % len(dialogs))
    return "\n".join(lines) + "\n"


def convert(rc_path, include_dirs):
    preprocessor = Preprocessor(include_dirs)
    preprocessor.run(rc_path)
    parser = Parser(tokenize(preprocessor.lines), preprocessor.defines)
    parser.script()
    return generate(parser.strings, parser.dialogs, os.path.basename(rc_path))


def main(argv):
    extra = argv[3:]
    if len(argv) < 3 or len(extra) % 2 or any(flag != "-I" for flag in extra[0::2]):
        sys.stderr.write("usage: rc_to_c.py <in.rc> <out.c> [-I <dir>]...\n")
        return 2
    rc_path, out_path = argv[1], argv[2]
    # Our headers are named from the source root, as for windres -I<root>,
    # and from the folders given (the build's, for its generated headers).
    root = os.path.dirname(os.path.dirname(os.path.abspath(rc_path)))
    try:
        source = convert(rc_path, [root] + extra[1::2])
    except (RcError, OSError) as error:
        sys.stderr.write("rc_to_c.py: error: %s\n" % error)
        return 1
    os.makedirs(os.path.dirname(os.path.abspath(out_path)), exist_ok=True)
    temporary = out_path + ".tmp"
    with open(temporary, "w", encoding="latin-1") as f:
        f.write(source)
    os.replace(temporary, out_path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
