#!/usr/bin/python3
"""The program's command line, run as a user runs it, without any window system."""
import argparse
import os
import subprocess
import sys


def run(binary, *args):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    return subprocess.run([binary, *args], env=env, capture_output=True, text=True, timeout=20)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    binary = ap.parse_args().binary
    failures = []

    def check(ok, what):
        print(("PASS " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)

    v = run(binary, "--version")
    check(v.returncode == 0 and v.stdout.startswith("parlavue ") and not v.stderr,
          "--version prints the version and exits 0 (%d, %r)" % (v.returncode, v.stdout))
    h = run(binary, "--help")
    check(h.returncode == 0 and "--test-camera" in h.stdout and "Usage: parlavue" in h.stdout,
          "--help describes the options on standard output")
    u = run(binary, "--no-such-option")
    check(u.returncode == 2, "an unknown option exits with status 2 (%d)" % u.returncode)
    check("Unknown option 'no-such-option'" in u.stderr and "Usage: parlavue" in u.stderr
          and not u.stdout, "and prints the usage to standard error")
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
