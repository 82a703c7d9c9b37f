#!/usr/bin/env python3
"""Looks at a running headless demo from outside, as a viewer and as an auditor would.

  demo_probe.py freeports N                  N free loopback TCP ports, one line
  demo_probe.py occupy                       listens on a free loopback port, prints it, waits
  demo_probe.py listeners PID...             every TCP socket those processes listen on
  demo_probe.py page URL                     the noVNC page answers
  demo_probe.py rfb PORT                     the VNC greeting and screen size, straight
  demo_probe.py ws PORT                      the same VNC greeting through the WebSocket bridge
  demo_probe.py rendered PORT                the screen shows more than a blank colour
  demo_probe.py viewer PORT                  stays connected through the bridge until it closes
Exit status 0 when the answer is as expected; otherwise the reason goes to stderr.
"""
import base64
import os
import socket
import struct
import sys
import time
import urllib.request

TIMEOUT = 20


def fail(message):
    print(message, file=sys.stderr)
    sys.exit(1)


def recv_exact(sock, count):
    data = b""
    while len(data) < count:
        chunk = sock.recv(count - len(data))
        if not chunk:
            raise ConnectionError(f"closed after {len(data)} of {count} bytes")
        data += chunk
    return data


def freeports(count):
    # All bound at once so the ports differ; a later bind by someone else is unlikely in between.
    socks = []
    for _ in range(count):
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        socks.append(s)
    print(" ".join(str(s.getsockname()[1]) for s in socks))


def occupy():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    s.listen()
    print(s.getsockname()[1], flush=True)
    while True:
        time.sleep(60)


def listeners(pids):
    """Prints "tcp ADDRESS:PORT" or "tcp6 [ADDRESS]:PORT" for each listening socket of the pids."""
    inodes = set()
    for pid in pids:
        fd_dir = f"/proc/{pid}/fd"
        try:
            fds = os.listdir(fd_dir)
        except FileNotFoundError:
            continue  # ended meanwhile
        for fd in fds:
            try:
                target = os.readlink(f"{fd_dir}/{fd}")
            except FileNotFoundError:
                continue
            if target.startswith("socket:["):
                inodes.add(target[8:-1])
    for family, name in ((socket.AF_INET, "tcp"), (socket.AF_INET6, "tcp6")):
        with open(f"/proc/net/{name}") as table:
            next(table)
            for line in table:
                fields = line.split()
                local, state, inode = fields[1], fields[3], fields[9]
                if state != "0A" or inode not in inodes:  # 0A: LISTEN
                    continue
                address, port = local.split(":")
                # The kernel prints the address as 32-bit words in host order.
                raw = b"".join(struct.pack("=I", int(address[i:i + 8], 16))
                               for i in range(0, len(address), 8))
                text = socket.inet_ntop(family, raw)
                port = int(port, 16)
                print(f"tcp {text}:{port}" if name == "tcp" else f"tcp6 [{text}]:{port}")


def page(url):
    with urllib.request.urlopen(url, timeout=TIMEOUT) as response:
        body = response.read().decode("utf-8", "replace")
        if response.status != 200 or "noVNC" not in body:
            fail(f"{url}: status {response.status}, no noVNC in the page")
    print(f"{url}: 200, noVNC")


def check_greeting(greeting):
    if not (greeting.startswith(b"RFB 003.00") and greeting.endswith(b"\n")):
        fail(f"not a VNC greeting: {greeting!r}")
    return greeting.decode().strip()


def rfb_session(port):
    """Connects, says hello without a password (the server must not ask for one), and returns the
    socket with the screen size and the greeting."""
    sock = socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT)
    greeting = check_greeting(recv_exact(sock, 12))
    sock.sendall(b"RFB 003.008\n")
    count = recv_exact(sock, 1)[0]
    types = recv_exact(sock, count) if count else b""
    if 1 not in types:
        fail(f"the VNC server wants security types {list(types)}, not none")
    sock.sendall(b"\x01")
    if struct.unpack(">I", recv_exact(sock, 4))[0] != 0:
        fail("the VNC server refused the connection")
    sock.sendall(b"\x01")  # shared: other viewers stay connected
    width, height = struct.unpack(">HH", recv_exact(sock, 4))
    recv_exact(sock, 16)  # its pixel format; ours is set below
    recv_exact(sock, struct.unpack(">I", recv_exact(sock, 4))[0])  # desktop name
    return sock, greeting, width, height


