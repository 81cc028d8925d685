"""The common dialect against its reference, Python's configparser, on
generated texts: the shared library loads each through ctypes, and
RawConfigParser (no interpolation, keys as written, duplicates allowed,
[DEFAULT] an ordinary section) reads the same text. Both must give the same
sections and values, or both refuse it at the same line.

    test_common_dialect.py DIRECTORY    (where libinifile.so.1 was built)

Where the dialect departs from configparser on purpose, the text is
prepared for configparser first: a byte-order mark is taken off, entries
before the first header get a header of a name that cannot occur, and a
header's name is compared trimmed. The document keeps repeated sections
and keys as the file has them; what the readers see of them, the module's
read view (ini_read_view: sections of one name as one, the last of a key),
is compared with configparser's on texts that repeat names.
"""
import configparser
import ctypes
import os
import random
import sys
import unittest

LIBRARY_DIR = ""
CASES = 1500
UNNAMED = "\x01unnamed"  # the header configparser gets for entries before any
INI_DIALECT_COMMON = 1
INI_LOAD_BAD_LINE = 3


class IniLoadReport(ctypes.Structure):
    _fields_ = [("error", ctypes.c_int), ("line", ctypes.c_int32)]


class IniOptions(ctypes.Structure):
    _fields_ = [("dialect", ctypes.c_int), ("flags", ctypes.c_uint32),
                ("edit_wait_ms", ctypes.c_int32), ("reserved", ctypes.c_int32 * 5)]


class IniEntry(ctypes.Structure):
    _fields_ = [("key", ctypes.c_char_p), ("value", ctypes.c_char_p)]


class IniSection(ctypes.Structure):
    _fields_ = [("count", ctypes.c_int32), ("capacity", ctypes.c_int32),
                ("name", ctypes.c_char_p), ("entries", ctypes.POINTER(ctypes.POINTER(IniEntry)))]


class IniDocument(ctypes.Structure):
    _fields_ = [("count", ctypes.c_int32), ("capacity", ctypes.c_int32),
                ("sections", ctypes.POINTER(ctypes.POINTER(IniSection)))]


def load_library():
    library = ctypes.CDLL(os.path.join(LIBRARY_DIR, "libinifile.so.1"))
    library.ini_load_text_with.restype = ctypes.POINTER(IniDocument)
    library.ini_load_text_with.argtypes = [ctypes.c_char_p, ctypes.c_size_t,
                                           ctypes.POINTER(IniOptions),
                                           ctypes.POINTER(IniLoadReport)]
    library.ini_free_document.argtypes = [ctypes.POINTER(IniDocument)]
    library.ini_read_view.restype = ctypes.POINTER(IniDocument)
    library.ini_read_view.argtypes = [ctypes.POINTER(IniDocument), ctypes.POINTER(IniOptions)]
    return library


def module_reading(library, text, view=False):
    """[(name, [(key, value)])] as the module reads `text` (as its readers
    see it, with `view`), or the line it refuses."""
    options = IniOptions(dialect=INI_DIALECT_COMMON)
    report = IniLoadReport()
    document = library.ini_load_text_with(text, len(text), ctypes.byref(options),
                                          ctypes.byref(report))
    if not document:
        return ("refused", report.error, report.line)
    if view:
        loaded = document
        document = library.ini_read_view(loaded, ctypes.byref(options))
        library.ini_free_document(loaded)
    read = []
    for i in range(document.contents.count):
        section = document.contents.sections[i].contents
        entries = [(section.entries[j].contents.key, section.entries[j].contents.value)
                   for j in range(section.count)]
        read.append((section.name, entries))
    library.ini_free_document(document)
    return read


def python_reading(text):
    """The same as configparser reads it, after the preparations above."""
    if text.startswith(b"\xef\xbb\xbf"):
        text = text[3:]
    source = ("[%s]\n" % UNNAMED) + text.decode("latin-1")
    parser = configparser.RawConfigParser(strict=False, default_section="\x02default",
                                          interpolation=None)
    parser.optionxform = str
    try:
        parser.read_string(source)
    except configparser.ParsingError as error:
        return ("refused", INI_LOAD_BAD_LINE, error.errors[0][0] - 1)
    read = []
    for name, entries in parser._sections.items():
        if name == UNNAMED:
            if not entries:
                continue
            name = ""
        read.append((name.strip(" \t").encode("latin-1"),
                     [(key.encode("latin-1"), value.encode("latin-1"))
                      for key, value in entries.items()]))
    return read


# Words that configparser and the module see alike: no whitespace but the
# space and the tab (Python's str.strip would take \v, \f, \x1c-\x1f, \x85
# and \xa0 as well), a byte from the upper half, the dialect's own marks.
WORDS = ["a", "Key", "x1", "path/to", "C:\\temp\\new", "Dev;", "#not", "=eq", "a:b",
         "[br]", "\xc3\xa9", "-", "v.2", "DEFAULT"]


