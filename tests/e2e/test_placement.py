"""Reading Install.ini and placing the launchers and boot scripts in bin."""

import os
import unittest

from distribution import (AS_NOBODY, can_run_as_nobody, BAILING_OUT, CONTINUING, FULL_BOOT, LAUNCHERS, MINIMAL_BOOT,
                          QUESTION, InstallerTest, cannot_copy, cannot_find, cannot_open,
                          installed, no_install_section, no_system_vsn, no_vsn,
                          not_one_directory, sep, windows)


class DescriptionTest(InstallerTest):

    def test_missing_description(self):
        dist = self.distribution(description=None)
        # The question comes before the description is looked at.
        result = dist.install(stdin=b"y\n")
        self.assert_output(result, 1, stdout=QUESTION,
                           stderr=cannot_open(dist.seen_description()))
        self.assert_nothing_created(dist)

    def test_malformed_description_cannot_be_opened_either(self):
        dist = self.distribution(description=b"VSN=1.2\n[Install]\nSYSTEM_VSN=R1\n")
        result = dist.install("-s")
        self.assert_output(result, 1, stderr=cannot_open(dist.seen_description()))
        self.assert_nothing_created(dist)

    def test_description_that_is_a_directory(self):
        dist = self.distribution(description=None)
        os.mkdir(dist.path("Install.ini"))
        result = dist.install("-s")
        self.assert_output(result, 1, stderr=cannot_open(dist.seen_description()))
        self.assert_nothing_created(dist)

    def test_description_without_install_section(self):
        cases = [
            ("empty", b""),
            ("blank and comment lines only", b"; a release description\n\n   \n;[Install]\n"),
            ("section name in another case", b"[install]\nVSN=1.2\nSYSTEM_VSN=R1\n"),
        ]
        for label, description in cases:
            with self.subTest(label):
                dist = self.distribution(description=description)
                result = dist.install("-s")
                self.assert_output(result, 1, stderr=no_install_section(dist.seen_description()))
                self.assert_nothing_created(dist)

    def test_missing_vsn(self):
        dist = self.distribution(description=b"[Install]\nSYSTEM_VSN=R1\n")
        result = dist.install("-s")
        self.assert_output(result, 1, stderr=no_vsn(dist.seen_description()))
        self.assert_nothing_created(dist)

    def test_missing_system_vsn_is_found_before_anything_is_created(self):
        dist = self.distribution(description=b"[Install]\nVSN=1.2\n")
        result = dist.install("-s")
        self.assert_output(result, 1, stderr=no_system_vsn(dist.seen_description()))
        self.assert_nothing_created(dist)

    def test_first_section_and_first_entry_win(self):
        # Neither vrun-9.9 nor releases/R7 exists: using either would fail.
        dist = self.distribution(description=(
            b"[Install]\nVSN=1.2\nVSN=9.9\nSYSTEM_VSN=R1\n"
            b"[Install]\nVSN=7.7\nSYSTEM_VSN=R7\n"))
        result = dist.install(stdin=b"\n")
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2"))
        self.assert_installed(dist, minimal=False)

    def test_description_as_edited_by_hand(self):
        # As Notepad saves it (a byte-order mark, line ends of Windows),
        # comments, other sections, blanks around the equals sign, and an
        # escaped semicolon that belongs to the version.
        dist = self.distribution(vsn="1;2", description=(
            b"\xef\xbb\xbf; release description\r\n"
            b"[Other]\r\nVSN=9.9\r\n\r\n"
            b"[Install]\r\n"
            b"  VSN = 1\\;2   ; the runtime\r\n"
            b"SYSTEM_VSN=R1\r\n"))
        result = dist.install(stdin=b"y\n")
        self.assert_output(result, 0, stdout=QUESTION + installed("1;2"))
        self.assert_installed(dist, minimal=True)

    def test_version_with_spaces_inside(self):
        dist = self.distribution(vsn="1.2 beta 3", system_vsn="R1 final")
        result = dist.install(stdin=b"n\n")
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2 beta 3"))
        self.assert_installed(dist, minimal=False)

    def test_empty_version_is_accepted(self):
        dist = self.distribution(vsn="")
        result = dist.install(stdin=b"y\n")
        self.assert_output(result, 0, stdout=QUESTION + installed(""))
        self.assert_installed(dist, minimal=True)


