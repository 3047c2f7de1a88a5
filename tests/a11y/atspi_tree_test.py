#!/usr/bin/python3
"""Every window of parlavue as a screen reader sees it, through AT-SPI.

Runs the real program on Xvfb (xcb platform) with its own D-Bus session bus and accessibility
bus (at-spi-bus-launcher), opens each window by pressing the buttons through AT-SPI actions,
walks the tree of every window shown and fails on a window without its title or the right role,
and on a control a user operates (button, toggle, slider, text field, check box, list, list
row, combo box, spin box) that has no name. It also listens for the name changes that announce
the calling-status line and the caller line.

As root it runs in a network namespace of its own, so the program's ports are its own.
Exits 77 (skip) when a tool is missing, 1 when a check fails, 0 when all pass.
"""

import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import traceback

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xvfb_display import start_xvfb  # noqa: E402

SKIP = 77
WAIT = 10.0
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
TEST_CAMERA_CONFIG = ("WantCapture=0,WantDVAudio=0,WantAudio=0,WantAudioPreview=0,DoPreallocFile=0,"
                      "UseTempFile=0,PreallocFileSize=1,TempCaptureFileName=captemp.avi,"
                      "CaptureFileName=capture.avi,DVResolution=0,PixelFormat=6,"
                      "\"VCapSource=Test Pattern\",ACapSource=,AComp=,VComp=")
MAIN_TITLE = "Halvorn Software - Parlavue Video Phone"
OWN_MESSAGE = "Tester is on another call"

pyatspi = None
GLib = None


class Failure(Exception):
    pass


def log(msg):
    print(msg, flush=True)


def wait_until(what, predicate, timeout=WAIT, poll=0.1):
    deadline = time.monotonic() + timeout
    while True:
        pump()
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(poll)


def pump():
    """Lets AT-SPI deliver the events it has queued."""
    if GLib is not None:
        context = GLib.MainContext.default()
        while context.iteration(False):
            pass


