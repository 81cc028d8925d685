#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 the Vantra installer authors
# MIT License (see LICENSE in the project's repository)
"""Edits an INI file on the managed host through the inifile command."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: ini
short_description: Set, add or remove entries of INI files, keeping every other byte
version_added: 1.0.0
description:
  - Manages entries of INI-style files on the managed host through the C(inifile) command,
    which must be installed there (the Debian package C(inifile)).
  - Takes the parameters of M(community.general.ini_file) with the same meaning, so a task
    changes only the module's name.
  - Every byte the task does not ask to change stays as it was, comments that start like the
    option, indented keys, multi-line values and the options below the edited one included;
    new lines take the style of the entries around them.
  - Files are read as their own readers read them (Python's configparser, systemd, PHP), where the
    last of a repeated option wins and sections of one name read as one.
  - Edits of one file wait for each other and replace it whole or not at all, keeping its
    owner, group, mode, ACLs and attributes, so parallel plays against one host lose no update.
options:
  path:
    description: The INI file to edit.
    type: path
    required: true
    aliases: [dest]
  section:
    description:
      - The section. C(null) (omitted) means the options before the first header.
    type: str
  option:
    description:
      - The option (key). Omitted, O(state=present) adds the section and O(state=absent)
        removes it.
    type: str
    aliases: [key]
  value:
    description: The value of O(option). Omitted with O(state=present), the option gets an
      empty value.
    type: str
  values:
    description:
      - The values of a repeated O(option), one line each, in order.
      - With O(exclusive=true) the option holds exactly these values; with O(exclusive=false)
        the ones it lacks are added.
      - With O(state=absent), the lines holding these values are removed.
    type: list
    elements: str
  exclusive:
    description: Whether the option holds only the values given (present), or whether only
      the lines of the values given are removed (absent).
    type: bool
    default: true
  state:
    description: Whether the option (or the section) is there or not.
    type: str
    choices: [absent, present]
    default: present
  create:
    description: Whether a missing file is created. With C(false) it is a failure.
    type: bool
    default: true
  backup:
    description: Whether a copy of the file, with a timestamp in its name, is kept before it
      changes.
    type: bool
    default: false
  allow_no_value:
    description: Whether a line without C(=) or C(:) is an option without a value (as in
      C(my.cnf)). Setting such an option without a value is not supported.
    type: bool
    default: false
  no_extra_spaces:
    description: Whether new lines are written C(option=value) where the file shows no style of
      its own. Where it does, new lines take the style of the entries around them.
    type: bool
    default: false
  modify_inactive_option:
    description: Whether an absent option takes the place of a line that comments it out in its
      section (C(;date.timezone =)).
    type: bool
    default: true
  follow:
    description: Accepted for compatibility. Through a symbolic link the file it names is
      always edited, and the link stays.
    type: bool
    default: false
  dialect:
    description: The file format. C(common) is what most configuration files are written in;
      C(module) is the format of the inifile project's own files.
    type: str
    choices: [common, module]
    default: common
  ignore_case:
    description: Whether sections and options match without regard to case.
    type: bool
    default: false
  inline_comments:
    description: Whether a C(;) or C(#) after a blank starts a comment (supervisor, PHP, MySQL).
    type: bool
    default: false
  wait:
    description: Seconds an edit waits for another edit of the same file.
    type: int
    default: 10
  executable:
    description: The inifile command, where it is not on the PATH.
    type: path
extends_documentation_fragment:
  - ansible.builtin.files
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
notes:
  - C(--check) writes nothing and reports what would change; C(--diff) shows a unified diff of
    exactly the lines that change.
"""

EXAMPLES = r"""
- name: Set the time zone where php.ini comments it out
  vantra.inifile.ini:
    path: /etc/php/8.2/cli/php.ini
    section: Date
    option: date.timezone
    value: Europe/Berlin

- name: A unit starts after exactly these targets
  vantra.inifile.ini:
    path: /etc/systemd/system/app.service
    section: Unit
    option: After
    values: [network-online.target, postgresql.service]

- name: Keep the socket's mode, with its inline comment
  vantra.inifile.ini:
    path: /etc/supervisor/supervisord.conf
    section: unix_http_server
    option: chmod
    value: "0770"
    inline_comments: true

- name: Remove a section
  vantra.inifile.ini:
    path: /etc/app.ini
    section: old
    state: absent
"""

RETURN = r"""
path:
  description: The file edited.
  returned: always
  type: str
  sample: /etc/php/8.2/cli/php.ini
msg:
  description: What happened.
  returned: always
  type: str
  sample: changed
backup_file:
  description: The copy kept of the file before it changed.
  returned: when O(backup=true) and the file changed
  type: str
"""

import os

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.common.text.converters import to_bytes, to_native


