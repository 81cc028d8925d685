"""Helpers for the end-to-end tests: a small unpacked distribution in a
temporary folder, and a way to run the real installer on it.

Every run compares the distribution's own files before and after, so a test
never has to remember that only bin/ and the runtime's vnt.ini are the
installer's to write.
"""

import contextlib
import os
import shutil
import subprocess
import tempfile
import time
import unittest

# Set once by run_e2e.py before any test runs.
INSTALLER = None
PLATFORM = None  # "posix" or "windows" (the latter run under wine)
VALGRIND = None  # the valgrind executable when every run goes through memcheck
HOLD_FILE = None  # the Windows helper that holds a file open without sharing
WINE = "wine"  # the loader that runs Windows programs: wine, or the 64-bit one

LAUNCHERS = ("vnt.exe", "wvnt.exe", "vntc.exe", "sifter.exe", "tagger.exe", "vexec.exe")
MINIMAL_BOOT = "start_bare.boot"
FULL_BOOT = "start_kord.boot"
BOOT_SCRIPTS = (MINIMAL_BOOT, FULL_BOOT)

QUESTION = b"Do you want a minimal startup instead of kord [No]: "
NO_ANSWER = b"Could not read answer from user.\n"
CONTINUING = b"Continuing installation anyway...\n"
BAILING_OUT = b"Cannot continue installation, bailing out.\n"


# Wine takes the system's ANSI code page from the Unix locale. C.UTF-8, which
# every Debian system has, gives code page 1252 and keeps the Unix side of
# file names in UTF-8; a locale that is not installed would leave wine in
# plain C, which mangles every non-ASCII name on its way in.
WINE_LOCALE = "C.UTF-8"
WINE_CODE_PAGE = "cp1252"


def configure(installer, platform, valgrind=None, hold_file=None, wine="wine"):
    global INSTALLER, PLATFORM, VALGRIND, HOLD_FILE, WINE
    INSTALLER = os.path.abspath(installer)
    PLATFORM = platform
    VALGRIND = valgrind
    HOLD_FILE = hold_file and os.path.abspath(hold_file)
    WINE = wine
    if windows():
        os.environ["LC_ALL"] = WINE_LOCALE


def warm_up():
    """Under wine, starts the installer once before any test: the first start
    in a new prefix sets the prefix up and reports that on standard error,
    which no test should see."""
    if windows():
        run_program(INSTALLER, ["-x"], cwd=tempfile.gettempdir())


def windows():
    return PLATFORM == "windows"


def under_valgrind():
    return VALGRIND is not None


def sep():
    """The separator the installer puts between path parts."""
    return "\\" if windows() else "/"


def as_installer_path(host_path):
    """How the installer sees a path of this machine: wine maps / to drive Z:."""
    if windows():
        return "Z:" + host_path.replace("/", "\\")
    return host_path


def encode(text):
    """Text as the installer holds it: in the system's code page on Windows,
    a character it lacks shown as '?'; elsewhere the file names' own bytes."""
    if windows():
        return text.encode(WINE_CODE_PAGE, errors="replace")
    return os.fsencode(text)


def unknown_switch(argument):
    return b"Unknown command switch %s\n" % encode(argument)


def second_root(argument):
    return b"Only one root directory can be specified, parameter %s is illegal\n" % encode(
        argument)


def inexact_root(root):
    return (b"Root directory '%s' cannot be used: the system's code page cannot hold its name "
            b"exactly\n" % encode(root))


def unrecordable_root(root):
    return (b"Root directory '%s' cannot be recorded in vnt.ini: it holds a line break or "
            b"begins or ends with a space\n" % encode(root))


def cannot_open(path):
    return b"Cannot open init file %s\n" % encode(path)


def no_install_section(path):
    return b"No [Install] section in init file %s\n" % encode(path)


def no_vsn(path):
    return b"No key VSN in init file %s\n" % encode(path)


def no_system_vsn(path):
    return b"No key SYSTEM_VSN in init file %s\n" % encode(path)