class Lab:
    def __init__(self, binary):
        self.binary = binary
        self.tmp = tempfile.mkdtemp(prefix="parlavue-a11y-")
        os.chmod(self.tmp, 0o700)
        self.procs = []
        self.env = dict(os.environ)
        self.program = None

    def start(self, proc_args, **kw):
        # Each helper leads a process group of its own, so what it starts goes with it.
        proc = subprocess.Popen(proc_args, start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def start_display(self):
        err = open(os.path.join(self.tmp, "xvfb.log"), "wb")
        proc, self.env["DISPLAY"] = start_xvfb("1280x800x24", stdout=err, stderr=err,
                                               start_new_session=True)
        self.procs.append(proc)

    def start_buses(self):
        runtime = os.path.join(self.tmp, "runtime")
        os.makedirs(runtime, mode=0o700)
        self.env["XDG_RUNTIME_DIR"] = runtime
        # A socket on a path: an abstract one would not be seen across namespaces.
        config = os.path.join(self.tmp, "session.conf")
        with open(config, "w") as f:
            f.write("<busconfig><type>session</type><listen>unix:dir=%s</listen>"
                    "<standard_session_servicedirs/><policy context=\"default\">"
                    "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                    "<allow own=\"*\"/></policy></busconfig>" % runtime)
        bus = self.start(["dbus-daemon", "--config-file=" + config, "--nofork", "--nopidfile",
                          "--print-address=1"], stdout=subprocess.PIPE, env=self.env)
        address = bus.stdout.readline().decode().strip()
        if not address:
            raise RuntimeError("dbus-daemon gave no address")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        # The program's Avahi client must not reach the machine's system bus.
        self.env["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + os.path.join(self.tmp, "no-bus")
        self.start([LAUNCHER, "--launch-immediately"], env=self.env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.environ.update(self.env)

    def start_program(self):
        folder = os.path.join(self.tmp, "program")
        received = os.path.join(self.tmp, "received")
        config = os.path.join(self.tmp, "config")
        for d in (folder, received, os.path.join(config, "parlavue")):
            os.makedirs(d)
        exe = os.path.join(folder, "parlavue")
        shutil.copy2(self.binary, exe)
        with open(os.path.join(folder, "Settings.ini"), "w") as f:
            f.write("[Settings]\nCallerID=Tester\nRingTime=30\nAutoAnswer=0\nMessage=%s\n"
                    "FilePath=%s\n" % (OWN_MESSAGE, received))
        with open(os.path.join(folder, "ConfigGraph.ini"), "w") as f:
            f.write("[Graph]\nConfig=" + TEST_CAMERA_CONFIG + "\n")
        env = dict(self.env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LANGUAGE="en",
                   QT_LOGGING_RULES="parlavue.*=true\nparlavue.latency=false", HOME=self.tmp, XDG_CONFIG_HOME=config,
                   PULSE_SERVER="unix:" + os.path.join(self.tmp, "no-pulse"))
        env.pop("QT_MESSAGE_PATTERN", None)
        self.log_path = os.path.join(self.tmp, "parlavue.log")
        with open(self.log_path, "wb") as err:
            self.program = self.start([exe, "--test-camera"], env=env, cwd=folder,
                                      stdout=err, stderr=subprocess.STDOUT)

    def log_tail(self, lines=20):
        with open(self.log_path, "rb") as f:
            text = f.read().decode("utf-8", "replace").splitlines()
        return "\n".join("    " + line for line in text[-lines:])

    def close(self, keep):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    os.killpg(proc.pid, signal.SIGKILL)
                    proc.wait(timeout=5)
        if not keep:
            shutil.rmtree(self.tmp, ignore_errors=True)


# ---------------------------------------------------------------------------------------------
# The tree


def showing(acc):
    try:
        return acc.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def children(acc):
    try:
        return [acc.getChildAtIndex(i) for i in range(acc.childCount)]
    except Exception:
        return []


def walk(acc, depth=0):
    yield acc, depth
    if depth < 40:
        for child in children(acc):
            if child is not None and showing(child):
                yield from walk(child, depth + 1)


def role_name(role):
    return str(role).replace("ROLE_", "").replace("_", " ").lower()


def named_roles():
    return {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_SLIDER,
            pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT,
            pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_LIST,
            pyatspi.ROLE_LIST_BOX, pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_COMBO_BOX,
            pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_PROGRESS_BAR}


class Program:
    def __init__(self, lab):
        self.lab = lab
        self.app = None
        self.names = []  # accessible-name changes seen: (role, name)
        self.checked = {}  # window title -> controls checked

    def find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app is not None and app.name == "parlavue":
                return app
        if self.lab.program.poll() is not None:
            raise Failure("parlavue exited (%s):\n%s" % (self.lab.program.returncode,
                                                          self.lab.log_tail()))
        return None

    def windows(self):
        return [w for w in children(self.app) if w is not None and showing(w)]

    def window(self, title, timeout=WAIT):
        def find():
            for w in self.windows():
                if w.name == title:
                    return w
            return None
        try:
            return wait_until("the window %r" % title, find, timeout)
        except Failure:
            shown = [(w.getRoleName(), w.name) for w in self.windows()]
            raise Failure("no window named %r is shown; shown: %r" % (title, shown))

    def window_gone(self, title):
        wait_until("the window %r to close" % title,
                   lambda: all(w.name != title for w in self.windows()))

    def check(self, title, role):
        """The window `title` is shown with its role, and every control in it has a name."""
        win = self.window(title)
        if win.getRole() != role:
            raise Failure("the window %r is announced as %r, expected %r"
                          % (title, win.getRoleName(), role_name(role)))
        wanted = named_roles()
        unnamed, count = [], 0
        for acc, depth in walk(win):
            if acc.getRole() in wanted:
                count += 1
                if not (acc.name or "").strip():
                    unnamed.append("%s at depth %d (parent %s %r)"
                                   % (acc.getRoleName(), depth, acc.parent.getRoleName(),
                                      acc.parent.name))
        if unnamed:
            raise Failure("in %r these controls have no name:\n    %s"
                          % (title, "\n    ".join(unnamed)))
        if count == 0:
            raise Failure("the window %r shows no controls to a screen reader" % title)
        self.checked[title] = count
        return win

    def find(self, win, role, name):
        def search():
            for acc, _ in walk(win):
                if acc.getRole() == role and acc.name == name:
                    return acc
            return None
        return wait_until("%s %r in %r" % (role_name(role), name, win.name), search)

    def press(self, win, name):
        button = self.find(win, pyatspi.ROLE_PUSH_BUTTON, name)
        action = button.queryAction()
        for i in range(action.nActions):
            if action.getName(i) in ("Press", "press", "click"):
                action.doAction(i)
                return
        raise Failure("the button %r offers no Press action (%r)"
                      % (name, [action.getName(i) for i in range(action.nActions)]))

    def find_toggle(self, win, name):
        def search():
            for acc, _ in walk(win):
                if acc.name == name and acc.getRole() in (pyatspi.ROLE_TOGGLE_BUTTON,
                                                          pyatspi.ROLE_CHECK_BOX,
                                                          pyatspi.ROLE_PUSH_BUTTON):
                    return acc
            return None
        return wait_until("the toggle %r in %r" % (name, win.name), search)

    def pressed(self, acc, name):
        """True for "pressed", False for "not pressed"; fails when it is no toggle at all.

        Qt 6.4's bridge has no toggle-button role: a checkable button is a check box, its
        pressed state the checked one."""
        states = acc.getState()
        if not (states.contains(pyatspi.STATE_CHECKABLE) or
                acc.getRole() in (pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX)):
            raise Failure("%r is read as a plain %s, not as a toggle" % (name, acc.getRoleName()))
        return states.contains(pyatspi.STATE_CHECKED) or states.contains(pyatspi.STATE_PRESSED)

    def shows(self, win, name):
        return any(acc.name == name for acc, _ in walk(win))

    def act(self, acc, name):
        action = acc.queryAction()
        for i in range(action.nActions):
            if action.getName(i) in ("Press", "press", "click", "Toggle", "toggle"):
                action.doAction(i)
                return
        raise Failure("%r offers no Press action (%r)"
                      % (name, [action.getName(i) for i in range(action.nActions)]))

    def type_into(self, win, name, text):
        for role in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY):
            for acc, _ in walk(win):
                if acc.getRole() == role and acc.name == name:
                    acc.queryEditableText().setTextContents(text)
                    return acc
        raise Failure("no text field named %r in %r" % (name, win.name))

    def rows(self, win, list_name):
        lst = self.find(win, pyatspi.ROLE_LIST, list_name)
        return [c.name for c in children(lst) if c is not None and
                c.getRole() == pyatspi.ROLE_LIST_ITEM]

    def on_name(self, event):
        try:
            self.names.append((event.source.getRoleName(), event.source.name))
        except Exception:
            pass

    def heard(self, text):
        return wait_until("a name change to %r" % text,
                          lambda: any(name == text for _, name in self.names))


def double_click(lab, acc):
    x, y, w, h = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", "--sync", str(x + w // 2), str(y + h // 2),
                    "click", "--repeat", "2", "--delay", "80", "1"], env=lab.env, timeout=10,
                   check=True)