def rfb(port):
    sock, greeting, width, height = rfb_session(port)
    sock.close()
    print(f"{greeting} {width}x{height}")


def screen_colours(port):
    """Fetches the whole screen once, raw, 32 bits a pixel; returns how many colours it has."""
    sock, _, width, height = rfb_session(port)
    with sock:
        # SetPixelFormat: 32 bpp, depth 24, little endian, true colour, 8 bits each at 16/8/0.
        sock.sendall(struct.pack(">B3xBBBBHHHBBB3x", 0, 32, 24, 0, 1, 255, 255, 255, 16, 8, 0))
        sock.sendall(struct.pack(">BxHi", 2, 1, 0))  # SetEncodings: raw only
        sock.sendall(struct.pack(">BBHHHH", 3, 0, 0, 0, width, height))  # the whole screen
        colours = set()
        while True:
            kind = recv_exact(sock, 1)[0]
            if kind == 0:  # FramebufferUpdate
                recv_exact(sock, 1)
                rects = struct.unpack(">H", recv_exact(sock, 2))[0]
                for _ in range(rects):
                    _, _, w, h, encoding = struct.unpack(">HHHHi", recv_exact(sock, 12))
                    if encoding != 0:
                        fail(f"unexpected encoding {encoding}")
                    pixels = recv_exact(sock, w * h * 4)
                    colours.update(pixels[i:i + 3] for i in range(0, len(pixels), 4 * 7))
                return len(colours)
            if kind == 2:  # Bell
                continue
            if kind == 3:  # ServerCutText
                recv_exact(sock, 3)
                recv_exact(sock, struct.unpack(">I", recv_exact(sock, 4))[0])
                continue
            fail(f"unexpected VNC message {kind}")


def rendered(port):
    # The program draws a picture with many colours; an empty X screen is one colour.
    deadline = time.monotonic() + 90
    while True:
        colours = screen_colours(port)
        if colours >= 50:
            print(f"the screen shows {colours} colours (sampled)")
            return
        if time.monotonic() > deadline:
            fail(f"the screen stayed blank ({colours} colours)")
        time.sleep(0.5)


def ws_connect(port):
    """Opens the WebSocket bridge as noVNC does and returns the socket."""
    sock = socket.create_connection(("127.0.0.1", port), timeout=TIMEOUT)
    key = base64.b64encode(os.urandom(16)).decode()
    sock.sendall((f"GET /websockify HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n"
                  "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                  f"Sec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n"
                  "Sec-WebSocket-Protocol: binary\r\n\r\n").encode())
    head = b""
    while b"\r\n\r\n" not in head:
        head += recv_exact(sock, 1)
    if not head.startswith(b"HTTP/1.1 101"):
        fail(f"the bridge refused the WebSocket: {head.splitlines()[0]!r}")
    return sock


def ws_read(sock):
    """One frame's payload (the server does not mask)."""
    first, second = recv_exact(sock, 2)
    length = second & 0x7F
    if length == 126:
        length = struct.unpack(">H", recv_exact(sock, 2))[0]
    elif length == 127:
        length = struct.unpack(">Q", recv_exact(sock, 8))[0]
    payload = recv_exact(sock, length)
    if first & 0x0F == 8:
        raise ConnectionError("the bridge closed the WebSocket")
    return payload


def ws_greeting(sock):
    data = b""
    while len(data) < 12:
        data += ws_read(sock)
    return check_greeting(data[:12])


def ws(port):
    with ws_connect(port) as sock:
        print(f"{ws_greeting(sock)} through the WebSocket")


def viewer(port):
    sock = ws_connect(port)
    ws_greeting(sock)
    print("connected", flush=True)
    sock.settimeout(None)
    try:
        while sock.recv(4096):
            pass
    except OSError:
        pass


def main():
    command, args = sys.argv[1], sys.argv[2:]
    try:
        if command == "freeports":
            freeports(int(args[0]))
        elif command == "occupy":
            occupy()
        elif command == "listeners":
            listeners(args)
        elif command == "page":
            page(args[0])
        elif command in ("rfb", "ws", "rendered", "viewer"):
            globals()[command](int(args[0]))
        else:
            fail(f"unknown command {command}")
    except (OSError, ConnectionError) as error:
        fail(f"{command} {' '.join(args)}: {error}")


if __name__ == "__main__":
    main()
