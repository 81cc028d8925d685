#!/usr/bin/env python3
"""vantra.inifile.ini beside community.general.ini_file (Debian's `ansible`
package ships it), in one run: the collection suite's play
(tests/ansible/play.yml) with each module on one host, and for each file
whether it holds exactly the edit asked for, every other byte kept; then
the time of a play of 100 tasks (100 keys set in one file) against one
host with each.

    bench/ansible_vs_ini_file.py [INIFILE]   (default: the native build's command)
"""
import importlib.util
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
TASKS = 100


def load_suite():
    found = importlib.util.spec_from_file_location(
        "run_ansible", os.path.join(ROOT, "tests", "ansible", "run_ansible.py"))
    suite = importlib.util.module_from_spec(found)
    found.loader.exec_module(suite)
    return suite


def play_for(module, play_text):
    """The suite's play with `module` in place of the collection's."""
    if module == "vantra.inifile.ini":
        return play_text
    lines = [line for line in play_text.split("\n") if "executable:" not in line]
    return "\n".join(lines).replace("vantra.inifile.ini", module)


def run_play(suite, work, play_path, host_dir, extra=()):
    inventory = os.path.join(work, "inventory.ini")
    with open(inventory, "w") as stream:
        stream.write("[all]\nhost ansible_connection=local host_dir=%s "
                     "ansible_python_interpreter=%s\n" % (host_dir, sys.executable))
    started = time.monotonic()
    run = subprocess.run(["ansible-playbook", "-i", inventory, "-e",
                          "inifile_executable=" + suite.COMMAND, *extra, play_path],
                         env=suite.environment(), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return time.monotonic() - started, run.returncode


def main():
    suite = load_suite()
    suite.COMMAND = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                                    os.path.join(ROOT, "build", "native", "command", "inifile"))
    suite.WORK = tempfile.mkdtemp(prefix="inifile-ansible-bench-")
    os.makedirs(os.path.join(suite.WORK, "tmp"))
    subprocess.run(["ansible-galaxy", "collection", "build", "--force", "--output-path",
                    suite.WORK, os.path.join(ROOT, "ansible")], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["ansible-galaxy", "collection", "install", "--force", "-p",
                    os.path.join(suite.WORK, "collections"),
                    os.path.join(suite.WORK, "vantra-inifile-1.0.0.tar.gz")],
                   env=suite.environment(), check=True, stdout=subprocess.DEVNULL)
    # community.general comes from Debian's ansible package, beside ours.
    env_path = suite.environment()["ANSIBLE_COLLECTIONS_PATH"]
    os.environ["ANSIBLE_COLLECTIONS_PATH"] = env_path + ":/usr/lib/python3/dist-packages"
    with open(os.path.join(ROOT, "tests", "ansible", "play.yml")) as stream:
        play_text = stream.read()
    modules = ["vantra.inifile.ini", "community.general.ini_file"]
    print("%-16s %-28s %-28s" % ("file", *modules))
    kept = {module: {} for module in modules}
    for module in modules:
        folder = os.path.join(suite.WORK, module)
        os.makedirs(folder)
        for name, (before, _) in suite.FILES.items():
            with open(os.path.join(folder, name), "wb") as stream:
                stream.write(before)
        play_path = os.path.join(suite.WORK, module + ".yml")
        with open(play_path, "w") as stream:
            stream.write(play_for(module, play_text))
        _, status = run_play(suite, suite.WORK, play_path, folder)
        for name, (_, expected) in suite.FILES.items():
            with open(os.path.join(folder, name), "rb") as stream:
                kept[module][name] = stream.read() == expected
    for name in suite.FILES:
        print("%-16s %-28s %-28s" % (name, *("kept" if kept[m][name] else "changed other bytes"
                                             for m in modules)))
    for module in modules:
        folder = os.path.join(suite.WORK, module + "-timed")
        os.makedirs(folder)
        with open(os.path.join(folder, "app.ini"), "wb") as stream:
            stream.write(b"[main]\n")
        tasks = "".join(
            "    - %s:\n        path: \"{{ host_dir }}/app.ini\"\n        section: main\n"
            "        option: key%d\n        value: \"%d\"\n%s" %
            (module, i, i, "        executable: \"{{ inifile_executable }}\"\n"
             if module == "vantra.inifile.ini" else "") for i in range(TASKS))
        play_path = os.path.join(suite.WORK, module + "-timed.yml")
        with open(play_path, "w") as stream:
            stream.write("- hosts: all\n  gather_facts: false\n  tasks:\n" + tasks)
        seconds, status = run_play(suite, suite.WORK, play_path, folder)
        print("%s: a play of %d tasks against one host: %.1f s (status %d)" % (
            module, TASKS, seconds, status))


if __name__ == "__main__":
    main()