class VersionOutsideRootTest(InstallerTest):
    """A version value that leads out of its directory is refused before
    anything is written: a neighbouring installation is never touched."""

    def neighbour(self, dist):
        """An installed distribution beside `dist`; returns a snapshot to
        compare with."""
        other = os.path.join(dist.top, "other")
        for directory, name in (("vrun-9/bin", "vnt.ini"), ("releases/R9", FULL_BOOT),
                                ("releases/R9", MINIMAL_BOOT)):
            os.makedirs(os.path.join(other, directory), exist_ok=True)
            dist.write(os.path.join(other, directory, name), b"other's " + name.encode())
        return self.snapshot(other)

    @staticmethod
    def snapshot(top):
        found = {}
        for directory, _, files in os.walk(top):
            for name in files:
                with open(os.path.join(directory, name), "rb") as stream:
                    found[os.path.join(directory, name)] = stream.read()
        return found

    def test_refused(self):
        separators = ["/", "\\\\"] if windows() else ["/"]  # doubled: one escaped backslash
        cases = []
        for separator in separators:
            leading = separator.join(["x", "..", "..", "other", "vrun-9"])
            cases += [("VSN", leading, "R1"), ("VSN", "1" + separator + "2", "R1"),
                      ("SYSTEM_VSN", "1.2", separator.join(["..", "..", "other", "releases", "R9"]))]
        cases += [("SYSTEM_VSN", "1.2", ".."), ("SYSTEM_VSN", "1.2", ".")]
        for key, vsn, system_vsn in cases:
            with self.subTest(key=key, vsn=vsn, system_vsn=system_vsn):
                dist = self.distribution()
                os.makedirs(dist.path("vrun-x"))
                before = self.neighbour(dist)
                dist.write(dist.path("Install.ini"), b"[Install]\nVSN=%s\nSYSTEM_VSN=%s\n" % (
                    vsn.encode(), system_vsn.encode()))
                value = (vsn if key == "VSN" else system_vsn).replace("\\\\", "\\")
                result = dist.install("-s")
                self.assert_output(result, 1, stderr=not_one_directory(
                    key, dist.seen_description(), value))
                self.assert_nothing_created(dist)
                self.assertEqual(self.snapshot(os.path.join(dist.top, "other")), before)

    def test_inner_dots_install(self):
        dist = self.distribution(vsn="5..4", system_vsn="R..1")
        result = dist.install("-s")
        self.assert_output(result, 0)
        self.assert_installed(dist, minimal=True)


class MissingFileTest(InstallerTest):

    def test_missing_launcher_ends_the_run_after_earlier_copies(self):
        dist = self.distribution(launchers=[name for name in LAUNCHERS if name != "tagger.exe"])
        result = dist.install("-s")
        self.assert_output(result, 1,
                           stderr=cannot_find(dist.seen("vrun-1.2", "bin", "tagger.exe")))
        # What was done stays done.
        self.assert_bin_holds(dist, self.placed(dist, launchers=LAUNCHERS[:4], boot_scripts=()))

    def test_missing_boot_script(self):
        dist = self.distribution(boot_scripts=[MINIMAL_BOOT])
        result = dist.install("-s")
        self.assert_output(result, 1, stderr=cannot_find(dist.seen("releases", "R1", FULL_BOOT)))
        self.assert_bin_holds(dist, self.placed(dist, boot_scripts=[MINIMAL_BOOT]))
        self.assertFalse(os.path.lexists(os.path.join(dist.runtime_bin, "vnt.ini")))


class FailedCopyTest(InstallerTest):
    """A directory where a copy should go makes that copy fail, on every
    platform."""

    def test_failed_launcher_copies_are_passed_over(self):
        dist = self.distribution()
        os.makedirs(dist.bin_file("vnt.exe"))
        os.makedirs(dist.bin_file("vntc.exe"))
        result = dist.install(stdin=b"no\n")
        stderr = b""
        for name in ("vnt.exe", "vntc.exe"):
            stderr += cannot_copy(dist.seen("vrun-1.2", "bin", name), dist.seen("bin", name))
            stderr += CONTINUING
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2"), stderr=stderr)
        expected = self.placed(dist, launchers=[name for name in LAUNCHERS
                                                if name not in ("vnt.exe", "vntc.exe")])
        expected["start.boot"] = dist.boot_script(FULL_BOOT)
        expected["vnt.ini"] = dist.expected_vnt_ini()
        self.assert_bin_holds(dist, expected)
        self.assertEqual(dist.read(os.path.join(dist.runtime_bin, "vnt.ini")),
                         dist.expected_vnt_ini())

    @unittest.skipIf(windows(), "a dangling link is a POSIX case")
    def test_dangling_link_counts_as_present(self):
        # The launcher's entry exists, so it is not missing: its copy fails
        # and the run goes on.
        dist = self.distribution()
        link = os.path.join(dist.runtime_bin, "wvnt.exe")
        os.remove(link)
        os.symlink(os.path.join(dist.top, "nowhere"), link)
        result = dist.install("-s")
        stderr = cannot_copy(dist.seen("vrun-1.2", "bin", "wvnt.exe"),
                             dist.seen("bin", "wvnt.exe")) + CONTINUING
        self.assert_output(result, 0, stderr=stderr)
        self.assertFalse(os.path.lexists(dist.bin_file("wvnt.exe")))
        self.assertTrue(os.path.isfile(dist.bin_file("start.boot")))

    def test_failed_boot_script_copy_bails_out(self):
        dist = self.distribution()
        os.makedirs(dist.bin_file(FULL_BOOT))
        result = dist.install("-s")
        self.assert_output(result, 1, stderr=cannot_copy(
            dist.seen("releases", "R1", FULL_BOOT), dist.seen("bin", FULL_BOOT)) + BAILING_OUT)
        self.assert_bin_holds(dist, self.placed(dist, boot_scripts=[MINIMAL_BOOT]))
        self.assertFalse(os.path.lexists(os.path.join(dist.runtime_bin, "vnt.ini")))

    def test_failed_start_boot_copy_bails_out(self):
        dist = self.distribution()
        os.makedirs(dist.bin_file("start.boot"))
        result = dist.install("-s")
        self.assert_output(result, 1, stderr=cannot_copy(
            dist.seen("bin", MINIMAL_BOOT), dist.seen("bin", "start.boot")) + BAILING_OUT)
        self.assert_bin_holds(dist, self.placed(dist))
        self.assertFalse(os.path.lexists(os.path.join(dist.runtime_bin, "vnt.ini")))

    def test_copy_onto_itself_is_refused(self):
        # The runtime's bin is a link to root/bin, so the two are one folder
        # (wine follows the link too): every copy would be onto its own source.
        dist = self.distribution(launchers=())
        os.rmdir(dist.runtime_bin)
        os.mkdir(dist.bin)
        os.symlink(dist.bin, dist.runtime_bin)
        for name in LAUNCHERS:
            dist.write(dist.bin_file(name), dist.launcher(name))
        result = dist.install("-s")
        runtime_bin = dist.seen_runtime_bin()
        stderr = b""
        for name in LAUNCHERS:
            stderr += cannot_copy(runtime_bin + sep() + name, dist.seen("bin", name)) + CONTINUING
        stderr += cannot_copy(runtime_bin + sep() + "vnt.ini",
                              dist.seen("bin", "vnt.ini")) + BAILING_OUT
        self.assert_output(result, 1, stderr=stderr)
        # Nothing was truncated on the way: each file still holds its bytes.
        expected = self.placed(dist)
        expected["start.boot"] = dist.boot_script(MINIMAL_BOOT)
        expected["vnt.ini"] = dist.expected_vnt_ini()
        self.assert_bin_holds(dist, expected)


