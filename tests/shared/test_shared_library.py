"""The shared library from a foreign-function interface: Python's ctypes.

    test_shared_library.py DIRECTORY    (where libinifile.so.1 was built)
"""
import ctypes
import os
import shutil
import subprocess
import sys
import unittest

LIBRARY_DIR = ""


class IniLoadReport(ctypes.Structure):
    _fields_ = [("error", ctypes.c_int), ("line", ctypes.c_int32)]


INI_LOAD_OK = 0
INI_LOAD_BAD_LINE = 3


def load_library():
    # Loaded by its SONAME, the name a program finds at run time.
    library = ctypes.CDLL(os.path.join(LIBRARY_DIR, "libinifile.so.1"))
    library.ini_load_text.restype = ctypes.c_void_p
    library.ini_load_text.argtypes = [ctypes.c_char_p, ctypes.c_size_t,
                                      ctypes.POINTER(IniLoadReport)]
    library.ini_find_section.restype = ctypes.c_void_p
    library.ini_find_section.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
    library.ini_get.restype = ctypes.c_char_p
    library.ini_get.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
    library.ini_free_document.argtypes = [ctypes.c_void_p]
    library.ini_load_error_text.restype = ctypes.c_char_p
    library.ini_load_error_text.argtypes = [ctypes.c_int]
    return library


class SharedLibraryTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.library = load_library()

    def load(self, text):
        report = IniLoadReport()
        document = self.library.ini_load_text(text, len(text), ctypes.byref(report))
        if document is not None:
            self.addCleanup(self.library.ini_free_document, document)
        return document, report

    def test_reads_a_value_from_text(self):
        document, report = self.load(b"; no NUL at the end\n[main]\nname = a\0b")
        self.assertEqual((report.error, report.line), (INI_LOAD_OK, 0))
        section = self.library.ini_find_section(document, b"main")
        self.assertIsNotNone(section)
        self.assertEqual(self.library.ini_get(section, b"name"), b"a")

    def test_reports_the_bad_line(self):
        document, report = self.load(b"[main]\nk=v\nbroken")
        self.assertIsNone(document)
        self.assertEqual((report.error, report.line), (INI_LOAD_BAD_LINE, 3))
        self.assertTrue(self.library.ini_load_error_text(report.error))
        self.assertTrue(self.library.ini_load_error_text(99))  # an unknown value

    def test_every_export_is_an_ini_function(self):
        nm = shutil.which("nm")
        if nm is None:
            self.skipTest("no nm here")
        listed = subprocess.run([nm, "-D", "--defined-only",
                                 os.path.join(LIBRARY_DIR, "libinifile.so.1")],
                                stdout=subprocess.PIPE, check=True, text=True).stdout
        exported = [line.split()[-1] for line in listed.splitlines()
                    if line.split()[-2:-1] == ["T"]]
        self.assertIn("ini_get_integer", exported)
        self.assertEqual([name for name in exported if not name.startswith("ini_")], [])

    def test_exports_only_the_api(self):
        # Internal functions of the module and of the platform layer, by
        # their C++ names and by what a C name would be.
        for name in ("_Z12ini_allocatem", "ini_allocate", "_Z18platform_open_readPKc",
                     "platform_open_read", "_Z9line_initP8LineText"):
            self.assertFalse(hasattr(self.library, name), name)


if __name__ == "__main__":
    LIBRARY_DIR = sys.argv.pop(1)
    unittest.main()
