# SPDX-License-Identifier: GPL-3.0-or-later
"""The web page's server over plain HTTP: who may look, what is refused, and
what ties it up is cut off. Usage: web_http.py <vossbridge>"""
import socket
import sys
import time
import unittest

from webrig import Served, exchange, head, upgrade_headers

PROGRAM = sys.argv[1]
EVIL = "http://evil.example"


class Http(unittest.TestCase):
    def test_requests(self):
        # (name, listen, Commands, request builder(port, token), status, words in the answer or log)
        rows = [
            ("no token beyond loopback", "0.0.0.0", "false", lambda p, t: head(p, path="/api/state"), 401, "no token"),
            ("wrong token in the query", "0.0.0.0", "false", lambda p, t: head(p, path="/?token=x" + t[1:]), 401, "wrong token"),
            ("wrong bearer", "0.0.0.0", "false", lambda p, t: head(p, path="/api/state", headers=[("Authorization", "Bearer " + t[:-1])]), 401, "wrong token"),
            ("token in the query gives the cookie", "0.0.0.0", "false", lambda p, t: head(p, path="/?token=" + t), 303, "HttpOnly; SameSite=Strict"),
            ("cookie", "0.0.0.0", "false", lambda p, t: head(p, path="/api/state", headers=[("Cookie", "a=b; vossbridge_token=" + t)]), 200, '"meter"'),
            ("bearer", "0.0.0.0", "false", lambda p, t: head(p, path="/api/state", headers=[("Authorization", "Bearer " + t)]), 200, '"meter"'),
            ("WebSocket without token", "0.0.0.0", "false", lambda p, t: head(p, path="/ws", headers=upgrade_headers()), 401, "no token"),
            ("loopback needs no token", "127.0.0.1", "false", lambda p, t: head(p, path="/api/state"), 200, '"meter"'),
            ("page's files", "127.0.0.1", "false", lambda p, t: head(p, path="/app.js"), 200, "text/javascript"),
            ("foreign host name on loopback", "127.0.0.1", "false", lambda p, t: head(p, path="/", host="evil.example"), 403, "loopback host"),
            ("header name with a blank", "127.0.0.1", "false", lambda p, t: head(p, headers=[("X Bad", "1")]), 400, "malformed"),
            ("not HTTP/1", "127.0.0.1", "false", lambda p, t: b"GET / HTTP/2.0\r\nHost: 127.0.0.1\r\n\r\n", 400, "malformed"),
            ("chunked body", "127.0.0.1", "true", lambda p, t: head(p, "POST", "/api/command/alarm", [("Transfer-Encoding", "chunked")]), 400, "Content-Length"),
            ("PUT", "127.0.0.1", "false", lambda p, t: head(p, "PUT", "/api/state"), 405, "Allow: GET, POST"),
            ("head over 8 KB", "127.0.0.1", "false", lambda p, t: head(p, headers=[("X-Pad", "a" * 9000)]), 431, "head over"),
            ("body over 1 KB", "127.0.0.1", "true", lambda p, t: head(p, "POST", "/api/command/alarm", body=b"x" * 1100), 413, "body over"),
            ("command while Commands is off", "127.0.0.1", "false", lambda p, t: head(p, "POST", "/api/command/alarm", [("Origin", "http://127.0.0.1:%d" % p)]), 403, "commands are off"),
            ("command from another origin", "127.0.0.1", "true", lambda p, t: head(p, "POST", "/api/command/alarm", [("Origin", EVIL)]), 403, "another origin"),
            ("command without origin", "127.0.0.1", "true", lambda p, t: head(p, "POST", "/api/command/peak"), 403, "another origin"),
            ("command from the page", "127.0.0.1", "true", lambda p, t: head(p, "POST", "/api/command/peak", [("Origin", "http://127.0.0.1:%d" % p)]), 204, "command"),
            ("WebSocket from another origin", "127.0.0.1", "false", lambda p, t: head(p, path="/ws", headers=upgrade_headers(EVIL)), 403, "another origin"),
            ("WebSocket from the page", "127.0.0.1", "false", lambda p, t: head(p, path="/ws", headers=upgrade_headers("http://127.0.0.1:%d" % p)), 101, "Upgrade"),
        ]
        for name, listen, commands, build, status, words in rows:
            with self.subTest(name):
                served = Served(PROGRAM, {"Commands": commands}, host=listen)
                try:
                    got, answer = exchange(served.port, build(served.port, served.token() or "-" * 32))
                    self.assertEqual(got, status, answer)
                    time.sleep(0.2)  # the log line
                    self.assertIn(words, answer + served.log_text())
                finally:
                    served.stop()

    def test_silent_clients_are_cut_off(self):
        served = Served(PROGRAM, {})
        try:
            # (name, what the client sends before falling silent)
            rows = [("nothing", b""), ("half a head", b"GET / HTTP/1.1\r\nHost: x")]
            sockets = []
            for name, sent in rows:
                s = socket.create_connection(("127.0.0.1", served.port), timeout=20)
                s.sendall(sent)
                sockets.append((name, s))
            for name, s in sockets:
                with self.subTest(name):
                    self.assertEqual(s.recv(100), b"")  # closed well before the 20 s
                    s.close()
        finally:
            served.stop()

    def test_clients_beyond_64_are_cut_off(self):
        served = Served(PROGRAM, {})
        try:
            idle = [socket.create_connection(("127.0.0.1", served.port)) for _ in range(63)]
            got64, _ = exchange(served.port, head(served.port, path="/api/state"))
            time.sleep(0.5)  # the server has let the 64th go
            with socket.create_connection(("127.0.0.1", served.port), timeout=10) as s65:
                idle.append(s65)  # held open while the 65th asks
                got65, _ = exchange(served.port, head(served.port, path="/api/state"))
            for s in idle:
                s.close()
            time.sleep(0.5)
            again, _ = exchange(served.port, head(served.port, path="/api/state"))
            self.assertEqual((got64, got65, again), (200, 0, 200))
            self.assertIn("already 64 clients", served.log_text())
        finally:
            served.stop()

    def test_port_in_use(self):
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            port = taken.getsockname()[1]
            served = Served(PROGRAM, {}, port=port)
            try:
                self.assertIn("can't listen on 127.0.0.1:%d: in use" % port, served.status)
                time.sleep(0.5)
                self.assertIsNone(served.proc.poll())  # the rest goes on
            finally:
                served.stop()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
