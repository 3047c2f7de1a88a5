#!/usr/bin/python3
"""A peer that speaks only the plain wire, as a copy from before keys did (run inside a host's
network namespace).

  old_copy.py ADDRESS FOLDER SECONDS

Listens on ADDRESS's UDP port 6767 and TCP port 6501 for at most SECONDS and takes commands on
its standard input, one a line:

  say TARGET TEXT        sends TEXT as one datagram to TARGET's port 6767
  send TARGET NAME PATH  sends the file at PATH under NAME to TARGET's port 6501 in the plain
                         framing and reads the 16-byte acknowledgement
  quit

It prints one line per event: "ready", "udp <sender> <text>", "acked <sender> <reply as JSON>",
"stored <sender> <name> <size> <sha256>", "tls <sender>" for a connection that opens with a TLS
record (it is closed at once), "bad <sender> <why>" for one that is not the plain framing.
"""

import hashlib
import json
import os
import select
import socket
import sys
import time

ACK = b"OK" + b" " * 14
MAX_BODY = 64 << 20  # more than any test sends; a peer's length never sizes our memory


def say(line):
    print(line, flush=True)


def read_exactly(conn, n):
    data = b""
    while len(data) < n:
        part = conn.recv(min(n - len(data), 1 << 16))
        if not part:
            raise EOFError("closed after %d of %d bytes" % (len(data), n))
        data += part
    return data


def serve(conn, sender, folder):
    conn.settimeout(10.0)
    first = conn.recv(1, socket.MSG_PEEK)
    if first == b"\x16":
        say("tls %s" % sender)
        return
    try:
        n = int(read_exactly(conn, 4).decode("ascii"))
        name = read_exactly(conn, n).decode("latin-1")
        size = int(read_exactly(conn, 10).decode("ascii").lstrip(" "))
        if not 0 <= size <= MAX_BODY or os.path.basename(name) != name or name in ("", ".", ".."):
            raise ValueError("name %r, size %d" % (name, size))
        body = read_exactly(conn, size)
    except (ValueError, EOFError, OSError) as e:
        say("bad %s %s" % (sender, e))
        return
    with open(os.path.join(folder, name), "wb") as f:
        f.write(body)
    conn.sendall(ACK)
    say("stored %s %s %d %s" % (sender, name, size, hashlib.sha256(body).hexdigest()))


def send(target, name, path):
    with open(path, "rb") as f:
        body = f.read()
    raw = name.encode("latin-1")
    with socket.create_connection((target, 6501), timeout=10.0) as conn:
        conn.sendall(b"%04d" % len(raw) + raw)
        conn.sendall(b"%10d" % len(body))
        conn.sendall(body)
        reply = b""
        while len(reply) < 16:
            part = conn.recv(16 - len(reply))
            if not part:
                break
            reply += part
    say("acked %s %s" % (target, json.dumps(reply.decode("latin-1"))))


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    address, folder, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
    deadline = time.monotonic() + seconds
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.bind((address, 6767))
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, 6501))
    listener.listen(8)
    say("ready")
    events = 0
    while time.monotonic() < deadline and events < 1000:
        ready = select.select([udp, listener, sys.stdin], [], [], 0.2)[0]
        for source in ready:
            events += 1
            if source is udp:
                data, (sender, _) = udp.recvfrom(8192)
                say("udp %s %s" % (sender, data.decode("latin-1")))
            elif source is listener:
                conn, (sender, _) = listener.accept()
                with conn:
                    serve(conn, sender, folder)
            else:
                words = sys.stdin.readline().split(" ", 3)
                if words[0].strip() in ("", "quit"):
                    return
                if words[0] == "say":
                    udp.sendto(" ".join(words[2:]).rstrip("\n").encode("latin-1"),
                               (words[1], 6767))
                elif words[0] == "send":
                    send(words[1], words[2], words[3].rstrip("\n"))


if __name__ == "__main__":
    main()
