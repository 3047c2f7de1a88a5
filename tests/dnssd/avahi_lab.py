"""Private Avahi daemons for tests: each test host is a network namespace with its own D-Bus
"system" bus and its own avahi-daemon, so nothing reaches the machine's own bus or network.

Avahi keeps its pid file and socket under /run/avahi-daemon and reads /etc/avahi/services, so
each daemon runs in a mount namespace of its own with private folders bound over those paths.
Every process started here runs under `timeout`, and every wait is bounded.
"""

import os
import shutil
import subprocess
import time

TTL = 900  # hard upper bound (s) for any daemon started here


def _wait(what, predicate, timeout, poll=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(poll)
    raise RuntimeError("timed out waiting for " + what)


def _stop(proc, grace=5.0):
    if proc is None or proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(timeout=grace)


def _run(cmd, timeout=20):
    subprocess.run(cmd, check=True, timeout=timeout, stdout=subprocess.DEVNULL)


DBUS_CONF = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
"""

AVAHI_CONF = """[server]
host-name={host_name}
domain-name=local
use-ipv4=yes
use-ipv6=no
allow-interfaces={iface}
ratelimit-interval-usec=1000000
ratelimit-burst=1000

[wide-area]
enable-wide-area=no

[publish]
publish-addresses=yes
publish-hinfo=no
publish-workstation={workstation}
publish-aaaa-on-ipv4=no
publish-domain=yes

[reflector]
[rlimits]
"""


class AvahiHost:
    """A bus and, unless told otherwise, an Avahi daemon inside an existing namespace."""

    def __init__(self, ns, folder, host_name, iface, workstation=True):
        self.ns, self.folder, self.host_name, self.iface = ns, folder, host_name, iface
        self.workstation = workstation
        self.socket = os.path.join(folder, "system_bus_socket")
        self.bus_proc = None
        self.avahi_proc = None
        self.avahi_log = os.path.join(folder, "avahi.log")
        os.makedirs(os.path.join(folder, "run"), exist_ok=True)
        os.makedirs(os.path.join(folder, "services"), exist_ok=True)
        # The daemon drops root to its own user, which must reach the bus socket.
        os.chmod(folder, 0o755)

    @property
    def bus(self):
        return "unix:path=" + self.socket

    def env(self, base=None):
        env = dict(os.environ if base is None else base)
        env["DBUS_SYSTEM_BUS_ADDRESS"] = self.bus
        return env

    def start_bus(self):
        conf = os.path.join(self.folder, "dbus.conf")
        with open(conf, "w") as f:
            f.write(DBUS_CONF.format(socket=self.socket))
        if os.path.exists(self.socket):
            os.unlink(self.socket)
        log = open(os.path.join(self.folder, "dbus.log"), "w")
        self.bus_proc = subprocess.Popen(
            ["ip", "netns", "exec", self.ns, "timeout", str(TTL), "dbus-daemon",
             "--config-file=" + conf, "--nofork", "--nopidfile", "--nosyslog"],
            stdout=log, stderr=subprocess.STDOUT)
        _wait("the D-Bus socket of " + self.ns, lambda: os.path.exists(self.socket), 10)

    def start_avahi(self):
        if not os.path.isdir("/run/avahi-daemon"):
            os.makedirs("/run/avahi-daemon", exist_ok=True)
        conf = os.path.join(self.folder, "avahi-daemon.conf")
        with open(conf, "w") as f:
            f.write(AVAHI_CONF.format(host_name=self.host_name, iface=self.iface,
                                      workstation="yes" if self.workstation else "no"))
        run, services = os.path.join(self.folder, "run"), os.path.join(self.folder, "services")
        for leftover in ("pid", "socket"):
            try:
                os.unlink(os.path.join(run, leftover))
            except FileNotFoundError:
                pass
        log = open(self.avahi_log, "w")
        script = ("mount --bind '{run}' /run/avahi-daemon && "
                  "mount --bind '{services}' /etc/avahi/services && "
                  "exec timeout {ttl} avahi-daemon -f '{conf}'").format(
                      run=run, services=services, ttl=TTL, conf=conf)
        self.avahi_proc = subprocess.Popen(
            ["ip", "netns", "exec", self.ns, "unshare", "-m", "sh", "-c", script],
            env=self.env(), stdout=log, stderr=subprocess.STDOUT)

        def ready():
            if self.avahi_proc.poll() is not None:
                raise RuntimeError("avahi-daemon in %s ended: %s" % (self.ns, self.log_text()))
            return "Server startup complete" in self.log_text()
        _wait("avahi-daemon in " + self.ns, ready, 15)

    def stop_avahi(self):
        _stop(self.avahi_proc)
        self.avahi_proc = None

    def log_text(self):
        try:
            with open(self.avahi_log, errors="replace") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def start(self, daemon=True):
        self.start_bus()
        if daemon:
            self.start_avahi()

    def close(self):
        self.stop_avahi()
        _stop(self.bus_proc)
        self.bus_proc = None


class AvahiLab:
    """Test hosts on one link: namespaces joined by a bridge in a namespace of their own, each
    with a link-local address."""

    def __init__(self, prefix, folder):
        self.prefix, self.folder = prefix, folder
        self.hub = prefix + "-hub"
        self.namespaces = []
        self.hosts = {}
        os.makedirs(folder, exist_ok=True)
        self._add_ns(self.hub)
        _run(["ip", "-n", self.hub, "link", "add", "br0", "type", "bridge"])
        _run(["ip", "-n", self.hub, "link", "set", "br0", "type", "bridge", "mcast_snooping", "0"])
        _run(["ip", "-n", self.hub, "link", "set", "br0", "up"])

    def _add_ns(self, ns):
        subprocess.run(["ip", "netns", "del", ns], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=20)
        _run(["ip", "netns", "add", ns])
        self.namespaces.append(ns)
        _run(["ip", "-n", ns, "link", "set", "lo", "up"])

    def ns(self, name):
        return self.prefix + "-" + name

    def add_host(self, name, address, host_name, daemon=True, workstation=True, hosts_file=None):
        """A host on the link; hosts_file, when given, is its /etc/hosts."""
        ns = self.ns(name)
        self._add_ns(ns)
        index = len(self.hosts)
        outer = "%s-p%d" % (self.prefix[:8], index)
        _run(["ip", "link", "add", outer, "type", "veth", "peer", "name", "eth0", "netns", ns])
        _run(["ip", "link", "set", outer, "netns", self.hub])
        _run(["ip", "-n", self.hub, "link", "set", outer, "master", "br0"])
        _run(["ip", "-n", self.hub, "link", "set", outer, "up"])
        _run(["ip", "-n", ns, "addr", "add", address + "/16", "dev", "eth0"])
        _run(["ip", "-n", ns, "link", "set", "eth0", "up"])
        if hosts_file is not None:
            # `ip netns exec` binds /etc/netns/<ns>/hosts over /etc/hosts.
            os.makedirs("/etc/netns/" + ns, exist_ok=True)
            with open("/etc/netns/%s/hosts" % ns, "w") as f:
                f.write(hosts_file)
        host = AvahiHost(ns, os.path.join(self.folder, name), host_name, "eth0", workstation)
        self.hosts[name] = host
        host.start(daemon)
        return host

    def close(self):
        for host in self.hosts.values():
            host.close()
        for ns in reversed(self.namespaces):
            subprocess.run(["ip", "netns", "del", ns], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=20)
            shutil.rmtree("/etc/netns/" + ns, ignore_errors=True)
        try:
            os.rmdir("/etc/netns")
        except OSError:
            pass
