"""What a screen reader reads in the copies of an end-to-end run, through AT-SPI.

The lab's copies run in network namespaces; their session bus and the accessibility bus listen
on paths, which every namespace sees. The reader runs in the harness itself."""

import os
import subprocess
import time

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


class A11yBus:
    def __init__(self, folder, display):
        self.folder = folder
        self.display = display
        self.procs = []
        self.address = None
        self.pyatspi = None
        self.GLib = None

    def available(self):
        try:
            import pyatspi  # noqa: F401
        except ImportError:
            return False
        return os.path.exists(LAUNCHER) and subprocess.run(
            ["which", "dbus-daemon"], stdout=subprocess.DEVNULL).returncode == 0

    def start(self):
        runtime = os.path.join(self.folder, "a11y-runtime")
        os.makedirs(runtime, mode=0o700)
        # A socket on a path: an abstract one would not be seen from the copies' namespaces.
        config = os.path.join(self.folder, "session.conf")
        with open(config, "w") as f:
            f.write("<busconfig><type>session</type><listen>unix:dir=%s</listen>"
                    "<standard_session_servicedirs/><policy context=\"default\">"
                    "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                    "<allow own=\"*\"/></policy></busconfig>" % runtime)
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime, DISPLAY=self.display)
        bus = subprocess.Popen(["timeout", "1800", "dbus-daemon", "--config-file=" + config,
                                "--nofork", "--nopidfile", "--print-address=1"],
                               stdout=subprocess.PIPE, env=env, start_new_session=True)
        self.procs.append(bus)
        self.address = bus.stdout.readline().decode().strip()
        if not self.address:
            raise RuntimeError("dbus-daemon gave no address")
        env["DBUS_SESSION_BUS_ADDRESS"] = self.address
        self.procs.append(subprocess.Popen(["timeout", "1800", LAUNCHER, "--launch-immediately"],
                                           env=env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL, start_new_session=True))
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.address
        os.environ["DISPLAY"] = self.display
        import pyatspi
        from gi.repository import GLib
        self.pyatspi, self.GLib = pyatspi, GLib

    def env(self):
        """What a copy needs to be read."""
        return {"DBUS_SESSION_BUS_ADDRESS": self.address, "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}

    def close(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait(timeout=5)
        self.procs = []

    def pump(self):
        context = self.GLib.MainContext.default()
        while context.iteration(False):
            pass

    def application(self, pid):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                continue
        return None

    def names(self, pid, limit=4000):
        """The accessible names of what the program with this pid shows."""
        self.pump()
        app = self.application(pid)
        if app is None:
            return []
        # Read afresh: the cache follows only the events this reader listens for, and none.
        app.clear_cache()
        names, stack = [], [app]
        while stack and len(names) < limit:
            node = stack.pop()
            try:
                if node is not app and not node.getState().contains(self.pyatspi.STATE_SHOWING):
                    continue
                if node.name:
                    names.append(node.name)
                stack.extend(node.getChildAtIndex(i) for i in range(node.childCount))
            except Exception:
                continue
        return names

    def wait_for_name(self, pid, predicate, timeout, poll=0.3):
        """The first shown name that satisfies predicate, or None after timeout."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for name in self.names(pid):
                if predicate(name):
                    return name
            time.sleep(poll)
        return None
