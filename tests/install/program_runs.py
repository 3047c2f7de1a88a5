"""Running the program as a user's session does, offscreen and away from the machine's own
buses and sound server, and watching its log."""
import os
import signal
import subprocess
import time

STARTED = "start-up complete"


def session_env(root):
    home = os.path.join(root, "home")
    runtime = os.path.join(root, "runtime")
    os.makedirs(home, exist_ok=True)
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    env = {
        "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, ".config"),
        "XDG_RUNTIME_DIR": runtime,
        "QT_QPA_PLATFORM": "offscreen",
        "QT_LOGGING_RULES": "parlavue.*=true",
        "DBUS_SYSTEM_BUS_ADDRESS": "unix:path=/nonexistent/system_bus",
        "PULSE_SERVER": "unix:/nonexistent/pulse",
    }
    # A sanitizer build runs with the options the test command gives it.
    for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
        if name in os.environ:
            env[name] = os.environ[name]
    return env


class Run:
    """One run of the program; cmd is what starts it (the program itself, or a wrapper)."""

    def __init__(self, cmd, root, name):
        self.log_path = os.path.join(root, name + ".log")
        self.log = open(self.log_path, "wb")
        self.proc = subprocess.Popen(cmd, env=session_env(root), stdout=self.log,
                                     stderr=subprocess.STDOUT, cwd=root)

    def text(self):
        with open(self.log_path, errors="replace") as f:
            return f.read()

    def wait_for(self, needle, timeout=30):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if needle in self.text():
                return True
            if self.proc.poll() is not None:
                return needle in self.text()
            time.sleep(0.1)
        return False

    def end(self, sig=signal.SIGTERM, timeout=15):
        if self.proc.poll() is None:
            self.proc.send_signal(sig)
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return self.proc.wait(timeout=5)


class Checks(list):
    """Says PASS or FAIL for each check as it comes; keeps what failed."""

    def __call__(self, ok, what):
        print(("PASS " if ok else "FAIL ") + what)
        if not ok:
            self.append(what)
