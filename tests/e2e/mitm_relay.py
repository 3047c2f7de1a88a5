#!/usr/bin/python3
"""A man in the middle between two test hosts, for the end-to-end tests.

It holds two network namespaces: one faces A and has B's address, the other faces B and has A's.
Everything A sends to B, and B to A, comes to it and is forwarded: datagrams on the call ports
as they are, TCP on 6501 as it is when plain, and TLS ended on each side with a key of its own
(a self-signed Ed25519 certificate) with the bytes inside carried across unchanged.

    mitm_relay.py <ns facing A> <ns facing B> <A's address> <B's address> <cert> <key> <log> <s>

Prints "relaying" once its sockets are bound; ends after <s> seconds or on SIGTERM. Writes
one line per connection and, at the end, the datagrams forwarded per port to <log>.
"""

import ctypes
import os
import select
import signal
import socket
import ssl
import sys
import threading
import time

CLONE_NEWNET = 0x40000000
UDP_PORTS = (6767, 8500, 8501, 8800)
TCP_PORT = 6501
ALPN = "parlavue/1"
MAX_CONNECTIONS = 64

libc = ctypes.CDLL(None, use_errno=True)
netns_lock = threading.Lock()


def in_namespace(path, make):
    """Runs make() with this thread in the namespace at path: a socket keeps the namespace it
    was made in."""
    with netns_lock:
        home = os.open("/proc/thread-self/ns/net", os.O_RDONLY)
        there = os.open(path, os.O_RDONLY)
        try:
            if libc.setns(there, CLONE_NEWNET) != 0:
                raise OSError(ctypes.get_errno(), "setns " + path)
            try:
                return make()
            finally:
                libc.setns(home, CLONE_NEWNET)
        finally:
            os.close(there)
            os.close(home)


def tls_contexts(cert, key):
    server = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    client = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    client.check_hostname = False
    client.verify_mode = ssl.CERT_NONE
    for ctx in (server, client):
        ctx.minimum_version = ssl.TLSVersion.TLSv1_3
        ctx.load_cert_chain(cert, key)
        ctx.set_alpn_protocols([ALPN])
    return server, client


class Relay:
    def __init__(self, ns_a, ns_b, addr_a, addr_b, cert, key, log_path, seconds):
        # Side "a" faces A and answers for B's address; side "b" faces B and speaks as A.
        self.sides = {"a": ("/run/netns/" + ns_a, addr_b), "b": ("/run/netns/" + ns_b, addr_a)}
        self.peer = {"a": addr_a, "b": addr_b}
        self.server_ctx, self.client_ctx = tls_contexts(cert, key)
        self.log_file = open(log_path, "a")
        self.deadline = time.monotonic() + seconds
        self.stop = False
        self.forwarded = {}
        self.connections = 0
        self.lock = threading.Lock()
        self.udp = {}
        self.listeners = {}
        for side, (ns, own) in self.sides.items():
            for port in UDP_PORTS:
                self.udp[(side, port)] = in_namespace(ns, lambda: self.bound(socket.SOCK_DGRAM, own, port))
            listener = in_namespace(ns, lambda: self.bound(socket.SOCK_STREAM, own, TCP_PORT))
            listener.listen(8)
            self.listeners[listener] = side

    @staticmethod
    def bound(kind, address, port):
        s = socket.socket(socket.AF_INET, kind)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind((address, port))
        return s

    def note(self, line):
        with self.lock:
            self.log_file.write(line + "\n")
            self.log_file.flush()

    def running(self):
        return not self.stop and time.monotonic() < self.deadline

    def run(self):
        print("relaying", flush=True)
        sockets = list(self.udp.values()) + list(self.listeners)
        by_socket = {s: key for key, s in self.udp.items()}
        while self.running():
            ready, _, _ = select.select(sockets, [], [], 0.2)
            for s in ready:
                if s in self.listeners:
                    self.accept(s)
                    continue
                side, port = by_socket[s]
                try:
                    data, _ = s.recvfrom(65535)
                except OSError:
                    continue
                other = "b" if side == "a" else "a"
                try:
                    self.udp[(other, port)].sendto(data, (self.peer[other], port))
                except OSError:
                    continue
                key = "%s->%s %d" % (side, other, port)
                self.forwarded[key] = self.forwarded.get(key, 0) + 1
        for key in sorted(self.forwarded):
            self.note("forwarded %s: %d" % (key, self.forwarded[key]))

    def accept(self, listener):
        conn, _ = listener.accept()
        if self.connections >= MAX_CONNECTIONS:
            conn.close()
            return
        self.connections += 1
        side = self.listeners[listener]
        threading.Thread(target=self.carry, args=(conn, side), daemon=True).start()

    def carry(self, conn, side):
        other = "b" if side == "a" else "a"
        far = None
        try:
            conn.settimeout(5)
            first = conn.recv(1, socket.MSG_PEEK)
            tls = first == b"\x16"
            if tls:
                conn = self.server_ctx.wrap_socket(conn, server_side=True)
            ns, own = self.sides[other]
            far = in_namespace(ns, lambda: socket.socket(socket.AF_INET, socket.SOCK_STREAM))
            far.settimeout(5)
            far.bind((own, 0))
            far.connect((self.peer[other], TCP_PORT))
            if tls:
                far = self.client_ctx.wrap_socket(far)
            self.note("%s %s->%s" % ("tls" if tls else "plain", side, other))
            self.pump(conn, far)
        except (OSError, ssl.SSLError) as e:
            self.note("failed %s->%s: %s" % (side, other, e))
        finally:
            for s in (conn, far):
                if s is not None:
                    s.close()

    def pump(self, x, y):
        """Carries bytes both ways until either end closes; one thread, so no TLS object is
        used by two threads at once."""
        for s in (x, y):
            s.setblocking(False)
        while self.running():
            pending = [s for s in (x, y) if isinstance(s, ssl.SSLSocket) and s.pending()]
            ready = pending or select.select([x, y], [], [], 0.2)[0]
            for src in ready:
                dst = y if src is x else x
                try:
                    data = src.recv(65536)
                except (ssl.SSLWantReadError, ssl.SSLWantWriteError, BlockingIOError):
                    continue
                if not data:
                    return
                dst.settimeout(5)
                dst.sendall(data)
                dst.setblocking(False)


def main():
    if len(sys.argv) != 9:
        print(__doc__, file=sys.stderr)
        return 2
    relay = Relay(*sys.argv[1:8], float(sys.argv[8]))
    signal.signal(signal.SIGTERM, lambda *_: setattr(relay, "stop", True))
    relay.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
