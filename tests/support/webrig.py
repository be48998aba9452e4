# SPDX-License-Identifier: GPL-3.0-or-later
"""The web page's rig: the program without a window serving the page on a
loopback port found without a race (a start that finds its port taken tries
another), and raw HTTP requests to it."""
import os
import socket
import subprocess
import tempfile
import threading
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(check, timeout=20):
    """The first true value of check(); the last one after timeout."""
    end = time.monotonic() + timeout
    while True:
        value = check()
        if value or time.monotonic() > end:
            return value
        time.sleep(0.1)


class Served:
    """`vossbridge --headless` with group Web of a scratch settings file and
    the other groups in `groups`."""

    def __init__(self, program, web, groups="", host="127.0.0.1", port=None):
        self.dir = tempfile.TemporaryDirectory()
        self.log = os.path.join(self.dir.name, "log")
        for _ in range(10):
            self.port = port or free_port()
            ini = os.path.join(self.dir.name, "Vossbridge", "Vossbridge.ini")
            os.makedirs(os.path.dirname(ini), exist_ok=True)
            with open(ini, "w") as f:
                f.write("[Web]\nEnabled=true\nListen=%s:%d\n" % (host, self.port))
                f.write("".join("%s=%s\n" % kv for kv in web.items()) + groups)
            env = dict(os.environ, XDG_CONFIG_HOME=self.dir.name)
            with open(self.log, "w") as log:
                self.proc = subprocess.Popen([program, "--headless"], env=env,
                                             stdout=subprocess.DEVNULL, stderr=log)
            self.status = self.wait_status()
            if port or "in use" not in self.status:
                break
            self.proc.terminate()
            self.proc.wait(10)
        self.ini = ini

    def wait_status(self):
        """The log's line on listening."""
        lines = lambda: self.log_text().splitlines()
        return wait_for(lambda: next((l for l in lines() if "serving the page" in l
                                      or "can't listen" in l), None), 30) or ""

    def token(self):
        with open(self.ini) as f:
            return next((l.strip()[6:] for l in f if l.startswith("Token=")), None)

    def log_text(self):
        with open(self.log) as f:
            return f.read()

    def stop(self):
        self.proc.terminate()
        self.proc.wait(10)
        self.dir.cleanup()


def head(port, method="GET", path="/", headers=(), body=b"", host=None):
    lines = ["%s %s HTTP/1.1" % (method, path), "Host: %s" % (host or "127.0.0.1:%d" % port)]
    lines += ["%s: %s" % h for h in headers]
    if body:
        lines.append("Content-Length: %d" % len(body))
    return ("\r\n".join(lines) + "\r\n\r\n").encode() + body


def exchange(port, raw, timeout=10):
    """The status and the head of the answer; status 0 when the server closed
    without answering."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        try:
            s.sendall(raw)
            data = b""
            while b"\r\n\r\n" not in data:
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
        except (ConnectionResetError, BrokenPipeError):
            return 0, ""
    text = data.decode("latin-1")
    return (int(text.split()[1]) if text else 0), text


def upgrade_headers(origin=None):
    h = [("Upgrade", "websocket"), ("Connection", "Upgrade"),
         ("Sec-WebSocket-Key", "dGhlIHNhbXBsZSBub25jZQ=="), ("Sec-WebSocket-Version", "13")]
    return h + ([("Origin", origin)] if origin else [])


class WebSocketClient:
    """The page's WebSocket from a script: counts the server's text frames."""

    def __init__(self, port, receive_buffer=None):
        self.sock = socket.socket()
        if receive_buffer:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
        self.sock.settimeout(1)
        self.sock.connect(("127.0.0.1", port))
        self.sock.sendall(head(port, path="/ws", headers=upgrade_headers("http://127.0.0.1:%d" % port)))
        self.data = b""
        while b"\r\n\r\n" not in self.data:
            self.data += self.sock.recv(4096)
        self.data = self.data.split(b"\r\n\r\n", 1)[1]
        self.frames = 0

    def read(self):
        """Takes what arrived; the number of whole frames so far."""
        try:
            self.data += self.sock.recv(65536)
        except socket.timeout:
            pass
        while len(self.data) >= 2:
            size, start = self.data[1] & 0x7F, 2
            if size >= 126:
                start = 4 if size == 126 else 10
                size = int.from_bytes(self.data[2:start], "big")
            if len(self.data) < start + size:
                break
            self.data = self.data[start + size:]
            self.frames += 1
        return self.frames


def count_during(count, seconds):
    """How much count() grew in that many seconds."""
    start = count()
    time.sleep(seconds)
    return count() - start


def other_token(token):
    """A token of the same length that surely differs from `token`."""
    return ("A" if token[0] != "A" else "B") + token[1:]


class SlowClients(threading.Thread):
    """`count` clients each sending a request head a byte every 2 s, each
    coming back at once when cut off, until stop()."""

    def __init__(self, port, count):
        super().__init__(daemon=True)
        self.port, self.count, self.running = port, count, True
        self.start()

    def run(self):
        socks = [None] * self.count
        while self.running:
            for i in range(self.count):
                try:
                    socks[i] = socks[i] or socket.create_connection(("127.0.0.1", self.port), timeout=1)
                    socks[i].sendall(b"G")
                except OSError:
                    socks[i] = None  # cut off: back at the next round
            time.sleep(2)

    def stop(self):
        self.running = False
        self.join(30)
