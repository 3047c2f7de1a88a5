#!/usr/bin/python3
"""The main window as a Wayland client of weston, watched from the compositor's side through
weston's scene-graph dump (weston-debug).

--backend headless: weston's headless backend (no input devices there): the window maps at its
own size without decorations, and a termination signal ends the program with status 0.

--backend x11: weston's x11 backend nested in an Xvfb display of its own; xdotool's pointer and
keys reach the program only through the compositor. Dragging the sidebar moves the window
(xdg_toplevel.move), the minimise button takes it off the screen, weston's window switcher
(Super+Tab) brings it back, twice, and the close button ends the program with status 0.

Both: a position kept in the placement file survives a run under Wayland, where the program
cannot know where its window is.

The program runs in a network namespace of its own (its call ports never meet the machine's).
Skips (77) without weston, its backend, Qt's wayland platform plugin, unshare, or for x11
without Xvfb and xdotool.
"""
import argparse
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "install"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from program_runs import STARTED, Run, session_env  # noqa: E402
from xvfb_display import start_xvfb  # noqa: E402

SKIP = 77
WIDTH, HEIGHT = 1000, 650  # TfrmMain's size
OUTPUT = (1280, 800)
# Points in the window, from the sidebar's layout (app/TfrmMainControls.cpp: the 200-pixel
# sidebar on the right; ToolButton1 22 x 22 at 152,4; Image10 48 x 48 at 128,344).
SIDEBAR_LEFT = WIDTH - 200
BARE_SIDEBAR = (SIDEBAR_LEFT + 100, 104)  # between the two call buttons
MINIMISE = (SIDEBAR_LEFT + 152 + 11, 4 + 11)
CLOSE = (SIDEBAR_LEFT + 128 + 24, 344 + 24)
DRAG = (-150, 60)
SAVED_LEFT, SAVED_TOP = 40, 30
MOVE_LOGGED = "window move handed to the window system"
NO_PLUGIN = 'Could not find the Qt platform plugin "wayland"'

TOPLEVEL = re.compile(r"View \d+ \(role xdg_toplevel, PID (\d+), surface ID (\d+), "
                      r"top-level window '(.*)' of [^\n]*\n\s*position: \((-?\d+), (-?\d+)\) "
                      r"-> \((-?\d+), (-?\d+)\)")


class Skip(Exception):
    pass


def wait_until(probe, timeout):
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() > end:
            return value
        time.sleep(0.1)


class Weston:
    """A weston of the test's own, on its own socket in the session's runtime folder."""

    def __init__(self, root, backend, display=None):
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"),
                    "HOME": os.path.join(root, "home"),
                    "XDG_RUNTIME_DIR": os.path.join(root, "runtime"),
                    "WAYLAND_DISPLAY": "parlavue-weston-%d" % os.getpid()}
        if display:
            self.env["DISPLAY"] = display
        self.log_path = os.path.join(root, "weston.log")
        cmd = ["weston", "--backend=%s-backend.so" % backend, "--socket=" + self.env[
            "WAYLAND_DISPLAY"], "--no-config", "--idle-time=0", "--debug",
            "--width=%d" % OUTPUT[0], "--height=%d" % OUTPUT[1], "--log=" + self.log_path]
        if backend == "x11":
            cmd.append("--use-pixman")
        self.proc = subprocess.Popen(cmd, env=self.env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        if not wait_until(lambda: self.proc.poll() is not None or self.dump(), 20) or \
                self.proc.poll() is not None:
            self.stop()
            raise RuntimeError("weston did not start with %s-backend.so:\n%s"
                               % (backend, self.log()[-2000:]))

    def dump(self):
        try:
            p = subprocess.run(["weston-debug", "scene-graph"], env=self.env, timeout=10,
                               capture_output=True, text=True)
        except subprocess.TimeoutExpired:
            return ""
        return p.stdout if p.returncode == 0 else ""

    def windows_of(self, pid):
        """The program's mapped top-level windows: (surface id, title, x, y, width, height);
        None when weston could not be asked."""
        dump = self.dump()
        if not dump:
            return None
        out = []
        for m in TOPLEVEL.finditer(dump):
            if int(m.group(1)) == pid:
                x, y, x2, y2 = (int(m.group(i)) for i in range(4, 8))
                out.append((int(m.group(2)), m.group(3), x, y, x2 - x, y2 - y))
        return out

    def log(self):
        try:
            with open(self.log_path, errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=5)


class Xvfb:
    """An X display of the test's own (the server picks a free number) with xdotool on it."""

    def __init__(self, root):
        self.proc, self.display = start_xvfb("%dx%dx24" % (OUTPUT[0] + 120, OUTPUT[1] + 100),
                                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "DISPLAY": self.display,
                    "HOME": os.path.join(root, "home")}

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, timeout=10,
                              check=True, capture_output=True, text=True).stdout

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=5)


