#!/usr/bin/env python3
"""End-to-end tests of the installer: the real executable, run on small
distributions laid out afresh for each test.

    python3 tests/e2e/run_e2e.py --installer build/native/Install --platform posix
    python3 tests/e2e/run_e2e.py --installer build/windows/Install.exe --platform windows

With --platform windows the executable runs under wine (or the loader that
--wine names), which must find its prefix in WINEPREFIX; --hold-file names the Windows helper that holds a file
open, without which the test that needs it is skipped. With --valgrind
(posix only) every run of the installer goes through memcheck, and the tests
that kill it, limit it or feed it huge files are skipped. Any further
arguments go to unittest (-v, -k PATTERN).
"""

import argparse
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import distribution  # noqa: E402


def load_tests(loader, standard_tests, pattern):
    # unittest hands over its own loader, so -k filters the discovered tests.
    return loader.discover(start_dir=HERE, pattern="test_*.py", top_level_dir=HERE)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--installer", required=True,
                        help="the installer executable (Install or Install.exe)")
    parser.add_argument("--platform", required=True, choices=("posix", "windows"),
                        help="posix runs it directly, windows runs it under wine")
    parser.add_argument("--valgrind", nargs="?", const="valgrind", metavar="VALGRIND",
                        help="run the installer under memcheck (posix only), with this "
                             "valgrind executable or the one on the PATH")
    parser.add_argument("--hold-file", metavar="PATH",
                        help="hold_file.exe, which holds a file open under wine (windows only)")
    parser.add_argument("--wine", default="wine", metavar="LOADER",
                        help="the wine loader that runs the executable (windows only): "
                             "wine, or the 64-bit loader for a 64-bit build")
    options, remaining = parser.parse_known_args()
    if not os.path.isfile(options.installer):
        parser.error("no installer at %s" % options.installer)
    if options.valgrind and options.platform != "posix":
        parser.error("--valgrind runs only with --platform posix")
    if options.hold_file and not os.path.isfile(options.hold_file):
        parser.error("no helper at %s" % options.hold_file)
    distribution.configure(options.installer, options.platform, valgrind=options.valgrind,
                           hold_file=options.hold_file, wine=options.wine)
    distribution.warm_up()
    unittest.main(module=__name__, argv=[sys.argv[0]] + remaining)


if __name__ == "__main__":
    main()