def run_checks(lab):
    program = Program(lab)
    program.app = wait_until("parlavue on the accessibility bus", program.find_app, 30)
    pyatspi.Registry.registerEventListener(program.on_name,
                                           "object:property-change:accessible-name")
    FRAME, DIALOG = pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG

    main = program.check(MAIN_TITLE, FRAME)
    # The level bars report per cent, whatever range they keep inside (the volume's is 65535).
    for name in ("Microphone Level", "Volume Level"):
        bar = program.find(main, pyatspi.ROLE_SLIDER, name)
        value = bar.queryValue()
        if (value.minimumValue, value.maximumValue) != (0, 100) or \
                not 0 <= value.currentValue <= 100:
            raise Failure("the slider %r reports %r in %r..%r, not 0..100" % (
                name, value.currentValue, value.minimumValue, value.maximumValue))
    # A level set in per cent moves the bar as far: the figure under it says so.
    volume = program.find(main, pyatspi.ROLE_SLIDER, "Volume Level").queryValue()
    for percent in (100, 25):
        volume.currentValue = percent
        wait_until("the volume figure to say %d %%" % percent,
                   lambda: program.shows(main, "Volume Level %d %%" % percent))
        if round(volume.currentValue) != percent:
            raise Failure("the volume set to %d %% reads %r" % (percent, volume.currentValue))

    # The toggles say "pressed" or "not pressed", and a press changes what they say (outside a
    # call "Mute Microphone" has nothing to mute and stays not pressed).
    for name, flips in (("Mute Microphone", False), ("Camera Preview", True),
                        ("Show Preview Picture", True), ("Show Sidebar", True)):
        toggle = program.find_toggle(main, name)
        before = program.pressed(toggle, name)
        for _ in range(2):
            program.act(toggle, name)
            if flips:
                expected = not before
                wait_until("%r to say %s" % (name, "pressed" if expected else "not pressed"),
                           lambda: program.pressed(toggle, name) == expected)
                before = expected
                if name == "Show Sidebar":
                    # It did what it says: the sidebar's buttons come and go with it.
                    wait_until("the sidebar to be %s" % ("shown" if expected else "hidden"),
                               lambda: program.shows(main, "Call Settings") == expected)
            elif program.pressed(toggle, name) != before:
                raise Failure("%r changed its pressed state outside a call" % name)

    # The call keys are read from the buttons' key bindings, and only there: not again in a
    # description, and the names are words without the hints' punctuation.
    for name, key in (("Make or Answer Call", "Return"), ("End or Decline Call", "E"),
                      ("Telephone Book", "B"), ("Transfer Files", "T")):
        button = program.find(main, pyatspi.ROLE_PUSH_BUTTON, name)
        action = button.queryAction()
        bindings = [action.getKeyBinding(i) for i in range(action.nActions)]
        if not any(b.endswith(key) and "Ctrl" in b for b in bindings) or \
                "Ctrl" in (button.description or ""):
            raise Failure("the button %r tells its key wrongly: bindings %r, description %r"
                          % (name, bindings, button.description))

    program.press(main, "Call Settings")
    program.check("Settings", DIALOG)
    program.press(program.window("Settings"), "Close")
    program.window_gone("Settings")

    program.press(main, "Telephone Book")
    book = program.check("IP Address Book", DIALOG)
    program.type_into(book, "Contact Name", "Front Desk")
    program.type_into(book, "Host Name / IP Address", "127.0.0.1")
    program.press(book, "Add")
    # The owner-drawn row is read as the contact line it shows.
    wait_until("the contact's row", lambda: "Front Desk <127.0.0.1>" in
               program.rows(book, "Contacts"))
    program.check("IP Address Book", DIALOG)
    program.press(book, "Who's Online?")
    program.check("Online Network Clients", DIALOG)
    program.press(program.window("Online Network Clients"), "Add Host Names To List")
    program.window_gone("Online Network Clients")
    program.press(book, "Close")
    program.window_gone("IP Address Book")

    program.type_into(main, "Enter Host Name To Call", "127.0.0.1")
    program.press(main, "Transfer Files")
    portal = program.check("File Transfer Portal", DIALOG)
    program.press(portal, "Send Text Message")
    program.check("Send Text Message", DIALOG)
    program.press(program.window("Send Text Message"), "Close")
    program.window_gone("Send Text Message")
    program.press(portal, "Close")
    program.window_gone("File Transfer Portal")

    program.press(main, "Video Settings")
    options = program.check("ParlavueVP Video Device Settings", DIALOG)
    dialogs = program.find(options, pyatspi.ROLE_LIST, "Dialogs")
    rows = [c for c in children(dialogs) if c is not None and c.getRole() == pyatspi.ROLE_LIST_ITEM]
    if not rows:
        raise Failure("the test camera lists no dialogs to a screen reader")
    caption = rows[0].name
    double_click(lab, rows[0])
    program.check(caption, DIALOG)
    program.press(program.window(caption), "Close")
    program.window_gone(caption)
    program.press(options, "Close")
    program.window_gone("ParlavueVP Video Device Settings")

    # Calling one's own address: the own busy message comes back into the calling-status
    # line, which is announced while the focus stays on "Cancel Call".
    program.names.clear()
    program.press(main, "Make or Answer Call")
    calling = program.check("Calling Status", DIALOG)
    program.heard(OWN_MESSAGE)
    program.press(calling, "Cancel Call")
    program.window_gone("Calling Status")

    # A call from elsewhere: the caller line is announced wherever the focus is.
    program.names.clear()
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.sendto(b"Calling|Visitor", ("127.0.0.1", 6767))
    program.heard("Visitor calling...")
    return ", ".join("%s: %d" % item for item in program.checked.items())


