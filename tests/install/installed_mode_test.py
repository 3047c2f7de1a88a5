#!/usr/bin/python3
"""An installed copy: its executable's folder cannot be written (a read-only bind mount in a
mount namespace of the test's own), so it keeps its files in the per-user config folder and
leaves that folder untouched. A copy in a writable folder still keeps them beside itself.

Needs root (unshare -m, mount); skips (77) without it.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from program_runs import STARTED, Checks, Run  # noqa: E402


def run_and_end(exe, root, read_only):
    folder = os.path.dirname(exe)
    if read_only:
        script = ("mount --bind '{0}' '{0}' && mount -o remount,bind,ro '{0}' && "
                  "exec '{1}' --test-camera").format(folder, exe)
        cmd = ["unshare", "-m", "--propagation", "private", "sh", "-c", script]
    else:
        cmd = [exe, "--test-camera"]
    run = Run(cmd, root, "stderr")
    started = run.wait_for(STARTED)
    rc = run.end()
    return started, rc, run.text()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    binary = ap.parse_args().binary
    if os.geteuid() != 0 or not shutil.which("unshare"):
        print("SKIP: needs root and unshare for a read-only mount")
        return 77
    failures = check = Checks()

    root = tempfile.mkdtemp(prefix="parlavue-installed-")
    try:
        for read_only in (True, False):
            case = os.path.join(root, "ro" if read_only else "rw")
            program = os.path.join(case, "program")
            os.makedirs(program)
            exe = os.path.join(program, "parlavue")
            shutil.copy2(binary, exe)
            before = sorted(os.listdir(program))
            started, rc, text = run_and_end(exe, case, read_only)
            check(started, "the copy starts (%s folder)" % ("read-only" if read_only else
                                                           "writable"))
            check(rc == 0, "a termination signal ends it as closing the window does (rc %s)" % rc)
            config = os.path.join(case, "home", ".config", "parlavue")
            kept = sorted(os.listdir(config)) if os.path.isdir(config) else []
            after = sorted(os.listdir(program))
            if read_only:
                check(after == before, "the executable's folder is untouched: %s" % after)
                for name in ("Settings.ini", "FilesReceived.lst"):
                    check(name in kept, "%s is written in the config folder (%s)" % (name, kept))
            else:
                for name in ("Settings.ini", "FilesReceived.lst"):
                    check(name in after, "%s is written beside a writable copy (%s)" % (name,
                                                                                       after))
                check(not any(n in kept for n in ("Settings.ini", "FilesReceived.lst")),
                      "and not in the config folder (%s)" % kept)
            if failures:
                print(text[-3000:])
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
