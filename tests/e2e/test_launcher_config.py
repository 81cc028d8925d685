"""vnt.ini, written beside the launchers and copied into bin, and the end of
a run."""

import os

from distribution import (BAILING_OUT, MINIMAL_BOOT, QUESTION, InstallerTest, cannot_copy,
                          cannot_create, encode, ini_unescape, installed, sep, windows)


class LauncherConfigTest(InstallerTest):

    def test_vnt_ini_bytes_and_success_line(self):
        dist = self.distribution()
        result = dist.install(stdin=b"y\n")
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2"))
        # Written out here rather than through the helpers: this is the one
        # place the file's form is spelled in full.
        if windows():
            root = encode(dist.installer_root()).replace(b"\\", b"\\\\")
            expected = (b"[vantra]\nBindir=" + root + b"\\\\vrun-1.2\\\\bin\nProgname=vnt\n"
                        b"Rootdir=" + root + b"\n")
        else:
            root = encode(dist.root)
            expected = (b"[vantra]\nBindir=" + root + b"/vrun-1.2/bin\nProgname=vnt\n"
                        b"Rootdir=" + root + b"\n")
        primary = dist.read(os.path.join(dist.runtime_bin, "vnt.ini"))
        self.assertEqual(primary, expected)
        self.assertEqual(dist.read(dist.bin_file("vnt.ini")), primary)

    def test_existing_vnt_ini_files_are_replaced(self):
        dist = self.distribution()
        # Longer than what replaces them, so leftovers would show.
        dist.write(os.path.join(dist.runtime_bin, "vnt.ini"), b"[old]\nkey=value\n" * 20)
        os.mkdir(dist.bin)
        dist.write(dist.bin_file("vnt.ini"), b"[older]\nkey=value\n" * 20)
        self.assert_output(dist.install("-s"), 0)
        self.assert_installed(dist, minimal=True)

    def test_root_with_semicolon_is_escaped_and_reads_back(self):
        dist = self.distribution(root_name="semi;colon")
        self.assert_output(dist.install("-s"), 0)
        self.assert_installed(dist, minimal=True)
        content = dist.read(dist.bin_file("vnt.ini"))
        self.assertIn(b"semi\\;colon", content)
        entries = dict(line.split(b"=", 1) for line in content.splitlines()[1:])
        self.assertEqual(ini_unescape(entries[b"Rootdir"]), encode(dist.installer_root()))
        self.assertEqual(ini_unescape(entries[b"Bindir"]), encode(dist.seen_runtime_bin()))

    def test_vnt_ini_that_cannot_be_created(self):
        dist = self.distribution()
        os.mkdir(os.path.join(dist.runtime_bin, "vnt.ini"))
        result = dist.install("-s")
        primary = dist.seen_runtime_bin() + sep() + "vnt.ini"
        self.assert_output(result, 1, stderr=cannot_create(primary) + BAILING_OUT)
        expected = self.placed(dist)
        expected["start.boot"] = dist.boot_script(MINIMAL_BOOT)
        self.assert_bin_holds(dist, expected)

    def test_vnt_ini_that_cannot_be_copied_into_bin(self):
        dist = self.distribution()
        os.makedirs(dist.bin_file("vnt.ini"))
        result = dist.install("-s")
        primary = dist.seen_runtime_bin() + sep() + "vnt.ini"
        self.assert_output(result, 1, stderr=cannot_copy(primary, dist.seen("bin", "vnt.ini"))
                           + BAILING_OUT)
        self.assertEqual(dist.read(os.path.join(dist.runtime_bin, "vnt.ini")),
                         dist.expected_vnt_ini())
        expected = self.placed(dist)
        expected["start.boot"] = dist.boot_script(MINIMAL_BOOT)
        self.assert_bin_holds(dist, expected)
