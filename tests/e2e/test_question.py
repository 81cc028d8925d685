"""The start-up question: which answers choose the minimal start-up, and
quiet runs that never ask."""

import os

from distribution import NO_ANSWER, QUESTION, InstallerTest, installed


class AnswerTest(InstallerTest):

    def answer(self, stdin, minimal):
        """One interactive run; checks the exact dialogue and the start.boot chosen."""
        dist = self.distribution()
        result = dist.install(stdin=stdin)
        # The question ends without a line feed, so the success line follows it.
        self.assert_output(result, 0, stdout=QUESTION + installed("1.2"))
        self.assert_installed(dist, minimal=minimal)

    def test_yes_in_any_case_chooses_minimal_startup(self):
        for stdin in (b"y\n", b"Y\n", b"YES\n", b"yes\r\n", b"yEs\n"):
            with self.subTest(answer=stdin):
                self.answer(stdin, minimal=True)

    def test_any_other_answer_keeps_full_startup(self):
        # Nothing is trimmed: a blank before or after yes makes it another answer.
        for stdin in (b"no\n", b"ye\n", b"\n", b" y\n", b"yes \n", b"yess\n"):
            with self.subTest(answer=stdin):
                self.answer(stdin, minimal=False)

    def test_long_answer_line(self):
        cases = [
            # Only the first 99 characters are the answer: the y after them
            # must not be taken as one, nor the line that follows.
            ("rest after 99 characters", b"n" * 99 + b"y\r" + b"z" * 49 + b"\ny\n", False),
            ("y as the 100th character", b"n" * 99 + b"y\n", False),
            # The carriage return still cuts an answer that began a long line.
            ("yes at the start", b"yes\r" + b"z" * 146 + b"\n", True),
        ]
        for label, stdin, minimal in cases:
            with self.subTest(label):
                self.assertGreaterEqual(len(stdin.split(b"\n")[0]), 100)
                self.answer(stdin, minimal=minimal)

    def test_y_at_end_of_input_without_line_feed(self):
        self.answer(b"y", minimal=True)

    def test_end_of_input_before_any_answer(self):
        dist = self.distribution()
        result = dist.install(stdin=b"")
        self.assert_output(result, 1, stdout=QUESTION, stderr=NO_ANSWER)
        self.assert_nothing_created(dist)


class QuietTest(InstallerTest):

    def test_quiet_run_never_reads_input_and_prints_nothing(self):
        dist = self.distribution()
        # Were it read, "no" would choose the full start-up.
        with dist.input_file(b"no\n") as stdin:
            result = dist.install("-s", stdin=stdin)
            self.assertEqual(os.lseek(stdin.fileno(), 0, os.SEEK_CUR), 0,
                             "standard input was read")
        self.assert_output(result, 0)
        self.assert_installed(dist, minimal=True)

    def test_quiet_run_with_input_at_its_end(self):
        # An interactive run would fail here for want of an answer.
        dist = self.distribution()
        result = dist.install("-s", stdin=b"")
        self.assert_output(result, 0)
        self.assert_installed(dist, minimal=True)
