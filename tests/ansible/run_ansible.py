#!/usr/bin/env python3
"""The Ansible collection's suite: builds and installs the collection, then
runs play.yml against a dozen hosts (each a folder of its own, reached with
ansible_connection=local) with several forks, and checks every byte.

    run_ansible.py --command build/native/command/inifile [--work DIR]

- the real run makes exactly the edits asked for, every other byte kept
  (the anchor module's known bugs, each reduced to a file, among them);
- a second run of the same play changes nothing;
- a run with --check writes nothing, and its diff is the real run's;
- parallel runs against one file lose no update.
Prints "skipped: ..." and exits 0 where ansible-core is missing.
"""
import argparse
import concurrent.futures
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SAMPLES = os.path.join(ROOT, "tests", "command", "samples")
HOSTS = 12
FORKS = 6
COMMAND = None
WORK = None


def sample(name):
    with open(os.path.join(SAMPLES, name), "rb") as stream:
        return stream.read()


# Each host's files before the play, and what the play makes of them.
UNIT = (b"[Unit]\nDescription=App\nAfter=network.target\n# ordering\nAfter=remote-fs.target\n\n"
        b"[Service]\nExecStart=/usr/bin/app\n")
FILES = {
    "app.service": (UNIT, UNIT.replace(b"After=network.target\n# ordering\nAfter=remote-fs.target\n",
                                       b"After=network-online.target\nAfter=postgresql.service\n"
                                       b"# ordering\n")
                    .replace(b"ExecStart=/usr/bin/app\n", b"ExecStart=/usr/bin/app\nNice=5\n")),
    "php.ini": (sample("php.ini"),
                sample("php.ini").replace(b";date.timezone =", b"date.timezone = Europe/Berlin")
                .replace(b"[Session]\nsession.save_handler = files\n", b"")),
    "app.desktop": (sample("vim.desktop"),
                    sample("vim.desktop").replace(b"TextEditor;\n", b"TextEditor;Development;\n")
                    .replace(b"MimeType=text/plain;\n", b"")),
    "comments.ini": (b"# Settings\n[main]\n# timeout = 10 is the default\ntimeout = 10\n"
                     b"; retries below\nretries = 3\n",
                     b"# Settings\n[main]\n# timeout = 10 is the default\ntimeout = 30\n"
                     b"; retries below\nretries = 3\n"),
    "order.ini": (b"[main]\na=1\nb=2\nc=3\n", b"[main]\na=1\nb=22\nc=3\n"),
    "indented.ini": (b"[global]\n   workgroup = WORKGROUP\n   server string = x\n",
                     b"[global]\n   workgroup = HOME\n   server string = x\n"),
    "multiline.cfg": (b"[options]\ninstall_requires =\n    numpy\n    scipy\npython_requires = >=3.8\n",
                      b"[options]\ninstall_requires = requests\npython_requires = >=3.8\n"),
    "below.ini": (b"[main]\nfirst=0\nsecond=2\nthird=3\n", b"[main]\nfirst=1\nsecond=2\nthird=3\n"),
}


def environment():
    return dict(os.environ, ANSIBLE_COLLECTIONS_PATH=os.path.join(WORK, "collections"),
                ANSIBLE_STDOUT_CALLBACK="json", ANSIBLE_HOST_KEY_CHECKING="False",
                ANSIBLE_LOCAL_TEMP=os.path.join(WORK, "tmp"), ANSIBLE_NOCOLOR="1",
                ANSIBLE_RETRY_FILES_ENABLED="False")


def prepare(name):
    """A fresh set of host folders under WORK/name, and its inventory."""
    top = os.path.join(WORK, name)
    shutil.rmtree(top, ignore_errors=True)
    lines = ["[all]"]
    for host in range(HOSTS):
        folder = os.path.join(top, "host%02d" % host)
        os.makedirs(folder)
        for file, (before, _) in FILES.items():
            with open(os.path.join(folder, file), "wb") as stream:
                stream.write(before)
        lines.append("host%02d ansible_connection=local host_dir=%s "
                     "ansible_python_interpreter=%s" % (host, folder, sys.executable))
    inventory = os.path.join(top, "inventory.ini")
    with open(inventory, "w") as stream:
        stream.write("\n".join(lines) + "\n")
    return top, inventory


def play(inventory, *options):
    """The json callback's account of a run of play.yml."""
    run = subprocess.run(["ansible-playbook", "-i", inventory, "--forks", str(FORKS),
                          "-e", "inifile_executable=" + COMMAND, *options,
                          os.path.join(HERE, "play.yml")],
                         env=environment(), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                         timeout=900)
    if run.returncode != 0:
        raise AssertionError("ansible-playbook failed (%d): %s %s" % (
            run.returncode, run.stdout.decode()[-3000:], run.stderr.decode()[-2000:]))
    return json.loads(run.stdout)


