"""An X display of the test's own for the scripted tests: the server picks a free number itself
(-displayfd), so tests that run at the same time never race for one."""

import os
import select
import subprocess
import time


def start_xvfb(screen, timeout=20, **popen_args):
    """Starts Xvfb with one screen of the given "WxHxD" and waits until it takes clients;
    returns the process and its display name (":N")."""
    r, w = os.pipe()
    # -noreset: a server that resets when its last client goes writes its number again, into a
    # pipe nobody reads any more, and dies of it.
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-noreset", "-screen", "0", screen,
                             "-nolisten", "tcp"], pass_fds=(w,), **popen_args)
    os.close(w)
    number = b""
    end = time.monotonic() + timeout
    try:
        while not number.endswith(b"\n") and time.monotonic() < end:
            if select.select([r], [], [], 0.5)[0]:
                chunk = os.read(r, 16)
                if not chunk:
                    break
                number += chunk
    finally:
        os.close(r)
    if not number.strip():
        proc.kill()
        proc.wait()
        raise RuntimeError("Xvfb did not start (exit %s)" % proc.returncode)
    return proc, ":" + number.decode().strip()
