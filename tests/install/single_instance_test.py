#!/usr/bin/python3
"""One copy per user session: a second start with the same runtime folder brings the first copy
to the front and ends; a socket left by a copy that died does not stop the next start.

The first copy runs in a network namespace of its own, so its call ports never meet the
machine's. Needs root (unshare -n); skips (77) without it.
"""
import argparse
import os
import shutil
import signal
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from program_runs import STARTED, Checks, Run  # noqa: E402


def isolated(exe):
    return ["unshare", "-n", "sh", "-c", "ip link set lo up && exec '%s' --test-camera" % exe]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    exe = os.path.abspath(ap.parse_args().binary)
    if os.geteuid() != 0 or not shutil.which("unshare") or not shutil.which("ip"):
        print("SKIP: needs root, unshare and ip for a network namespace")
        return 77
    failures = check = Checks()

    root = tempfile.mkdtemp(prefix="parlavue-session-")
    runs = []
    try:
        first = Run(isolated(exe), root, "first")
        runs.append(first)
        check(first.wait_for(STARTED), "the first copy starts")
        t0 = time.monotonic()
        second = Run(isolated(exe), root, "second")
        runs.append(second)
        try:
            rc = second.proc.wait(timeout=15)
        except Exception:
            rc = None
        took = time.monotonic() - t0
        check(rc == 0, "a second start in the same session ends at once, status 0 (%s, %.2f s)"
              % (rc, took))
        check("another copy runs in this session" in second.text(),
              "and says it brought the running copy to the front")
        check(STARTED not in second.text(), "without starting a second window")
        check(first.wait_for("a second start asked this copy to come to the front", 5),
              "the running copy was asked to come to the front")
        check(first.proc.poll() is None, "and goes on running")
        # A copy that dies leaves its socket behind; the next start must not be stopped by it.
        first.end(signal.SIGKILL)
        third = Run(isolated(exe), root, "third")
        runs.append(third)
        check(third.wait_for(STARTED), "after a copy died the next start runs")
        check(third.end() == 0, "and ends cleanly")
        if failures:
            for r in runs:
                print("---", r.log_path)
                print(r.text()[-1500:])
    finally:
        for r in runs:
            r.end(signal.SIGKILL, 5)
        shutil.rmtree(root, ignore_errors=True)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