def not_one_directory(key, path, value):
    return b"Key %s in init file %s must name one directory inside the root, not '%s'\n" % (
        key.encode(), encode(path), encode(value))


def cannot_find(path):
    return b"Could not find file %s\n" % encode(path)


def cannot_copy(source, target):
    return b"Could not copy file %s to %s\n" % (encode(source), encode(target))


def cannot_create(path):
    return b"Could not create file %s\n" % encode(path)


def installed(version):
    return b"Vantra %s installed successfully\n" % encode(version)


def ini_escape(text):
    """A value as the installer's configuration writer stores it."""
    return encode(text).replace(b"\\", b"\\\\").replace(b";", b"\\;")


def ini_unescape(stored):
    """A stored value as a reader of the format gets it back: a backslash
    takes the next byte literally."""
    out = bytearray()
    escaped = False
    for byte in stored:
        if byte == ord("\\") and not escaped:
            escaped = True
            continue
        out.append(byte)
        escaped = False
    return bytes(out)


class Run:
    def __init__(self, status, stdout, stderr):
        self.status = status
        self.stdout = stdout
        self.stderr = stderr

    def __repr__(self):
        return "Run(status=%r, stdout=%r, stderr=%r)" % (self.status, self.stdout, self.stderr)


# Runs a command as the unprivileged user nobody: root may write anywhere, so
# permission cases only show for an ordinary user.
AS_NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def can_run_as_nobody():
    return not windows() and os.geteuid() == 0 and shutil.which("setpriv") is not None


# Memcheck as the tests use it: any error, or any block lost for good, fails
# the run; -q keeps a clean run silent, so the log is empty exactly when all
# is well.
MEMCHECK_OPTIONS = ["--tool=memcheck", "--error-exitcode=99", "--errors-for-leak-kinds=definite",
                    "--leak-check=full", "--track-fds=no", "-q"]
MEMCHECK_FAILED = 99


def command_line(program, args, prefix=()):
    """The command that starts `program` on this platform, after `prefix`."""
    return list(prefix) + ([WINE] if windows() else []) + [program] + list(args)


def run_program(program, args, stdin=b"", cwd=None, prefix=(), preexec_fn=None):
    """run_program_once, once more where wine could not start the program:
    the installer never ends with status 1 without a word, so such a run
    never reached it (seen once in a few hundred runs under wine64 right
    after a run was killed). The second try is the result either way."""
    position = stdin.tell() if hasattr(stdin, "tell") else None
    result = run_program_once(program, args, stdin, cwd, prefix, preexec_fn)
    if windows() and (result.status, result.stdout, result.stderr) == (1, b"", b""):
        if position is not None:
            stdin.seek(position)
        result = run_program_once(program, args, stdin, cwd, prefix, preexec_fn)
    return result


def run_program_once(program, args, stdin=b"", cwd=None, prefix=(), preexec_fn=None):
    """Runs `program` (the installer or a copy of it) with `args`, after the
    command `prefix`; `preexec_fn` runs in the child just before it starts.

    `stdin` is bytes, or an open file handed over as is (its offset
    afterwards tells whether the program read it).

    With --valgrind the program runs under memcheck, whose report goes to a
    log of its own: standard output and error hold the installer's output
    alone, and a report fails the test."""
    log_directory = None
    if under_valgrind():
        log_directory = tempfile.mkdtemp(prefix="install-memcheck-")
        # The run may be made as the user nobody, which must create the log.
        os.chmod(log_directory, 0o777)
        log = os.path.join(log_directory, "memcheck.log")
        program, args = VALGRIND, MEMCHECK_OPTIONS + ["--log-file=" + log, program] + list(args)
    command = command_line(program, args, prefix)
    # The first start under wine may have to bring up its server.
    timeout = 300 if windows() else 120 if under_valgrind() else 30
    # Files, not pipes: helper processes that wine starts on the first run
    # inherit the streams and would keep a pipe open long after the
    # installer has ended.
    try:
        with tempfile.TemporaryFile() as given, tempfile.TemporaryFile() as stdout, \
                tempfile.TemporaryFile() as stderr:
            if isinstance(stdin, bytes):
                given.write(stdin)
                given.seek(0)
                stdin = given
            completed = subprocess.run(command, stdin=stdin, stdout=stdout, stderr=stderr,
                                       cwd=cwd, env=os.environ.copy(), timeout=timeout,
                                       preexec_fn=preexec_fn)
            stdout.seek(0)
            stderr.seek(0)
            out, err = stdout.read(), stderr.read()
        report = b""
        if log_directory is not None and os.path.exists(log):
            with open(log, "rb") as stream:
                report = stream.read()
    finally:
        if log_directory is not None:
            shutil.rmtree(log_directory, ignore_errors=True)
    if windows():
        # The Windows runtime writes the console streams in text mode.
        out = out.replace(b"\r\n", b"\n")
        err = err.replace(b"\r\n", b"\n")
    result = Run(completed.returncode, out, err)
    if report or (log_directory is not None and completed.returncode == MEMCHECK_FAILED):
        raise AssertionError("memcheck: %r\n%s" % (result, report.decode(errors="replace")))
    return result