def in_own_namespace():
    """Re-runs this script in a network namespace of its own when it can (as root)."""
    if os.environ.get("PARLAVUE_A11Y_NETNS") or os.geteuid() != 0 or not shutil.which("unshare"):
        return None
    env = dict(os.environ, PARLAVUE_A11Y_NETNS="1")
    return subprocess.run(["unshare", "--net", "sh", "-c",
                           'ip link set lo up && exec "$@"', "sh", sys.executable] + sys.argv,
                          env=env).returncode


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--binary", required=True, help="the parlavue executable")
    ap.add_argument("--keep", action="store_true", help="leave the temp folder (logs) behind")
    args = ap.parse_args()
    if not os.path.isfile(args.binary):
        log("SKIP: binary not found: %s" % args.binary)
        return SKIP
    missing = [t for t in ("Xvfb", "xdotool", "dbus-daemon") if shutil.which(t) is None]
    if not os.access(LAUNCHER, os.X_OK):
        missing.append(LAUNCHER)
    try:
        import gi  # noqa: F401
        gi.require_version("Atspi", "2.0")
    except (ImportError, ValueError):
        missing.append("python3-gi, gir1.2-atspi-2.0")
    if missing:
        log("SKIP: missing %s (apt-get install xvfb xdotool dbus at-spi2-core python3-pyatspi "
            "gir1.2-atspi-2.0)" % ", ".join(missing))
        return SKIP
    if shutil.which("ip") and os.geteuid() == 0:
        rc = in_own_namespace()
        if rc is not None:
            return rc

    lab = Lab(os.path.abspath(args.binary))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    try:
        lab.start_display()
        lab.start_buses()
        global pyatspi, GLib
        try:
            # Imported once the private buses are in the environment: it connects at import.
            import pyatspi as atspi_module
            from gi.repository import GLib as glib_module
        except ImportError:
            log("SKIP: python3-pyatspi is not installed")
            return SKIP
        pyatspi, GLib = atspi_module, glib_module
        lab.start_program()
        t0 = time.monotonic()
        note = run_checks(lab)
        log("PASS: every window titled, every control named (%s) in %.1f s"
            % (note, time.monotonic() - t0))
        return 0
    except Failure as e:
        log("FAIL: %s" % e)
        if lab.program is not None:
            log("program log tail:\n" + lab.log_tail())
        return 1
    except Exception:
        log("FAIL: %s" % traceback.format_exc())
        return 1
    finally:
        lab.close(keep=args.keep)
        if args.keep:
            log("logs kept in %s" % lab.tmp)


if __name__ == "__main__":
    sys.exit(main())
