#!/usr/bin/python3
"""A stranger on the link, for the end-to-end calls (run inside a host's network namespace).

  stranger.py poke FROM TO SECONDS   from address FROM, every 0.3 s for SECONDS: connect to TO's
                                     TCP port 6501 and close, send a small JPEG to TO's video
                                     port 8800 and a call request to its signalling port 6767
  stranger.py watch DEV ADDRESS      until SIGTERM: counts the UDP datagrams on DEV that go to
                                     ADDRESS, by destination port; prints them as JSON at the end
  stranger.py capture DEV FILE       until SIGTERM: writes every TCP and UDP payload on DEV to
                                     FILE, each as protocol, source and destination port and
                                     length (struct "!BHHI") followed by the bytes
  stranger.py reset ADDRESS FILE SECONDS
                                     for at most SECONDS: on ADDRESS's TCP port 6501 resets
                                     every connection that opens with TLS (0x16) and reads what
                                     any other sends; takes datagrams on its port 6767; appends
                                     one line per event to FILE ("reset", "tcp <first bytes>",
                                     "udp <first bytes>")
"""

import json
import select
import signal
import socket
import struct
import sys
import time

# Shaped like a JPEG picture (start and end markers); whether it decodes does not matter, only
# who it comes from.
FAKE_JPEG = b"\xff\xd8" + bytes(200) + b"\xff\xd9"


def poke(source, target, seconds):
    deadline = time.monotonic() + float(seconds)
    rounds = 0
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.bind((source, 0))
    while time.monotonic() < deadline and rounds < 100:
        rounds += 1
        udp.sendto(FAKE_JPEG, (target, 8800))
        udp.sendto(b"Calling|Eve", (target, 6767))
        tcp = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        tcp.settimeout(1.0)
        try:
            tcp.bind((source, 0))
            tcp.connect((target, 6501))
        except OSError:
            pass
        finally:
            tcp.close()
        time.sleep(0.3)
    print(json.dumps({"rounds": rounds}), flush=True)


def watch(device, address):
    wanted = socket.inet_aton(address)
    counts = {}
    s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.ntohs(0x0003))
    s.bind((device, 0))
    s.settimeout(0.2)
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(True))
    print("watching", flush=True)
    while not stop:
        try:
            frame = s.recv(65535)
        except socket.timeout:
            continue
        except InterruptedError:
            continue
        # Ethernet II carrying IPv4 carrying UDP, to the address watched.
        if len(frame) < 14 + 20 + 8 or frame[12:14] != b"\x08\x00":
            continue
        ip = frame[14:]
        header = (ip[0] & 0x0F) * 4
        if ip[9] != 17 or ip[16:20] != wanted or len(ip) < header + 8:
            continue
        port = struct.unpack("!H", ip[header + 2:header + 4])[0]
        payload = ip[header + 8:]
        key = str(port)
        if port == 6767:
            key += ":" + payload[:16].decode("latin-1")
        counts[key] = counts.get(key, 0) + 1
    print(json.dumps(counts), flush=True)


def defragment(header, parts):
    """The whole IP packet once every fragment of it is in, else None."""
    body, at = b"", 0
    while at in parts:
        data, more = parts[at]
        body += data
        at += len(data)
        if not more:
            return header + body
    return None


def capture(device, path):
    s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.ntohs(0x0003))
    s.bind((device, 0))
    s.settimeout(0.2)
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(True))
    kept = 0
    # A large datagram crosses the link in fragments; only the first carries the UDP header,
    # so each is put back together before its ports and body are read.
    pending = {}
    with open(path, "wb") as out:
        print("capturing", flush=True)
        # Bounded: a call of a few seconds and a small file are far below it.
        while not stop and kept < 512 << 20:
            try:
                frame, info = s.recvfrom(65535)
            except (socket.timeout, InterruptedError):
                continue
            # Each frame once: what this host sends, as it goes out, and what it receives.
            if len(frame) < 14 + 20 or frame[12:14] != b"\x08\x00":
                continue
            ip = frame[14:]
            header = (ip[0] & 0x0F) * 4
            total = struct.unpack("!H", ip[2:4])[0]
            proto = ip[9]
            flags = struct.unpack("!H", ip[6:8])[0]
            more, offset = flags & 0x2000, (flags & 0x1FFF) * 8
            if more or offset:
                key = (ip[12:20], ip[4:6], proto)
                parts = pending.setdefault(key, {})
                parts[offset] = (ip[header:total], bool(more))
                ip = defragment(ip[:header], parts)
                if ip is None:
                    if len(pending) > 256:  # lost fragments never complete
                        pending.pop(next(iter(pending)))
                    continue
                del pending[key]
                total = len(ip)
            if proto == 17 and len(ip) >= header + 8:
                body = ip[header + 8:total]
            elif proto == 6 and len(ip) >= header + 20:
                body = ip[header + (ip[header + 12] >> 4) * 4:total]
            else:
                continue
            sport, dport = struct.unpack("!HH", ip[header:header + 4])
            out.write(struct.pack("!BHHI", proto, sport, dport, len(body)) + body)
            kept += len(body)
    print(kept, flush=True)


def reset(address, path, seconds):
    deadline = time.monotonic() + float(seconds)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, 6501))
    listener.listen(8)
    udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    udp.bind((address, 6767))
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(True))
    with open(path, "a") as out:
        def note(line):
            out.write(line + "\n")
            out.flush()
        print("relaying", flush=True)
        events = 0
        while not stop and time.monotonic() < deadline and events < 1000:
            try:
                ready = select.select([listener, udp], [], [], 0.2)[0]
            except InterruptedError:
                continue
            for s in ready:
                events += 1
                if s is udp:
                    note("udp " + udp.recv(65535)[:40].decode("latin-1"))
                    continue
                conn = listener.accept()[0]
                conn.settimeout(2.0)
                try:
                    first = conn.recv(64)
                except OSError:
                    first = b""
                if first[:1] == b"\x16":
                    # As a relay that will not let the channel through: a reset at once.
                    conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    note("reset")
                elif first:
                    note("tcp " + first[:40].decode("latin-1"))
                conn.close()


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "poke":
        poke(*sys.argv[2:])
    elif len(sys.argv) == 4 and sys.argv[1] == "watch":
        watch(*sys.argv[2:])
    elif len(sys.argv) == 4 and sys.argv[1] == "capture":
        capture(*sys.argv[2:])
    elif len(sys.argv) == 5 and sys.argv[1] == "reset":
        reset(*sys.argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