class Started:
    """A program started in the background, as a user would leave it: its
    standard input a pipe the test writes to, its output going to files (as
    in run_program) that can be read while it runs."""

    def __init__(self, command, cwd):
        self._stdout = tempfile.TemporaryFile()
        self._stderr = tempfile.TemporaryFile()
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=self._stdout,
                                        stderr=self._stderr, cwd=cwd, env=os.environ.copy())

    @staticmethod
    def _content(stream):
        content = os.pread(stream.fileno(), os.fstat(stream.fileno()).st_size, 0)
        return content.replace(b"\r\n", b"\n") if windows() else content

    def output(self):
        """What it has written so far: (stdout, stderr)."""
        return self._content(self._stdout), self._content(self._stderr)

    def wait_for_stdout(self, expected, timeout=None):
        """Waits until standard output holds `expected`, a prefix of it or
        all of it."""
        deadline = time.monotonic() + (timeout or (300 if windows() else 30))
        while not self.output()[0].startswith(expected):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise AssertionError("waited in vain for %r: status %r, output %r" % (
                    expected, self.process.poll(), self.output()))
            time.sleep(0.005)

    def send(self, data):
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def finish(self, timeout=None):
        """Closes standard input and waits for the end: the Run."""
        self.process.stdin.close()
        status = self.process.wait(timeout or (300 if windows() else 30))
        return Run(status, *self.output())

    def kill(self):
        """SIGKILL, nothing the program could clean up after; true when it
        was still running."""
        running = self.process.poll() is None
        self.process.kill()
        self.process.wait()
        return running

    def close(self):
        if self.process.poll() is None:
            self.kill()
        self.process.stdin.close()
        self._stdout.close()
        self._stderr.close()


def file_content(name, tag):
    # Bytes a text-mode copy would mangle: line ends, NUL, high bytes.
    return b"%s of %s\r\n\x00\xff\x1a\n" % (encode(name), encode(tag))


# Install.ini naming the distribution's own VSN and SYSTEM_VSN.
DEFAULT = object()


