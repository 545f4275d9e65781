#!/usr/bin/python
# SPDX-License-Identifier: MIT
# Runs tessaline-cli apply on the host, with the host's own state file, and
# hands its JSON report back to Ansible.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: tessaline_apply
short_description: Make a till's receipt printers hold the logos a manifest names
version_added: "1.0.0"
description:
  - Runs C(tessaline-cli apply) on the host against a fleet manifest. Every printer the
    manifest names is asked what it holds, and only what differs is written to its NV memory.
  - The state file (what each printer was last made to hold, and its NV writes today) is the
    host's own. It is never copied from the controller; give it a place outside the folder the
    manifest is copied into.
  - In check mode the printers are asked and the plan is returned (C(apply --plan)); nothing is
    written, not even the state. With C(--diff), the keys each printer would have stored or
    deleted.
  - The task fails when a printer failed or was refused, naming each one; the other printers were
    still done and their results are returned.
options:
  manifest:
    description: The manifest's path on the host (TOML, see C(man tessaline-cli)).
    type: path
    required: true
  state:
    description:
      - The host's state file. By default C(MANIFEST.state.json) beside the manifest.
    type: path
  cli:
    description: The tool on the host, a name looked up on the PATH or a path.
    type: str
    default: tessaline-cli
  max_writes:
    description: NV writes a printer may take a day; a printer that would pass it is not written.
    type: int
  jobs:
    description: Printers worked on at once.
    type: int
  only:
    description: Only the printers whose name or address matches one of these shell patterns.
    type: list
    elements: str
  failed_only:
    description: Only the printers that failed or were refused in the last run the state records.
    type: bool
    default: false
  report:
    description: Also write a report on the host, CSV or JSON by the file's extension.
    type: path
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
author:
  - Tessaline developers
"""

EXAMPLES = r"""
- name: Make the printers hold their logos
  tessaline.fleet.tessaline_apply:
    manifest: /var/lib/tessaline/fleet/fleet.toml
    state: /var/lib/tessaline/fleet.state.json
    max_writes: 10

- name: Retry only the printers that failed last time
  tessaline.fleet.tessaline_apply:
    manifest: /var/lib/tessaline/fleet/fleet.toml
    state: /var/lib/tessaline/fleet.state.json
    failed_only: true
"""

RETURN = r"""
changed:
  description: Some printer was written, or in check mode would be.
  returned: always
  type: bool
plan:
  description: True in check mode; nothing was written.
  returned: success or when printers failed
  type: bool
nv_writes:
  description: NV writes this run sent, over all printers.
  returned: success or when printers failed
  type: int
printers:
  description:
    - One result per printer, as C(tessaline-cli apply --json) gives it (see
      docs/apply-report.schema.json, version 1).
  returned: success or when printers failed
  type: list
  elements: dict
  sample:
    - name: Till 1
      address: socket://127.0.0.1:9100
      serial: TILL
      result: stored
      stored: ["A1"]
      nv_writes: 1
      line: stored A1 (1 NV write, 0.1 s)
failed_printers:
  description: The names of the printers that failed or were refused.
  returned: success or when printers failed
  type: list
  elements: str
ansible_facts:
  description: The same results as facts, so later tasks and hosts can read them.
  returned: success or when printers failed
  type: dict
  contains:
    tessaline_printers:
      description: The per-printer results.
      type: list
      elements: dict
"""

import json
import os

from ansible.module_utils.basic import AnsibleModule

REPORT_VERSION = 1
FAILED = ("failed", "refused")


def command_line(module, cli):
    params = module.params
    argv = [cli, "apply", params["manifest"], "--json"]
    if params["state"]:
        argv += ["--state", params["state"]]
    if params["max_writes"] is not None:
        argv += ["--max-writes", str(params["max_writes"])]
    if params["jobs"] is not None:
        argv += ["--jobs", str(params["jobs"])]
    for pattern in params["only"] or []:
        argv += ["--only", pattern]
    if params["failed_only"]:
        argv.append("--failed")
    if params["report"]:
        argv += ["--report", params["report"]]
    if module.check_mode:
        argv.append("--plan")
    return argv


def diff_of(report):
    """Each printer that would change (or failed), with what it would store or delete."""
    lines = ["%s: %s" % (p["name"], p["line"]) for p in report["printers"]
             if p.get("planned") or p.get("stored") or p.get("deleted") or p["result"] in FAILED]
    return {"prepared": "\n".join(lines) + ("\n" if lines else "")}


def main():
    module = AnsibleModule(
        argument_spec=dict(
            manifest=dict(type="path", required=True),
            state=dict(type="path"),
            cli=dict(type="str", default="tessaline-cli"),
            max_writes=dict(type="int"),
            jobs=dict(type="int"),
            only=dict(type="list", elements="str"),
            failed_only=dict(type="bool", default=False),
            report=dict(type="path"),
        ),
        supports_check_mode=True,
    )
    params = module.params
    if not os.path.isfile(params["manifest"]):
        module.fail_json(msg="%s: no such manifest on this host" % params["manifest"])

    cli = params["cli"]
    if os.sep not in cli:
        found = module.get_bin_path(cli)
        if not found:
            module.fail_json(msg="%s is not installed on this host (the tessaline package)" % cli)
        cli = found

    argv = command_line(module, cli)
    rc, out, err = module.run_command(argv)
    err = err.strip()
    # 0: every printer matches the manifest; 3: some printer failed or was
    # refused (or the report could not be written), the others were done;
    # anything else: nothing was done (a wrong manifest or state file).
    if rc not in (0, 3):
        module.fail_json(msg=err or "tessaline-cli apply exited with %d" % rc, rc=rc,
                         cmd=argv, stdout=out, stderr=err, changed=False)
    try:
        report = json.loads(out)
    except ValueError:
        module.fail_json(msg="tessaline-cli apply did not write its JSON report: %s" % (err or out),
                         rc=rc, cmd=argv, stdout=out, stderr=err, changed=False)
    if report.get("version") != REPORT_VERSION:
        module.fail_json(msg="tessaline-cli apply wrote report version %s; this module reads %d"
                         % (report.get("version"), REPORT_VERSION), rc=rc, cmd=argv,
                         changed=False)

    printers = report["printers"]
    failed = [p for p in printers if p["result"] in FAILED]
    result = dict(
        changed=bool(report["changed"]),
        plan=bool(report["plan"]),
        nv_writes=report["nv_writes"],
        printers=printers,
        failed_printers=[p["name"] for p in failed],
        ansible_facts=dict(tessaline_printers=printers),
        rc=rc,
        cmd=argv,
        stderr=err,
    )
    if module._diff:
        result["diff"] = diff_of(report)
    if failed:
        result["msg"] = "%d of %d printers failed or were refused: %s" % (
            len(failed), len(printers),
            "; ".join("%s (%s)" % (p["name"], p["reason"] or p["line"]) for p in failed))
        module.fail_json(**result)
    if rc != 0:
        result["msg"] = err or "tessaline-cli apply exited with %d" % rc
        module.fail_json(**result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