class RepeatedRunTest(InstallerTest):

    def test_second_run_replaces_every_copy(self):
        dist = self.distribution()
        self.assert_output(dist.install("-s"), 0)
        self.assert_installed(dist, minimal=True)
        # Spoil every copy, each with something longer than the original so
        # that a copy which does not truncate shows.
        for name in os.listdir(dist.bin):
            dist.write(dist.bin_file(name), b"stale " * 100)
        dist.write(os.path.join(dist.runtime_bin, "vnt.ini"), b"stale " * 100)
        result = dist.install(stdin=b"no\n")
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2"))
        self.assert_installed(dist, minimal=False)


    def test_second_run_over_read_only_distribution(self):
        # Shipped files are often read-only, and copies keep that mode; the
        # second run must still be able to replace them. (Only a user other
        # than root can meet the refusal.)
        dist = self.distribution()
        for name in LAUNCHERS:
            os.chmod(os.path.join(dist.runtime_bin, name), 0o555)
        for name in (MINIMAL_BOOT, FULL_BOOT):
            os.chmod(os.path.join(dist.release_dir, name), 0o444)
        program, prefix = None, ()
        if can_run_as_nobody():
            program = dist.hand_to_nobody()
            if program is None:
                self.skipTest("the user nobody cannot reach the temporary folder %s" % dist.top)
            prefix = AS_NOBODY
        self.assert_output(dist.install("-s", program=program, prefix=prefix), 0)
        result = dist.install(stdin=b"no\n", program=program, prefix=prefix)
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2"))
        self.assert_installed(dist, minimal=False)


class LongPathTest(InstallerTest):
    """Paths are not held to a fixed size; only the system may refuse one.
    Linux takes these; the Windows file functions may refuse paths this long,
    and the run then ends with the message of whatever was refused."""

    LEVEL = "v" * 99

    def test_long_version(self):
        # One folder name as long as file systems take (vrun- included).
        vsn = "v" * 250
        dist = self.distribution(vsn=vsn)
        result = dist.install(stdin=b"y\n")
        if windows() and result.status != 0:
            source = dist.seen("vrun-" + vsn, "bin", LAUNCHERS[0])
            self.assert_output(result, 1, stdout=QUESTION, stderr=cannot_find(source))
        else:
            self.assert_output(result, 0, stdout=QUESTION + installed(vsn))
            self.assert_installed(dist, minimal=True)

    def test_long_root(self):
        dist = self.distribution(root_name=os.path.join(*[self.LEVEL] * 3))
        self.assertGreaterEqual(len(dist.installer_root()), 300)
        result = dist.install("-s")
        if windows() and result.status != 0:
            self.assert_output(result, 1, stderr=cannot_open(dist.seen_description()))
            self.assert_nothing_created(dist)
        else:
            self.assert_output(result, 0)
            self.assert_installed(dist, minimal=True)