class Distribution:
    """An unpacked distribution: Install.ini, vrun-VSN/bin with the launchers,
    releases/SYSTEM_VSN with the boot scripts, under a fresh temporary folder.

    `description` replaces the text of Install.ini (bytes; None writes no
    file at all); `vsn` and `system_vsn` still name the directories laid out.
    `root_name` is the root's own name inside the temporary folder, as a path
    relative to it (it may hold several levels)."""

    def __init__(self, test, vsn="1.2", system_vsn="R1", description=DEFAULT,
                 root_name="dist", launchers=LAUNCHERS, boot_scripts=BOOT_SCRIPTS):
        self.test = test
        self._temporary = tempfile.TemporaryDirectory(prefix="install-e2e-")
        test.addCleanup(self._temporary.cleanup)
        top = os.path.realpath(self._temporary.name)
        self.top = top
        # Runs start here, away from the root, so nothing can pass by
        # resolving relative paths against the working directory.
        self.elsewhere = os.path.join(top, "elsewhere")
        os.mkdir(self.elsewhere)
        self.root = os.path.join(top, root_name)
        os.makedirs(self.root)
        self.vsn = vsn
        self.system_vsn = system_vsn
        self._contents = {}  # name -> bytes for files given other contents
        host_vsn = vsn.replace("\\", "/") if windows() else vsn
        host_system_vsn = system_vsn.replace("\\", "/") if windows() else system_vsn
        self.runtime_bin = os.path.join(self.root, "vrun-" + host_vsn, "bin")
        self.release_dir = os.path.join(self.root, "releases", host_system_vsn)
        os.makedirs(self.runtime_bin)
        os.makedirs(self.release_dir)
        for name in launchers:
            self.write(os.path.join(self.runtime_bin, name), self.launcher(name))
        for name in boot_scripts:
            self.write(os.path.join(self.release_dir, name), self.boot_script(name))
        if description is DEFAULT:
            description = b"[Install]\nVSN=%s\nSYSTEM_VSN=%s\n" % (encode(vsn), encode(system_vsn))
        if description is not None:
            self.write(self.path("Install.ini"), description)

    # --- paths -------------------------------------------------------------

    def path(self, *parts):
        """A path under the root, on this machine."""
        return os.path.join(self.root, *parts)

    @property
    def bin(self):
        return self.path("bin")

    def bin_file(self, name):
        return os.path.join(self.bin, name)

    def installer_root(self):
        """The root as written on the installer's command line."""
        return as_installer_path(self.root)

    def seen(self, *parts):
        """A path as the installer composes it: the root and `parts` joined
        with its separator, parts taken verbatim."""
        return sep().join([self.installer_root()] + list(parts))

    def seen_runtime_bin(self):
        return self.seen("vrun-" + self.vsn, "bin")

    def seen_description(self):
        return self.seen("Install.ini")

    # --- contents ----------------------------------------------------------

    def launcher(self, name):
        if name in self._contents:
            return self._contents[name]
        return file_content(name, "vrun-" + self.vsn)

    def boot_script(self, name):
        if name in self._contents:
            return self._contents[name]
        return file_content(name, "releases " + self.system_vsn)

    def set_launcher(self, name, content):
        """Gives a launcher other bytes (a larger file, a newer build); what
        the tests expect follows."""
        self._contents[name] = content
        self.write(os.path.join(self.runtime_bin, name), content)

    def set_boot_script(self, name, content):
        self._contents[name] = content
        self.write(os.path.join(self.release_dir, name), content)

    @staticmethod
    def write(host_path, content):
        with open(host_path, "wb") as stream:
            stream.write(content)

    @staticmethod
    def read(host_path):
        with open(host_path, "rb") as stream:
            return stream.read()

    def expected_vnt_ini(self):
        return b"[vantra]\nBindir=%s\nProgname=vnt\nRootdir=%s\n" % (
            ini_escape(self.seen_runtime_bin()), ini_escape(self.installer_root()))

    def copy_installer_into_root(self):
        target = self.path(os.path.basename(INSTALLER))
        shutil.copy2(INSTALLER, target)
        return target

    def input_file(self, content):
        """An open file holding `content`, outside the root, to stand in for
        standard input: its offset after a run shows whether it was read."""
        path = os.path.join(self.top, "input")
        self.write(path, content)
        return open(path, "rb")

    # --- running -------------------------------------------------------------

    def _own_files(self):
        """Everything under the root that is not the installer's to write:
        path -> bytes for a file, None for a directory, ("link", target) for
        a symbolic link."""
        excluded_file = os.path.normpath(os.path.join(self.runtime_bin, "vnt.ini"))
        found = {}
        for directory, subdirectories, files in os.walk(self.root):
            if directory == self.root and "bin" in subdirectories:
                subdirectories.remove("bin")
            for name in subdirectories:
                found[os.path.join(directory, name)] = None
            for name in files:
                full = os.path.join(directory, name)
                if os.path.islink(full):
                    found[full] = ("link", os.readlink(full))
                elif os.path.normpath(full) != excluded_file:
                    found[full] = self.read(full)
        return found

    def _check_untouched(self, before, what):
        self.test.assertEqual(self._own_files(), before,
                              "the distribution's own files changed: %s" % what)
        self.test.assertEqual(os.listdir(self.elsewhere), [],
                              "files appeared in the working directory: %s" % what)

    def run(self, args, stdin=b"", program=None, prefix=(), preexec_fn=None):
        """Runs the installer, then checks that the distribution's own files
        and the working directory are as they were."""
        before = self._own_files()
        result = run_program(program or INSTALLER, args, stdin=stdin, cwd=self.elsewhere,
                             prefix=prefix, preexec_fn=preexec_fn)
        self._check_untouched(before, repr(result))
        return result

    def install(self, *extra, stdin=b"", program=None, prefix=(), preexec_fn=None):
        """The installer with this root and the `extra` arguments after it."""
        return self.run([self.installer_root()] + list(extra), stdin=stdin, program=program,
                        prefix=prefix, preexec_fn=preexec_fn)

    @contextlib.contextmanager
    def started(self, *extra):
        """The installer with this root and `extra`, running in the
        background for the length of the block (a Started); whatever became
        of it, the distribution's own files are checked afterwards. Never
        under memcheck: what is timed or killed here is the installer itself."""
        before = self._own_files()
        started = Started(command_line(INSTALLER, [self.installer_root()] + list(extra)),
                          cwd=self.elsewhere)
        try:
            yield started
        finally:
            started.close()
        self._check_untouched(before, "a run in the background")

    def hand_to_nobody(self):
        """Makes the user nobody the owner of the whole tree, lets it in, and
        returns a copy of the installer that it can run, or None when it
        cannot reach the temporary folder at all. The build's own copy may
        lie where nobody cannot go: a checkout under /root (mode 0700)."""
        os.chmod(os.path.dirname(self.root), 0o755)
        for directory, subdirectories, files in os.walk(self.root):
            for name in [directory] + [os.path.join(directory, n) for n in subdirectories + files]:
                os.chown(name, 65534, 65534, follow_symlinks=False)
        program = os.path.join(self.top, os.path.basename(INSTALLER))
        shutil.copy2(INSTALLER, program)
        reachable = subprocess.run(AS_NOBODY + ["test", "-x", program]).returncode == 0
        return program if reachable else None