def folder_bytes(top):
    found = {}
    for host in sorted(os.listdir(top)):
        folder = os.path.join(top, host)
        if os.path.isdir(folder):
            for file in sorted(os.listdir(folder)):
                with open(os.path.join(folder, file), "rb") as stream:
                    found[(host, file)] = stream.read()
    return found


def diffs(report):
    """{(task, host): (changed, the lines its diff takes away and puts in)} of
    a run. The context lines are left out: in a check, the tasks before did
    not write what they would have."""
    found = {}
    for task in report["plays"][0]["tasks"]:
        for host, result in task["hosts"].items():
            diff = result.get("diff")
            prepared = diff.get("prepared", "") if isinstance(diff, dict) else ""
            changes = [line for line in prepared.split("\n")
                       if line[:1] in "+-" and line[:3] not in ("+++", "---")]
            found[(task["task"]["name"], host)] = (result.get("changed"), changes)
    return found


class CollectionTest(unittest.TestCase):
    maxDiff = None

    def test_play_edits_every_host_exactly_and_twice_changes_nothing(self):
        top, inventory = prepare("real")
        report = play(inventory)
        for (host, file), content in folder_bytes(top).items():
            with self.subTest(host=host, file=file):
                self.assertEqual(content, FILES[file][1])
        self.assertEqual({stats["changed"] for stats in report["stats"].values()},
                         {len(play_tasks())})
        again = play(inventory)
        self.assertEqual({stats["changed"] for stats in again["stats"].values()}, {0})

    def test_check_mode_writes_nothing_and_shows_the_real_diff(self):
        top, inventory = prepare("check")
        before = folder_bytes(top)
        checked = diffs(play(inventory, "--check", "--diff"))
        self.assertEqual(folder_bytes(top), before)
        made = diffs(play(inventory, "--diff"))
        self.assertEqual(checked, made)
        self.assertTrue(all(changed and prepared for changed, prepared in made.values()))

    def test_parallel_runs_lose_no_update(self):
        folder = os.path.join(WORK, "parallel")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        path = os.path.join(folder, "shared.ini")
        with open(path, "wb") as stream:
            stream.write(b"[main]\n")

        def writer(number):
            for key in range(3):
                subprocess.run(["ansible", "localhost", "-c", "local", "-m", "vantra.inifile.ini",
                                "-a", "path=%s section=main option=k%d_%d value=v executable=%s" %
                                (path, number, key, COMMAND)],
                               env=dict(environment(), ANSIBLE_STDOUT_CALLBACK="minimal"),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                               timeout=300)

        with concurrent.futures.ThreadPoolExecutor(4) as pool:
            list(pool.map(writer, range(4)))
        with open(path, "rb") as stream:
            written = stream.read()
        self.assertEqual(sorted(written.split(b"\n")[1:-1]),
                         sorted(b"k%d_%d = v" % (n, k) for n in range(4) for k in range(3)))


def play_tasks():
    with open(os.path.join(HERE, "play.yml")) as stream:
        return [line for line in stream if line.strip().startswith("- name:")][1:]


def main():
    global COMMAND, WORK
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--command", required=True, help="the inifile executable")
    parser.add_argument("--work", help="a scratch folder (a fresh temporary one by default)")
    options, remaining = parser.parse_known_args()
    COMMAND = os.path.abspath(options.command)
    missing = [tool for tool in ("ansible-playbook", "ansible-galaxy", "ansible")
               if shutil.which(tool) is None]
    if missing:
        print("skipped: the collection's suite needs ansible-core (%s missing)" %
              ", ".join(missing))
        return 0
    WORK = options.work or tempfile.mkdtemp(prefix="inifile-ansible-")
    os.makedirs(os.path.join(WORK, "tmp"), exist_ok=True)
    built = subprocess.run(["ansible-galaxy", "collection", "build", "--force",
                            "--output-path", WORK, os.path.join(ROOT, "ansible")],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    archive = os.path.join(WORK, "vantra-inifile-1.0.0.tar.gz")
    installed = subprocess.run(["ansible-galaxy", "collection", "install", "--force", "-p",
                                os.path.join(WORK, "collections"), archive],
                               env=environment(), stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if built.returncode != 0 or installed.returncode != 0:
        print(built.stdout.decode(), installed.stdout.decode())
        return 1
    documented = subprocess.run(["ansible-doc", "vantra.inifile.ini"], env=environment(),
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if documented.returncode != 0 or b"EXAMPLES" not in documented.stdout:
        print(documented.stdout.decode())
        return 1
    result = unittest.main(argv=[sys.argv[0]] + remaining, exit=False).result
    if not options.work:
        shutil.rmtree(WORK, ignore_errors=True)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