def isolated(exe, socket):
    """The program in a network namespace of its own, a Wayland client of weston."""
    script = ('ip link set lo up && export QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$1" && '
              'exec "$0" --test-camera')
    return unshare_cmd() + ["sh", "-c", script, exe, socket]


def unshare_cmd():
    return ["unshare", "-n"] if os.geteuid() == 0 else ["unshare", "-r", "-n"]


def placement_file(root):
    return os.path.join(root, "home", ".config", "parlavue", "parlavue.INI")


def seed_placement(root):
    os.makedirs(os.path.dirname(placement_file(root)), exist_ok=True)
    with open(placement_file(root), "w") as f:
        f.write("[frmMain]\nLeft=%d\nTop=%d\nMaximized=0\n" % (SAVED_LEFT, SAVED_TOP))


def placement(root):
    keys = {}
    try:
        with open(placement_file(root), errors="replace") as f:
            section = None
            for line in f.read().splitlines():
                if line.startswith("["):
                    section = line.strip("[] ")
                elif "=" in line and section:
                    k, v = line.split("=", 1)
                    keys[section + "/" + k] = v
    except OSError:
        pass
    return keys


class Test:
    def __init__(self, exe, backend):
        self.exe, self.backend = exe, backend
        self.failures = []
        self.root = tempfile.mkdtemp(prefix="parlavue-wayland-")
        self.weston = self.xvfb = self.run = None
        self.origin = (0, 0)  # weston's X window on the Xvfb screen

    def check(self, ok, what):
        print(("PASS " if ok else "FAIL ") + what, flush=True)
        if not ok:
            self.failures.append(what)
        return ok

    def start(self):
        session_env(self.root)  # makes the home and runtime folders weston shares
        if self.backend == "x11":
            self.xvfb = Xvfb(self.root)
        self.weston = Weston(self.root, self.backend, self.xvfb and self.xvfb.display)
        program = os.path.join(self.root, "program")
        os.makedirs(program)
        exe = os.path.join(program, "parlavue")
        shutil.copy2(self.exe, exe)
        seed_placement(self.root)
        self.run = Run(isolated(exe, self.weston.env["WAYLAND_DISPLAY"]), self.root, "program")
        started = self.run.wait_for(STARTED, 40)
        if not started and NO_PLUGIN in self.run.text():
            raise Skip("Qt's wayland platform plugin is missing (qt6-wayland)")
        self.check(started, "the program starts as a Wayland client")
        return started

    def window(self, timeout=20):
        """The program's one mapped window, waited for."""
        found = wait_until(lambda: self.weston.windows_of(self.run.proc.pid), timeout)
        return found[0] if found and len(found) == 1 else None

    def unmapped(self, timeout=10):
        return wait_until(lambda: self.weston.windows_of(self.run.proc.pid) == [], timeout)

    def check_window(self):
        w = self.window()
        if not self.check(w is not None, "the compositor shows one window of the program: %s"
                          % (w,)):
            return None
        self.check(w[4:] == (WIDTH, HEIGHT), "its surface is %dx%d, borderless (no decorations "
                   "drawn around it): %dx%d" % (WIDTH, HEIGHT, w[4], w[5]))
        self.check("Parlavue" in w[1], "its title names the program: %r" % w[1])
        return w

    def check_placement_kept(self):
        keys = placement(self.root)
        self.check((keys.get("frmMain/Left"), keys.get("frmMain/Top")) ==
                   (str(SAVED_LEFT), str(SAVED_TOP)),
                   "the kept window position is left as it was (%s, %s)"
                   % (keys.get("frmMain/Left"), keys.get("frmMain/Top")))
        self.check(keys.get("frmMain/Maximized") == "0" and "Graph/Config" in keys,
                   "and the placement was saved at exit (Maximized=%s, camera configuration %s)"
                   % (keys.get("frmMain/Maximized"),
                      "written" if "Graph/Config" in keys else "missing"))

    # The x11 backend: real pointer and keys through the compositor.

    def point(self, w, at):
        return self.origin[0] + w[2] + at[0], self.origin[1] + w[3] + at[1]

    def pointer_to(self, x, y):
        self.xvfb.xdotool("mousemove", "--sync", x, y)

    def click(self, w, at):
        x, y = self.point(w, at)
        self.pointer_to(x + 3, y + 3)  # a motion first, so the compositor picks the surface
        self.pointer_to(x, y)
        self.xvfb.xdotool("click", "1")

    def switcher(self):
        self.xvfb.xdotool("keydown", "super")
        self.xvfb.xdotool("key", "Tab")
        self.xvfb.xdotool("keyup", "super")

    def prepare_pointer(self):
        m = re.search(r"window id (\d+)", self.weston.log())
        if not m:
            return False
        geometry = self.xvfb.xdotool("getwindowgeometry", "--shell", m.group(1))
        vals = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
        self.origin = (int(vals["X"]), int(vals["Y"]))
        # weston's x11 backend takes the pointer's position when it enters weston's window and
        # follows it by relative motion from there: enter it once from outside.
        self.pointer_to(self.origin[0] + OUTPUT[0] + 50, self.origin[1] + OUTPUT[1] + 50)
        self.pointer_to(self.origin[0] + OUTPUT[0] // 2, self.origin[1] + OUTPUT[1] // 2)
        return True

    def drag(self, w):
        x, y = self.point(w, BARE_SIDEBAR)
        self.pointer_to(x + 3, y + 3)
        self.pointer_to(x, y)
        self.xvfb.xdotool("mousedown", "1")
        handed = self.run.wait_for(MOVE_LOGGED, 5)
        self.check(handed, "a press on the sidebar hands the move to the compositor")
        time.sleep(0.3)  # the request reaches weston before the pointer moves on
        steps = 10
        for i in range(1, steps + 1):
            self.pointer_to(x + DRAG[0] * i // steps, y + DRAG[1] * i // steps)
        self.xvfb.xdotool("mouseup", "1")
        want = (w[2] + DRAG[0], w[3] + DRAG[1])
        moved = wait_until(lambda: (self.window(0) or (None,) * 6)[2:4] == want, 5)
        now = self.window(0)
        self.check(moved, "dragging the sidebar by %s moves the window from %s to %s: %s"
                   % (DRAG, w[2:4], want, now and now[2:4]))
        return now

    def minimise_and_restore(self, w, round_):
        self.click(w, MINIMISE)
        gone = self.unmapped(5)
        self.check(gone and self.run.proc.poll() is None,
                   "minimise (%s): the window leaves the screen and the program runs on" % round_)
        if not gone:
            return w
        self.switcher()
        back = self.window(5)
        self.check(back is not None and back[0] == w[0] and back[2:] == w[2:],
                   "weston's switcher (Super+Tab) restores the same surface in its place (%s): %s"
                   % (round_, back))
        return back or w

    def body(self):
        if not self.start():
            return
        w = self.check_window()
        if self.backend == "headless":
            # No input devices on this backend: the window is ended as a session ends it.
            rc = self.run.end(signal.SIGTERM)
            self.check(rc == 0, "a termination signal ends the program with status 0 (%s)" % rc)
            self.check_placement_kept()
            return
        if w is None or not self.check(self.prepare_pointer(), "weston's X window is found"):
            return
        w = self.drag(w) or w
        # Twice: a restore the program did not notice would leave the second minimise unsent.
        for round_ in ("first", "second"):
            w = self.minimise_and_restore(w, round_)
        self.click(w, CLOSE)
        try:
            rc = self.run.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            rc = None
        self.check(rc == 0, "a click on the close button ends the program with status 0 (%s)"
                   % rc)
        self.check_placement_kept()

    def main(self):
        try:
            self.body()
        except Skip as e:
            print("SKIP:", e)
            return SKIP
        except (RuntimeError, OSError, subprocess.SubprocessError) as e:
            self.check(False, "the test ran through: %s" % e)
        finally:
            if self.failures:
                for name, text in (("program", self.run and self.run.text()),
                                   ("weston", self.weston and self.weston.log())):
                    print("---", name, "(last lines)")
                    print((text or "")[-3000:])
            if self.run:
                self.run.end(signal.SIGKILL, 5)
            for part in (self.weston, self.xvfb):
                if part:
                    part.stop()
            shutil.rmtree(self.root, ignore_errors=True)
        print("%d failure(s)" % len(self.failures))
        return 1 if self.failures else 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--binary", required=True)
    ap.add_argument("--backend", choices=("headless", "x11"), required=True)
    args = ap.parse_args()
    needed = ["weston", "weston-debug", "unshare", "ip"]
    if args.backend == "x11":
        needed += ["Xvfb", "xdotool"]
    missing = [t for t in needed if not shutil.which(t)]
    if missing:
        print("SKIP: missing", " ".join(missing))
        return SKIP
    modules = [p for d in ("/usr/lib/*/libweston-*", "/usr/lib*/libweston-*")
               for p in glob.glob(os.path.join(d, args.backend + "-backend.so"))]
    if not modules:
        print("SKIP: weston's %s backend is not installed" % args.backend)
        return SKIP
    if subprocess.run(unshare_cmd() + ["true"], capture_output=True).returncode != 0:
        print("SKIP: cannot make a network namespace (%s)" % " ".join(unshare_cmd()))
        return SKIP
    return Test(os.path.abspath(args.binary), args.backend).main()


if __name__ == "__main__":
    sys.exit(main())
