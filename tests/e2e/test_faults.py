"""Faults met on the way: writes that fail partway, a bin that is not a
folder, a target held open by another program, runs killed in the middle.
Whatever happens, the distribution's own files stay as they were (every run
checks that) and a later full run completes the installation."""

import os
import random
import re
import resource
import signal
import subprocess
import tempfile
import time

import distribution
from distribution import (BAILING_OUT, BOOT_SCRIPTS, CONTINUING, FULL_BOOT, LAUNCHERS,
                          MINIMAL_BOOT, QUESTION, InstallerTest, as_installer_path, cannot_copy,
                          cannot_create, command_line, installed, under_valgrind, windows)


def file_size_limit(limit):
    """For preexec_fn: no file may grow past `limit` bytes. With SIGXFSZ
    ignored (which survives exec), a write past the limit fails with EFBIG
    instead of killing the process, as a full disk would make it fail."""
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return apply


# The name a POSIX copy in progress has beside its target: ".NAME.XXXXXX".
TEMPORARY = re.compile(r"^\.(?P<target>.+)\.[A-Za-z0-9]{6}$")


class FailingWriteTest(InstallerTest):
    """A file-size limit makes writes fail partway, once the file being
    written reaches it: the installer must tell which file it could not
    finish, and a copy cut short must not leave half a file behind."""

    def setUp(self):
        if windows():
            self.skipTest("file-size limits are a POSIX resource limit")
        if under_valgrind():
            self.skipTest("valgrind writes its own files under the limit it inherits")

    def assert_no_temporaries(self, dist):
        self.assertEqual([name for name in os.listdir(dist.bin) if name.startswith(".")], [],
                         "a copy left its temporary file behind")

    def test_vnt_ini_cut_short(self):
        # A long root makes vnt.ini, which holds it twice, the largest file
        # written: the copies and the messages (which go to files here too)
        # fit under a limit that vnt.ini does not.
        dist = self.distribution(root_name=os.path.join("r" * 99, "r" * 99))
        expected = dist.expected_vnt_ini()
        primary = dist.seen("vrun-1.2", "bin", "vnt.ini")
        stderr = cannot_create(primary) + BAILING_OUT
        limit = len(expected) - 1
        self.assertLessEqual(max([len(stderr)] + [len(c) for c in self.placed(dist).values()]),
                             limit)
        result = dist.install("-s", preexec_fn=file_size_limit(limit))
        self.assert_output(result, 1, stderr=stderr)
        written = dist.read(os.path.join(dist.runtime_bin, "vnt.ini"))
        self.assertEqual(written, expected[:len(written)])
        self.assertLess(len(written), len(expected))
        placed = self.placed(dist)
        placed["start.boot"] = dist.boot_script(MINIMAL_BOOT)
        self.assert_bin_holds(dist, placed)

    def test_copy_cut_short(self):
        limit = 16 * 1024
        # A copy larger than the limit; the rest, vnt.ini and the messages
        # stay far below it.
        large = random.Random(7).randbytes(4 * limit)
        cases = [
            ("launcher", "wvnt.exe", CONTINUING, 0),
            ("boot script", FULL_BOOT, BAILING_OUT, 1),
        ]
        for label, name, outcome, status in cases:
            # The copy of an earlier run, when there is one, must survive
            # whole: a failed copy never truncates its target.
            for earlier in (None, b"copied by an earlier run\n"):
                with self.subTest(label, earlier=earlier is not None):
                    dist = self.distribution()
                    if name in LAUNCHERS:
                        dist.set_launcher(name, large)
                        source = dist.seen("vrun-1.2", "bin", name)
                    else:
                        dist.set_boot_script(name, large)
                        source = dist.seen("releases", "R1", name)
                    if earlier is not None:
                        os.mkdir(dist.bin)
                        dist.write(dist.bin_file(name), earlier)
                    result = dist.install("-s", preexec_fn=file_size_limit(limit))
                    self.assert_output(result, status, stderr=cannot_copy(
                        source, dist.seen("bin", name)) + outcome)
                    expected = self.placed(dist)
                    del expected[name]
                    if earlier is not None:
                        expected[name] = earlier
                    if status == 0:
                        expected["start.boot"] = dist.boot_script(MINIMAL_BOOT)
                        expected["vnt.ini"] = dist.expected_vnt_ini()
                    self.assert_bin_holds(dist, expected)
                    self.assert_no_temporaries(dist)
                    self.assertEqual(
                        os.path.exists(os.path.join(dist.runtime_bin, "vnt.ini")), status == 0)


