#!/usr/bin/env python3
"""How the inifile command reads this machine's configuration files,
beside Python's configparser: for each file configparser reads
(strict=False, no interpolation), whether `inifile get --format=json FILE`
gives the same sections and values, with the command's defaults and with
--ignore-case (against configparser's own lowercase keys).

    bench/real_files.py [INIFILE...]     (default: the native build's command)

Prints one line per command: the files compared and how many agree, by
kind of file. Nothing is written; the files are only read.
"""
import configparser
import glob
import json
import os
import subprocess
import sys

PATTERNS = ["/lib/systemd/system/*.service", "/lib/systemd/system/*.socket",
            "/lib/systemd/system/*.timer", "/usr/share/applications/*.desktop",
            "/etc/**/*.ini", "/etc/**/*.conf", "/etc/**/*.cfg", "/etc/**/*.cnf",
            "/usr/lib/python3*/**/*.cfg", "/usr/share/**/*.ini"]


def python_view(path, lowercase):
    """{section: {key: value}} as configparser reads the file, or None."""
    parser = configparser.RawConfigParser(strict=False, interpolation=None,
                                          default_section="\x02default")
    if not lowercase:
        parser.optionxform = str
    for encoding in ("utf-8", "latin-1"):
        try:
            with open(path, encoding=encoding) as stream:
                parser.read_file(stream)
            break
        except UnicodeDecodeError:
            continue
        except (configparser.Error, OSError):
            return None
    return {name: dict(entries) for name, entries in parser._sections.items()}


def command_view(command, path, options, lowercase):
    run = subprocess.run([command, *options, "get", "--format=json", path],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    if run.returncode != 0:
        return None
    try:
        read = json.loads(run.stdout.decode("utf-8"))
    except (UnicodeDecodeError, ValueError):
        return None
    read.pop("", None)  # entries before the first header, which configparser refuses
    if lowercase:
        read = {name: {key.lower(): value for key, value in entries.items()}
                for name, entries in read.items()}
    return read


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    commands = sys.argv[1:] or [os.path.join(here, "..", "build", "native", "command", "inifile")]
    files = sorted({path for pattern in PATTERNS for path in glob.glob(pattern, recursive=True)
                    if os.path.isfile(path)})
    readable = [path for path in files if python_view(path, False)]
    print("%d files, %d of which configparser reads" % (len(files), len(readable)))
    for command in commands:
        for options, lowercase in (((), False), (("--ignore-case",), True)):
            agree = 0
            for path in readable:
                agree += command_view(command, path, options, lowercase) == python_view(
                    path, lowercase)
            print("%s %s: %d of %d agree" % (command, " ".join(options) or "(defaults)", agree,
                                             len(readable)))


if __name__ == "__main__":
    main()
