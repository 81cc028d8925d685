"""Hostile input: huge, overlong and garbage release descriptions, and a
version thousands of bytes long. Each run must end
with its proper message or succeed, never crash, and keep its memory within
a small multiple of what it was given."""

import os
import random
import sys

from distribution import (QUESTION, InstallerTest, cannot_open, no_install_section,
                          not_one_directory, under_valgrind)


MiB = 1 << 20

# Runs the command after the file name it is given, then writes there the
# largest resident size (KiB) any of its children reached. Linux counts in
# that maximum what the child held before it became the installer (this
# wrapper's own pages, until exec), and under wine wine's share comes on
# top: hence the baseline, a run on a small distribution measured the same
# way. A signal shows as 128 plus its number, as a shell reports it.
PEAK_WRAPPER = """\
import resource, subprocess, sys
status = subprocess.call(sys.argv[2:])
with open(sys.argv[1], "w") as out:
    out.write(str(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss))
sys.exit(128 - status if status < 0 else status)
"""


def write_in_blocks(path, blocks):
    with open(path, "wb") as stream:
        for block in blocks:
            stream.write(block)


def sections_block(rng, size):
    """About `size` bytes of sections and entries in the usual form: keys of
    5 to 20 bytes, values of 5 to 80, now and then a comment, blanks around
    the '=' or escapes."""
    lines = []
    length = 0
    while length < size:
        lines.append(b"[section %d]\n" % len(lines))
        for _ in range(rng.randint(5, 50)):
            key = b"key_%d" % rng.randrange(10 ** rng.randint(1, 15))
            value = rng.randbytes(40).hex()[:rng.randint(5, 80)].encode()
            form = rng.random()
            if form < 0.1:
                lines.append(b"; %s\n" % value)
            elif form < 0.3:
                lines.append(b"%s = %s   ; why\n" % (key, value))
            elif form < 0.4:
                lines.append(b"%s=C:\\\\%s\\;x\n" % (key, value))
            else:
                lines.append(b"%s=%s\n" % (key, value))
            length += len(lines[-1])
    return b"".join(lines)


def huge_description(size):
    """`size` bytes or so of valid sections, with [Install] half-way."""
    block = sections_block(random.Random(100), MiB)
    count = size // len(block)
    for index in range(count):
        if index == count // 2:
            yield b"[Install]\nVSN=1.2\nSYSTEM_VSN=R1\n"
        yield block


def single_line(size):
    """A section header `size` bytes long, and nothing else."""
    yield b"["
    left = size - 2
    while left > 0:
        yield b"x" * min(left, MiB)
        left -= MiB
    yield b"]"


def random_bytes(size):
    rng = random.Random(2024)
    for _ in range(size // MiB):
        yield rng.randbytes(MiB)


class HostileInputTest(InstallerTest):

    def setUp(self):
        if under_valgrind():
            self.skipTest("far too slow under valgrind, whose own memory would swamp the peaks "
                          "measured here")

    def run_measured(self, dist, *extra, stdin=b""):
        """dist.install(...), and the installer's peak resident size in bytes."""
        peak_file = os.path.join(dist.top, "peak")
        result = dist.install(*extra, stdin=stdin,
                              prefix=[sys.executable, "-c", PEAK_WRAPPER, peak_file])
        with open(peak_file) as stream:
            peak = int(stream.read()) * 1024
        os.remove(peak_file)
        return result, peak

    def assert_peak_within(self, peak, size, baseline):
        """At most three times the input over the baseline (2.43 at most when
        last measured, for a single line), with some slack for the heap's
        own bookkeeping."""
        limit = 3 * size + baseline + 16 * MiB
        self.assertLessEqual(peak, limit, "peak %.1f MiB for %.1f MiB of input" % (
            peak / MiB, size / MiB))

    def baseline(self):
        return self.run_measured(self.distribution(), "-s")[1]

    def test_huge_descriptions(self):
        cases = [
            ("100 MiB of sections", huge_description(100 * MiB),
             lambda dist: (0, b"", b"")),
            ("a single line of 16 MiB", single_line(16 * MiB),
             lambda dist: (1, b"", no_install_section(dist.seen_description()))),
            ("random bytes", random_bytes(4 * MiB),
             lambda dist: (1, b"", cannot_open(dist.seen_description()))),
        ]
        baseline = self.baseline()
        for label, blocks, outcome in cases:
            with self.subTest(label):
                dist = self.distribution(description=None)
                path = dist.path("Install.ini")
                write_in_blocks(path, blocks)
                size = os.path.getsize(path)
                try:
                    result, peak = self.run_measured(dist, "-s")
                finally:
                    os.remove(path)
                status, stdout, stderr = outcome(dist)
                self.assert_output(result, status, stdout=stdout, stderr=stderr)
                self.assert_peak_within(peak, size, baseline)

    def test_version_thousands_of_bytes_long(self):
        # Made of folder names, so that the folders can exist; a value with
        # separators leads out of its folder and is refused, whatever its length.
        vsn = "/".join(["v" * 199] * 16)
        self.assertGreaterEqual(len(vsn), 3000)
        dist = self.distribution(vsn=vsn)
        result, peak = self.run_measured(dist, stdin=b"y\n")
        self.assert_output(result, 1, stdout=QUESTION, stderr=not_one_directory(
            "VSN", dist.seen_description(), vsn))
        self.assert_peak_within(peak, os.path.getsize(dist.path("Install.ini")), self.baseline())
