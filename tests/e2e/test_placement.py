"""Reading Install.ini and placing the launchers and boot scripts in bin."""

import os

from distribution import (AS_NOBODY, can_run_as_nobody, BAILING_OUT, CONTINUING, FULL_BOOT, LAUNCHERS, MINIMAL_BOOT,
                          QUESTION, InstallerTest, cannot_copy, cannot_find, cannot_open,
                          installed, no_install_section, no_system_vsn, no_vsn, sep, windows)


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
        # Line ends of Windows, comments, other sections, blanks around the
        # equals sign, and an escaped semicolon that belongs to the version.
        dist = self.distribution(vsn="1;2", description=(
            b"; release description\r\n"
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
        # A version that climbs back out of vrun-... makes the runtime's bin
        # and root/bin one folder: every copy would be onto its own source.
        vsn = "1.2\\.." if windows() else "1.2/.."
        stored_vsn = vsn.replace("\\", "\\\\").encode()
        dist = self.distribution(
            vsn=vsn, launchers=(),
            description=b"[Install]\nVSN=%s\nSYSTEM_VSN=R1\n" % stored_vsn)
        # Linux resolves the .. only through an existing vrun-1.2.
        self.assertTrue(os.path.isdir(dist.path("vrun-1.2")))
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
    Linux takes these; the Windows file functions refuse paths this long,
    and the run then ends with the message of whatever was refused."""

    LEVEL = "v" * 99

    def test_long_version(self):
        vsn = "/".join([self.LEVEL] * 3) + "/1.2"
        self.assertGreaterEqual(len(vsn), 300)
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