class Generator:
    def __init__(self, seed, repeats=False):
        self.random = random.Random(seed)
        self.names = set()
        self.repeats = repeats  # names come again, a third of the time

    def blanks(self, most=2):
        return "".join(self.random.choice(" \t") for _ in range(self.random.randint(0, most)))

    def text(self, words=3):
        return " ".join(self.random.choice(WORDS) for _ in range(self.random.randint(1, words)))

    def fresh(self, stem):
        used = sorted(name for name in self.names if name.startswith(stem))
        if self.repeats and used and self.random.random() < 0.35:
            return self.random.choice(used)
        name = stem + str(len(self.names))
        self.names.add(name)
        return name

    def entry(self, indent):
        delimiter = self.random.choice("=:")
        value = self.text() if self.random.random() < 0.8 else ""
        lines = [indent + self.fresh("k") + self.blanks() + delimiter + self.blanks() + value +
                 self.blanks()]
        for _ in range(self.random.choice([0, 0, 0, 1, 2, 3])):
            kind = self.random.random()
            if kind < 0.2:
                lines.append(self.blanks())  # blank, inside the value or after it
            elif kind < 0.3:
                lines.append(self.blanks() + self.random.choice("#;") + self.text())
            else:
                lines.append(indent + " " + self.blanks() + self.text() + self.blanks())
        return lines

    def header(self):
        if "DEFAULT" not in self.names and self.random.random() < 0.2:
            self.names.add("DEFAULT")
            name = "DEFAULT"
        else:
            name = self.fresh("s")
        # Names are trimmed, where configparser keeps the blanks: repeated
        # names are written alike.
        if self.random.random() < 0.3 and not self.repeats:
            name = self.blanks(1) + name + self.blanks(1)
        # configparser's header ends at the last bracket: what follows is
        # not read, or, after another bracket, belongs to the name.
        trailing = self.random.choice(["", "", " ; after", " x]"])
        return self.blanks(1) + "[" + name + "]" + trailing

    def document(self):
        lines = []
        if self.random.random() < 0.3:
            lines += self.entry("")
        for _ in range(self.random.randint(0, 4)):
            if self.random.random() < 0.3:
                lines.append(self.blanks() + self.random.choice("#;") + self.text())
            lines.append(self.header())
            indent = self.blanks(1) if self.random.random() < 0.2 else ""
            for _ in range(self.random.randint(0, 4)):
                lines += self.entry(indent)
        if self.random.random() < 0.05:
            lines.insert(self.random.randint(0, len(lines)), "no delimiter here")
        ending = "\r\n" if self.random.random() < 0.3 else "\n"
        text = ending.join(lines) + (ending if self.random.random() < 0.8 else "")
        bom = "\xef\xbb\xbf" if self.random.random() < 0.1 else ""
        return (bom + text).encode("latin-1")


class CommonDialectTest(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.library = load_library()

    def test_reads_as_configparser_reads(self):
        compared = refused = 0
        for seed in range(CASES):
            text = Generator(seed).document()
            expected = python_reading(text)
            with self.subTest(seed=seed, text=text):
                self.assertEqual(module_reading(self.library, text), expected)
            compared += 1
            refused += expected[:1] == ("refused",)
        self.assertGreater(refused, 0)
        self.assertGreater(compared - refused, CASES // 2)

    def test_lookups_see_what_configparser_sees(self):
        repeated = 0
        for seed in range(CASES // 3):
            text = Generator(seed, repeats=True).document()
            expected = python_reading(text)
            with self.subTest(seed=seed, text=text):
                self.assertEqual(module_reading(self.library, text, view=True), expected)
            repeated += module_reading(self.library, text) != expected
        self.assertGreater(repeated, CASES // 30)

    def test_edges_by_hand(self):
        for text in (b"[]\n", b"[ ]x]\nk=v\n", b"[s]\n  [t]\nk = 1\n", b"[s]\n= v\n",
                     b"[s]\nk = a\n\n\n", b"[s]\nk:\n\t\n\tb\n"):
            with self.subTest(text=text):
                self.assertEqual(module_reading(self.library, text), python_reading(text))

    def test_departures_on_purpose(self):
        cases = [
            # Entries before the first header: a section named "".
            (b"a = 1\n[s]\nb = 2\n", [(b"", [(b"a", b"1")]), (b"s", [(b"b", b"2")])]),
            # A byte-order mark is skipped; header names are trimmed.
            (b"\xef\xbb\xbf[ s\t]\nk = v\n", [(b"s", [(b"k", b"v")])]),
            # The document keeps a repeated key; its readers see the last.
            (b"[s]\nk = 1\nk = 2\n", [(b"s", [(b"k", b"1"), (b"k", b"2")])]),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(module_reading(self.library, text), expected)


if __name__ == "__main__":
    LIBRARY_DIR = sys.argv.pop(1)
    unittest.main()