class BlockedTargetTest(InstallerTest):

    def test_bin_that_is_a_file(self):
        # Every copy fails: the launchers are passed over, the first boot
        # script ends the run. The file itself is the distribution's and
        # stays as it was (the run checks that).
        dist = self.distribution()
        dist.write(dist.bin, b"not a folder\n")
        result = dist.install("-s")
        stderr = b""
        for name in LAUNCHERS:
            stderr += cannot_copy(dist.seen("vrun-1.2", "bin", name),
                                  dist.seen("bin", name)) + CONTINUING
        stderr += cannot_copy(dist.seen("releases", "R1", MINIMAL_BOOT),
                              dist.seen("bin", MINIMAL_BOOT)) + BAILING_OUT
        self.assert_output(result, 1, stderr=stderr)
        self.assertFalse(os.path.lexists(os.path.join(dist.runtime_bin, "vnt.ini")))

    def test_launcher_held_open_by_another_program(self):
        # A launcher still running on Windows keeps its file open without
        # sharing; the installation goes on without replacing it.
        if not windows():
            self.skipTest("sharing modes are a Windows matter")
        if distribution.HOLD_FILE is None:
            self.skipTest("no --hold-file helper given")
        dist = self.distribution()
        self.assert_output(dist.install("-s"), 0)
        earlier = dist.read(dist.bin_file("vexec.exe"))
        dist.set_launcher("vexec.exe", b"vexec.exe, a newer build\r\n")
        with tempfile.TemporaryFile() as output:
            holder = subprocess.Popen(
                command_line(distribution.HOLD_FILE,
                             [as_installer_path(dist.bin_file("vexec.exe"))]),
                stdin=subprocess.PIPE, stdout=output, stderr=output, cwd=dist.elsewhere)
            try:
                deadline = time.monotonic() + 300
                while b"held" not in os.pread(output.fileno(), 100, 0):
                    self.assertIsNone(holder.poll(), os.pread(output.fileno(), 1000, 0))
                    self.assertLess(time.monotonic(), deadline, "the file was never held")
                    time.sleep(0.01)
                result = dist.install(stdin=b"n\n")
            finally:
                holder.stdin.close()
                holder.wait(60)
        self.assertEqual(holder.returncode, 0)
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2"), stderr=cannot_copy(
            dist.seen("vrun-1.2", "bin", "vexec.exe"), dist.seen("bin", "vexec.exe")) + CONTINUING)
        expected = self.placed(dist)
        expected["vexec.exe"] = earlier
        expected["start.boot"] = dist.boot_script(FULL_BOOT)
        expected["vnt.ini"] = dist.expected_vnt_ini()
        self.assert_bin_holds(dist, expected)


class KilledRunTest(InstallerTest):
    """A run killed outright (SIGKILL, nothing to clean up after) leaves the
    installation unfinished; the next run must finish it."""

    ROUNDS = 6
    LAUNCHER_SIZE = 4 << 20

    def setUp(self):
        if under_valgrind():
            self.skipTest("under valgrind the moments to kill at are not those of a real run")

    def assert_installed_apart_from_temporaries(self, dist, minimal):
        """assert_installed, once the hidden temporaries of POSIX copies
        killed in progress are set aside: nothing removes them later, but
        they never stand under a target's name."""
        targets = LAUNCHERS + BOOT_SCRIPTS + ("start.boot", "vnt.ini")
        for name in os.listdir(dist.bin):
            match = TEMPORARY.match(name)
            if match and not windows():
                self.assertIn(match.group("target"), targets)
                os.remove(dist.bin_file(name))
        self.assert_installed(dist, minimal=minimal)

    def test_killed_at_the_question(self):
        dist = self.distribution()
        with dist.started() as run:
            run.wait_for_stdout(QUESTION)
            self.assertTrue(run.kill())
        self.assert_nothing_created(dist)
        result = dist.install(stdin=b"y\n")
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2"))
        self.assert_installed(dist, minimal=True)

    def test_killed_during_the_copies(self):
        dist = self.distribution()
        rng = random.Random(20)
        for name in LAUNCHERS:
            dist.set_launcher(name, rng.randbytes(self.LAUNCHER_SIZE))
        # A full run first, timed from the answer on: the span the kills
        # below fall in. Later runs replace what it placed.
        with dist.started() as run:
            run.wait_for_stdout(QUESTION)
            answered = time.monotonic()
            run.send(b"y\n")
            result = run.finish()
            span = time.monotonic() - answered
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2"))
        # One kill in each slice of the span's first 90 %, at a random point.
        delays = [(step + rng.random()) * 0.9 * span / self.ROUNDS for step in range(self.ROUNDS)]
        for delay in delays:
            with dist.started() as run:
                run.wait_for_stdout(QUESTION)
                run.send(b"y\n")
                time.sleep(delay)
                run.kill()
            if not windows():
                # A POSIX copy replaces its target by renaming a finished
                # file: each target is the old copy or the new, never a mix.
                # (Windows copies in place, so there only the next run counts.)
                with self.subTest(delay=delay):
                    expected = self.placed(dist)
                    expected["start.boot"] = dist.boot_script(MINIMAL_BOOT)
                    expected["vnt.ini"] = dist.expected_vnt_ini()
                    for name in os.listdir(dist.bin):
                        if not TEMPORARY.match(name):
                            self.assertEqual(dist.read(dist.bin_file(name)), expected[name], name)
        result = dist.install(stdin=b"n\n")
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2"))
        self.assert_installed_apart_from_temporaries(dist, minimal=False)