def command_line(module):
    """The inifile command and the options every call of it takes."""
    params = module.params
    executable = params["executable"] or module.get_bin_path("inifile", required=True)
    options = ["--dialect=" + params["dialect"], "--wait=%d" % params["wait"]]
    if params["ignore_case"]:
        options.append("--ignore-case")
    if params["inline_comments"]:
        options.append("--inline-comments")
    if params["allow_no_value"]:
        options.append("--allow-no-value")
    return [executable] + options


def run(module, base, arguments, accept=(0,)):
    """(status, stdout, stderr) of inifile ARGUMENTS; fails the task on trouble."""
    status, out, err = module.run_command(base + arguments, encoding=None)
    if status not in accept:
        module.fail_json(msg=to_native(err).strip() or "inifile exited with %d" % status,
                         rc=status, path=module.params["path"])
    return status, out, err


def current_values(module, base, path, section, option):
    """Every value of `option` in `section`, in file order ([] where there is none)."""
    if not os.path.exists(path):
        return []
    status, out, _ = run(module, base, ["get", "--all", path, section, option], accept=(0, 1))
    if status != 0:
        return []
    return to_native(out).split("\n")[:-1]


def planned_edit(module, base, path, section):
    """The inifile arguments of the edit the task asks for, or None where the
    file is already as asked."""
    params = module.params
    option = params["option"]
    uncomment = ["--uncomment"] if params["modify_inactive_option"] else []
    if params["state"] == "present":
        if option is None:
            return ["set", path, section] if section else None
        if params["values"] is not None:
            wanted = params["values"]
        elif params["value"] is None and params["allow_no_value"]:
            status, _, _ = run(module, base, ["get", path, section, option], accept=(0, 1))
            if status == 0:
                return None
            module.fail_json(msg="setting an option without a value is not supported",
                             path=path)
        else:
            wanted = [params["value"] if params["value"] is not None else ""]
        current = current_values(module, base, path, section, option)
        if not params["exclusive"]:
            wanted = current + [value for value in wanted if value not in current]
        if current == wanted:
            return None
        if not wanted:
            return ["del", path, section, option]
        return ["set", "--all"] + uncomment + [path, section, option] + wanted
    if not os.path.exists(path):
        return None
    if option is None:
        return ["del", path, section]
    given = params["values"] if params["values"] is not None else (
        [params["value"]] if params["value"] is not None else None)
    if given is None:
        return ["del", path, section, option]
    current = current_values(module, base, path, section, option)
    remaining = [value for value in current if value not in given]
    if remaining == current:
        return None
    if remaining:
        return ["set", "--all", path, section, option] + remaining
    return ["del", path, section, option]


def main():
    module = AnsibleModule(
        argument_spec=dict(
            path=dict(type="path", required=True, aliases=["dest"]),
            section=dict(type="str"),
            option=dict(type="str", aliases=["key"]),
            value=dict(type="str"),
            values=dict(type="list", elements="str"),
            exclusive=dict(type="bool", default=True),
            state=dict(type="str", default="present", choices=["absent", "present"]),
            create=dict(type="bool", default=True),
            backup=dict(type="bool", default=False),
            allow_no_value=dict(type="bool", default=False),
            no_extra_spaces=dict(type="bool", default=False),
            modify_inactive_option=dict(type="bool", default=True),
            follow=dict(type="bool", default=False),
            dialect=dict(type="str", default="common", choices=["common", "module"]),
            ignore_case=dict(type="bool", default=False),
            inline_comments=dict(type="bool", default=False),
            wait=dict(type="int", default=10),
            executable=dict(type="path"),
        ),
        mutually_exclusive=[["value", "values"]],
        add_file_common_args=True,
        supports_check_mode=True,
    )
    params = module.params
    path = params["path"]
    section = params["section"] if params["section"] is not None else ""
    if params["state"] == "present" and not params["create"] and not os.path.exists(path):
        module.fail_json(rc=257, msg="Destination %s does not exist!" % path)
    base = command_line(module)
    edit = planned_edit(module, base, path, section)
    result = dict(path=path, changed=False, msg="OK")
    if edit is not None:
        if params["no_extra_spaces"]:
            edit.insert(1, "--no-extra-spaces")
        # Where the file is to be copied first, or nothing written, a dry run
        # tells whether it changes; -v says so, --diff shows how.
        shown = ["-v", "--diff"] if module._diff else ["-v"]
        dry = module.check_mode or params["backup"]
        _, diff, said = run(module, base, shown + (["--dry-run"] if dry else []) + edit,
                            accept=(0, 1))
        result["changed"] = to_bytes(said).rstrip().endswith(b": changed")
        if result["changed"] and module._diff:
            result["diff"] = dict(prepared=to_native(diff))
        if result["changed"] and dry and not module.check_mode:
            if os.path.exists(path):
                result["backup_file"] = module.backup_local(path)
            run(module, base, edit, accept=(0, 1))
        if result["changed"]:
            result["msg"] = "changed"
    if os.path.exists(path):
        file_args = module.load_file_common_arguments(params)
        result["changed"] = module.set_fs_attributes_if_different(file_args, result["changed"])
    module.exit_json(**result)


if __name__ == "__main__":
    main()