class InstallerTest(unittest.TestCase):
    """Assertions shared by the test modules."""

    maxDiff = None

    def distribution(self, **options):
        return Distribution(self, **options)

    def assert_output(self, result, status, stdout=b"", stderr=b""):
        self.assertEqual((result.status, result.stdout, result.stderr), (status, stdout, stderr))

    def assert_nothing_created(self, dist):
        self.assertFalse(os.path.lexists(dist.bin), "bin was created")
        self.assertFalse(os.path.lexists(os.path.join(dist.runtime_bin, "vnt.ini")),
                         "vnt.ini was written")

    def assert_bin_holds(self, dist, expected):
        """bin holds exactly `expected` (name -> bytes)."""
        found = {name: dist.read(dist.bin_file(name)) for name in os.listdir(dist.bin)
                 if os.path.isfile(dist.bin_file(name))}
        self.assertEqual(found, expected)

    def placed(self, dist, launchers=LAUNCHERS, boot_scripts=BOOT_SCRIPTS):
        """name -> bytes of the copies placed in bin (no start.boot, no vnt.ini)."""
        expected = {name: dist.launcher(name) for name in launchers}
        expected.update({name: dist.boot_script(name) for name in boot_scripts})
        return expected

    def assert_installed(self, dist, minimal):
        """A complete installation: every copy, the chosen start.boot and the
        two identical vnt.ini files."""
        expected = self.placed(dist)
        expected["start.boot"] = dist.boot_script(MINIMAL_BOOT if minimal else FULL_BOOT)
        expected["vnt.ini"] = dist.expected_vnt_ini()
        self.assert_bin_holds(dist, expected)
        self.assertEqual(dist.read(os.path.join(dist.runtime_bin, "vnt.ini")),
                         dist.expected_vnt_ini())
