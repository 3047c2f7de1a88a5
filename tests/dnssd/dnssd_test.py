#!/usr/bin/env python3
"""The DNS-SD peer browser and publisher against real Avahi daemons: four test hosts on one link
in network namespaces, each with its own bus; a, b and c run daemons, d has a bus only.

Needs root (ip netns), avahi-daemon, dbus-daemon and unshare; skips (77) without them.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from avahi_lab import AvahiLab  # noqa: E402

FIRST_ANSWERS_LIMIT_MS = 3000
failures = []


def check(ok, what):
    print(("PASS " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def listing(events):
    """The computers listed after the last start, in the order told, as the window holds them."""
    shown = {}
    for e in events:
        if e["event"] == "started":
            shown = {}
        elif e["event"] in ("appeared", "changed"):
            shown[e["key"]] = {"key": e["key"], "comment": e["name"], "remote": "\\\\" + e["host"],
                               "provider": e["provider"], "copy": e["copy"]}
        elif e["event"] == "gone":
            shown.pop(e["key"], None)
    return list(shown.values())


class Probe:
    def __init__(self, path):
        self.path = path

    def browse(self, host, env=None):
        """One browse up to all-for-now: its events and how long it took (ms)."""
        env = dict(env if env is not None else host.env(), QT_LOGGING_RULES="parlavue.dnssd=true")
        r = subprocess.run(["ip", "netns", "exec", host.ns, self.path, "browse"], env=env,
                           capture_output=True, text=True, timeout=60)
        lines = r.stdout.splitlines()
        if r.returncode != 0 or not lines or not lines[-1].startswith("done"):
            raise RuntimeError("browse failed (%d): %s %s" % (r.returncode, r.stdout, r.stderr))
        self.log = r.stderr
        return [json.loads(l) for l in lines[:-1]], float(lines[-1].split()[1])

    def servers(self, host):
        events, _ = self.browse(host)
        return listing(events)

    def watch(self, host):
        return Watcher(self.path, host)

    def publish(self, host, name, env=None):
        return Publisher(self.path, host, name, env)


class Watcher:
    """A browse left running, as in an open window."""

    def __init__(self, path, host):
        self.proc = subprocess.Popen(
            ["ip", "netns", "exec", host.ns, "timeout", "120", path, "watch"],
            env=host.env(), stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.events = []

    def read(self, until, timeout):
        """Reads events until until(events) holds; False at the time limit."""
        import selectors
        sel = selectors.DefaultSelector()
        sel.register(self.proc.stdout, selectors.EVENT_READ)
        end = time.monotonic() + timeout
        while not until(self.events):
            if time.monotonic() >= end or not sel.select(timeout=max(0.0, end - time.monotonic())):
                return False
            line = self.proc.stdout.readline()
            if not line:
                return False
            self.events.append(json.loads(line))
        return True

    def wait_listed(self, predicate, timeout):
        return self.read(lambda ev: predicate(listing(ev)), timeout)

    def restart(self):
        self.proc.stdin.write("restart\n")
        self.proc.stdin.flush()

    def close(self):
        if self.proc.poll() is None:
            self.proc.stdin.close()
        try:
            return self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return self.proc.wait(timeout=10)


class Publisher:
    def __init__(self, path, host, name, env=None):
        self.proc = subprocess.Popen(
            ["ip", "netns", "exec", host.ns, "timeout", "120", path, "publish", name],
            env=env if env is not None else host.env(), stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, text=True)
        self.lines = []
        self.expect_line("publishing", 10)

    def expect_line(self, want, timeout=10):
        """Waits for a line starting with want; returns it, or None at the time limit."""
        import selectors
        sel = selectors.DefaultSelector()
        sel.register(self.proc.stdout, selectors.EVENT_READ)
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if not sel.select(timeout=max(0.0, end - time.monotonic())):
                break
            line = self.proc.stdout.readline()
            if not line:
                break
            self.lines.append(line.rstrip("\n"))
            if line.startswith(want):
                return line.rstrip("\n")
        return None

    def rename(self, name):
        self.proc.stdin.write("name %s\n" % name)
        self.proc.stdin.flush()

    def close(self):
        """Ends the publisher as the program ends: it withdraws and exits 0."""
        if self.proc.poll() is None:
            self.proc.stdin.close()
        try:
            return self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return self.proc.wait(timeout=10)


def by_comment(servers):
    return {s["comment"]: s for s in servers}


def wait_for(what, probe, host, predicate, tries=8):
    """Browses until predicate(servers) holds; every browse is bounded by its first-answers limit."""
    servers = []
    for _ in range(tries):
        servers = probe.servers(host)
        if predicate(servers):
            return servers
        time.sleep(0.5)
    print("  last list:", [(s["comment"], s["remote"], s["copy"]) for s in servers])
    return None


def test_browse(probe, a):
    events, total = probe.browse(a)
    servers = by_comment(listing(events))
    print("  servers:", [(s["comment"], s["remote"], s["copy"]) for s in servers.values()])
    check(set(servers) == {"Alice", "Bob's Desk"} | {c for c in servers if c.startswith("hostC [")}
          and len(servers) == 3,
          "one entry per computer: both copies by caller ID, the plain workstation by its name")
    check(servers.get("Bob's Desk", {}).get("remote") == "\\\\hostB.local",
          "a host name the system resolver finds at the same address is kept")
    host_c = [s for c, s in servers.items() if c.startswith("hostC [")]
    check(bool(host_c) and host_c[0]["remote"] == "\\\\169.254.91.3",
          "a host name the resolver puts elsewhere is replaced by the resolved address")
    check(servers.get("Alice", {}).get("remote") == "\\\\169.254.91.1",
          "an unresolvable host name (this computer's) is replaced by the address")
    check(servers.get("Alice", {}).get("copy") is True and servers.get("Bob's Desk", {}).get("copy") is True
          and bool(host_c) and host_c[0]["copy"] is False, "program copies are marked apart")
    check(all(e["provider"] == "DNS-SD" for e in servers.values()),
          "every computer names DNS-SD as its provider")
    check(total < FIRST_ANSWERS_LIMIT_MS, "the first answers are all in within 3 s (%.0f ms)" % total)
    print("FIGURE browse with two copies and one workstation: all in after %.0f ms" % total)


def test_restart_during_browse(probe, a):
    watcher = probe.watch(a)
    try:
        ok = watcher.read(lambda ev: any(e["event"] == "all" for e in ev), 10)
        check(ok and len(listing(watcher.events)) == 3, "a watching browse lists the three computers")
        before = sorted(s["key"] for s in listing(watcher.events))
        # Restarted twice while its first answers come in: the last start tells each computer once.
        watcher.restart()
        watcher.restart()
        starts = lambda ev: sum(1 for e in ev if e["event"] == "started")
        ok = watcher.read(lambda ev: starts(ev) >= 3 and ev[-1]["event"] == "all", 10)
        last = max(i for i, e in enumerate(watcher.events) if e["event"] == "started")
        told = [e["key"] for e in watcher.events[last:] if e["event"] == "appeared"]
        check(ok and sorted(told) == before,
              "a browse restarted during a browse tells each computer exactly once (%d told)"
              % len(told))
    finally:
        watcher.close()


def test_host_goes_and_comes(probe, a, c):
    watcher = probe.watch(a)
    try:
        at_c = lambda s: any(e["remote"] == "\\\\169.254.91.3" for e in s)
        check(watcher.wait_listed(at_c, 10), "a watching browse lists host c")
        c.stop_avahi()
        t0 = time.monotonic()
        gone = watcher.wait_listed(lambda s: not at_c(s), 15)
        check(gone, "a computer whose daemon ends leaves the watching list (%.1f s)"
              % (time.monotonic() - t0))
        c.start_avahi()
        check(watcher.wait_listed(at_c, 15), "and comes back when it is there again")
    finally:
        watcher.close()


def test_collision_and_rename(probe, a, bob, c):
    twin = probe.publish(c, "Bob's Desk")
    got = twin.expect_line("established", 15)
    check(got == "established Bob's Desk #2", "a taken name moves on to the next free one (%s)" % got)
    servers = wait_for("both Bobs", probe, a,
                       lambda s: {"Bob's Desk", "Bob's Desk #2"} <= set(by_comment(s)))
    check(servers is not None, "the list shows both, under their own names")
    if servers:
        check(by_comment(servers)["Bob's Desk #2"]["copy"] is True,
              "the renamed copy is still marked as a copy")
    bob.rename("Robert")
    check(bob.expect_line("established Robert", 15) is not None, "a changed caller ID is published")
    servers = wait_for("Robert", probe, a,
                       lambda s: "Robert" in by_comment(s) and "Bob's Desk" not in by_comment(s))
    check(servers is not None, "the old name leaves the list when the caller ID changes")
    return twin


def test_daemon_restart(probe, a, b, bob):
    b.stop_avahi()
    time.sleep(0.5)
    b.start_avahi()
    check(bob.expect_line("established Robert", 20) is not None,
          "after the daemon restarts the copy publishes itself again")
    check(wait_for("Robert back", probe, a, lambda s: "Robert" in by_comment(s)) is not None,
          "and the others list it again")


def test_withdraw(probe, a, bob):
    watcher = probe.watch(a)
    try:
        check(watcher.wait_listed(lambda s: "Robert" in by_comment(s), 10),
              "a watching browse lists Robert")
        rc = bob.close()
        check(rc == 0, "the publisher ends cleanly (%s)" % rc)
        moved = lambda s: ("Robert" not in by_comment(s)
                           and any(c.startswith("hostB [") for c in by_comment(s)))
        ok = watcher.wait_listed(moved, 15)
        check(ok, "an ended copy leaves the open list: its computer stays, as a workstation")
        if ok:
            b_entry = [s for s in listing(watcher.events) if s["comment"].startswith("hostB [")][0]
            check(b_entry["copy"] is False, "and no longer marked as a copy")
        check(sum(1 for e in watcher.events if e["event"] == "started") == 1,
              "without being started again")
    finally:
        watcher.close()


def test_flood(probe, a, c):
    # 300 services under one computer: the browser keeps at most its bound and answers in time.
    services = os.path.join(c.folder, "services")
    for i in range(300):
        with open(os.path.join(services, "flood%03d.service" % i), "w") as f:
            f.write('<?xml version="1.0" standalone="no"?>\n<service-group>'
                    '<name>flood %03d</name><service><type>_parlavue._udp</type>'
                    '<port>%d</port></service></service-group>\n' % (i, 7000 + i))
    c.stop_avahi()
    c.start_avahi()
    # A restarted daemon announces 300 services in its own time (longer on a loaded machine):
    # browsed again until they are seen, each browse bounded by its first-answers limit.
    deadline = time.monotonic() + 20.0
    while True:
        events, total = probe.browse(a)
        flooded = [e for e in listing(events) if e["remote"] == "\\\\169.254.91.3"]
        if any(e["comment"].startswith("flood ") for e in flooded) or time.monotonic() > deadline:
            break
        time.sleep(0.5)
    check(total < FIRST_ANSWERS_LIMIT_MS,
          "with a computer announcing 300 services the first answers are in within 3 s (%.0f ms)"
          % total)
    check(len(flooded) == 1 and flooded[0]["comment"].startswith("flood ") and flooded[0]["copy"],
          "and it is listed once, as a copy (%s)" % [e["comment"] for e in flooded])
    check("browse full" in probe.log, "the browser stopped keeping services at its bound")
    for name in os.listdir(services):
        os.unlink(os.path.join(services, name))


def test_no_daemon(probe, d):
    events, _ = probe.browse(d)
    check(listing(events) == [], "without a daemon the list is empty and the browse answers")
    nowhere = dict(d.env(), DBUS_SYSTEM_BUS_ADDRESS="unix:path=/nonexistent/bus")
    events, _ = probe.browse(d, env=nowhere)
    check(listing(events) == [], "without any system bus the same")
    lonely = probe.publish(d, "Dora", env=nowhere)
    check(lonely.close() == 0, "publishing without a bus fails quietly and ends cleanly")
    waiting = probe.publish(d, "Dora")
    time.sleep(0.5)
    d.start_avahi()
    check(waiting.expect_line("established Dora", 20) is not None,
          "a copy started before its daemon publishes once the daemon is up")
    check(waiting.close() == 0, "and withdraws cleanly")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--probe", required=True)
    args = ap.parse_args()
    if os.geteuid() != 0:
        print("SKIP: needs root for network namespaces")
        return 77
    for tool in ("ip", "avahi-daemon", "dbus-daemon", "unshare", "timeout"):
        if not shutil.which(tool):
            print("SKIP: %s is missing" % tool)
            return 77
    folder = tempfile.mkdtemp(prefix="parlavue-dnssd-")
    os.chmod(folder, 0o755)  # the daemons drop root and must reach their bus sockets
    probe = Probe(args.probe)
    try:
        lab = AvahiLab("pvdns%d" % (os.getpid() % 1000), folder)
    except subprocess.CalledProcessError as e:
        print("SKIP: cannot make network namespaces:", e)
        return 77
    publishers = []
    try:
        # a's resolver knows hostB.local at its address and hostC.local somewhere else.
        a = lab.add_host("a", "169.254.91.1", "hostA",
                         hosts_file="127.0.0.1 localhost\n169.254.91.2 hostB.local\n"
                                    "169.254.9.9 hostC.local\n")
        b = lab.add_host("b", "169.254.91.2", "hostB")
        c = lab.add_host("c", "169.254.91.3", "hostC")
        d = lab.add_host("d", "169.254.91.4", "hostD", daemon=False)
        alice = probe.publish(a, "Alice")
        bob = probe.publish(b, "Bob's Desk")
        publishers += [alice, bob]
        check(alice.expect_line("established Alice", 15) is not None, "a copy publishes its caller ID")
        check(bob.expect_line("established Bob's Desk", 15) is not None, "so does the other")
        test_browse(probe, a)
        test_restart_during_browse(probe, a)
        publishers.append(test_collision_and_rename(probe, a, bob, c))
        test_daemon_restart(probe, a, b, bob)
        test_withdraw(probe, a, bob)
        test_host_goes_and_comes(probe, a, c)
        test_flood(probe, a, c)
        test_no_daemon(probe, d)
    except Exception as e:  # a broken harness is a failure, not a skip
        check(False, "harness: %r" % e)
    finally:
        for p in publishers:
            p.close()
        lab.close()
        shutil.rmtree(folder, ignore_errors=True)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
