"""The resource-script generator: the real script converts and compiles,
texts survive escaping byte for byte, and anything it does not understand
stops the build with a message naming the line."""

import ctypes
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = os.environ.get("ZEDUZ_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
GENERATOR = os.path.join(SOURCE_DIR, "resources", "rc_to_c.py")
SCRIPT = os.path.join(SOURCE_DIR, "resources", "Vizazira.rc")
# The build root, which holds the script's generated/zeduz_version.h.
BUILD_DIR = os.path.dirname(os.environ.get("ZEDUZ_BIN_DIR", ""))


class ZeduzResourceString(ctypes.Structure):
    _fields_ = [("id", ctypes.c_uint), ("text", ctypes.c_char_p)]


class ZeduzControlTemplate(ctypes.Structure):
    _fields_ = [("id", ctypes.c_int), ("className", ctypes.c_char_p), ("style", ctypes.c_uint),
                ("x", ctypes.c_int), ("y", ctypes.c_int), ("cx", ctypes.c_int), ("cy", ctypes.c_int),
                ("text", ctypes.c_char_p)]


class ZeduzDialogTemplate(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("caption", ctypes.c_char_p), ("style", ctypes.c_uint),
                ("x", ctypes.c_int), ("y", ctypes.c_int), ("cx", ctypes.c_int), ("cy", ctypes.c_int),
                ("fontName", ctypes.c_char_p), ("fontSize", ctypes.c_int),
                ("controls", ctypes.POINTER(ZeduzControlTemplate)), ("controlCount", ctypes.c_int)]


class GeneratorTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="zeduz-rc-")
        os.makedirs(os.path.join(self.work, "resources"))
        shutil.copy(os.path.join(SOURCE_DIR, "resources", "resource_ids.h"),
                    os.path.join(self.work, "resources"))

    def tearDown(self):
        shutil.rmtree(self.work)

    def generate(self, rc_text):
        rc_path = os.path.join(self.work, "resources", "test.rc")
        with open(rc_path, "w", encoding="latin-1") as f:
            f.write(rc_text)
        out_path = os.path.join(self.work, "out.c")
        result = subprocess.run([sys.executable, GENERATOR, rc_path, out_path],
                                capture_output=True, text=True)
        return result, out_path

    def build_library(self, c_path):
        library = os.path.join(self.work, "test.so")
        subprocess.run(["cc", "-Wall", "-Wextra", "-Werror", "-shared", "-fPIC", "-I", SOURCE_DIR,
                        c_path, "-o", library], check=True)
        return ctypes.CDLL(library)

    @staticmethod
    def strings_of(library):
        count = ctypes.c_int.in_dll(library, "zeduz_string_count").value
        table = (ZeduzResourceString * count).in_dll(library, "zeduz_string_table")
        return {entry.id: entry.text for entry in table}

    def test_real_script_builds_with_its_tables(self):
        out_path = os.path.join(self.work, "vizazira.c")
        subprocess.run([sys.executable, GENERATOR, SCRIPT, out_path, "-I", BUILD_DIR], check=True)
        library = self.build_library(out_path)
        strings = self.strings_of(library)
        for identifier in [2000, 2001, 2002, 2501, 2502, 2503, 2504, 2505, 2506, 2507, 2508,
                           3000, 3001, 3002, 3003, 3004, 3005]:
            self.assertIn(identifier, strings)
        count = ctypes.c_int.in_dll(library, "zeduz_dialog_count").value
        dialogs = (ZeduzDialogTemplate * count).in_dll(library, "zeduz_dialog_table")
        self.assertEqual({b"DETAILS", b"ABOUT"}, {d.name for d in dialogs})

    def test_texts_survive_escaping(self):
        result, out_path = self.generate(
            '#include "resources/resource_ids.h"\n'
            "STRINGTABLE\nBEGIN\n"
            '  1 "say ""hi"" \\\\ 50%"\n'
            '  2, "tab\\tnew\\nline \\x41 ?? \xe4"  // comma form, trigraph-like text\n'
            "  IDS_FILE_EXTENSION \"tif\"\n"
            "END\n")
        self.assertEqual(0, result.returncode, result.stderr)
        strings = self.strings_of(self.build_library(out_path))
        self.assertEqual(b'say "hi" \\ 50%', strings[1])
        self.assertEqual(b"tab\tnew\nline A ?? \xe4", strings[2])
        self.assertEqual(b"tif", strings[2502])

    def test_dialog_styles_and_controls(self):
        result, out_path = self.generate(
            "#include <winresrc.h>\n"
            '#include "resources/resource_ids.h"\n'
            "DETAILS DIALOGEX 1, 2, 30, 40\n"
            "STYLE DS_MODALFRAME | WS_POPUP\nCAPTION \"Cap\"\nFONT 8, \"MS Shell Dlg\"\n"
            "BEGIN\n"
            "  AUTORADIOBUTTON \"&A\", IDC_BYTE_ORDER_INTEL, 1, 2, 3, 4, WS_GROUP | NOT WS_VISIBLE\n"
            "  COMBOBOX IDC_COMPRESSION_LIST, 5, 6, 7, 8, CBS_DROPDOWNLIST\n"
            "  CONTROL \"x\", 77, \"static\", SS_CENTER, 9, 10, 11, 12\n"
            "END\n")
        self.assertEqual(0, result.returncode, result.stderr)
        library = self.build_library(out_path)
        dialog = ZeduzDialogTemplate.in_dll(library, "zeduz_dialog_table")
        self.assertEqual((b"DETAILS", b"Cap", 1, 2, 30, 40), (dialog.name, dialog.caption, dialog.x, dialog.y,
                                                              dialog.cx, dialog.cy))
        self.assertEqual(0x80 | 0x80000000 | 0x40, dialog.style)  # DS_SETFONT from FONT
        controls = [dialog.controls[i] for i in range(dialog.controlCount)]
        self.assertEqual([1001, 1003, 77], [c.id for c in controls])
        self.assertEqual([b"BUTTON", b"COMBOBOX", b"STATIC"], [c.className for c in controls])
        # Child windows always; the radio button keeps WS_VISIBLE as the
        # resource compiler adds it after the NOT.
        self.assertEqual(0x9, controls[0].style & 0xF)
        self.assertTrue(controls[0].style & 0x00020000)
        self.assertEqual(0x3, controls[1].style & 0x3)
        self.assertEqual(0x1, controls[2].style & 0xF)

    def test_unknown_input_fails_loudly(self):
        cases = {
            "menu": "M MENU\nBEGIN\nEND\n",
            "unknown control": "D DIALOG 0,0,1,1\nBEGIN\n  SLIDER \"x\", 1, 0,0,1,1\nEND\n",
            "unknown name": "STRINGTABLE\nBEGIN\n  NO_SUCH_ID \"x\"\nEND\n",
            "unterminated string": "STRINGTABLE\nBEGIN\n  1 \"open\nEND\n",
            "duplicate id": "STRINGTABLE\nBEGIN\n  1 \"a\"\n  1 \"b\"\nEND\n",
            "missing header": "#include \"resources/missing.h\"\n",
            "conditional": "#ifdef X\n#endif\n",
            "bad option": "D DIALOG 0,0,1,1\nMENU M\nBEGIN\nEND\n",
            "truncated": "STRINGTABLE\nBEGIN\n  1 \"a\"\n",
        }
        for what, text in cases.items():
            with self.subTest(what):
                result, out_path = self.generate(text)
                self.assertEqual(1, result.returncode)
                self.assertIn("test.rc:", result.stderr)
                self.assertFalse(os.path.exists(out_path))

    @unittest.skipUnless(shutil.which("i686-w64-mingw32-windres"), "no Windows resource compiler")
    def test_windres_accepts_the_script(self):
        subprocess.run(["i686-w64-mingw32-windres", "-I" + SOURCE_DIR, "-I" + BUILD_DIR, SCRIPT, "-O", "coff",
                        "-o", os.path.join(self.work, "x.res")], check=True)


if __name__ == "__main__":
    unittest.main()
