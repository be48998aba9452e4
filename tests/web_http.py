# SPDX-License-Identifier: GPL-3.0-or-later
"""The web page's server over plain HTTP in the real program: who may look
and what is refused (what ties it up is tst_webserver's).
Usage: web_http.py <vossbridge>"""
import socket
import sys
import time
import unittest

from webrig import Served, exchange, head, other_token, upgrade_headers, wait_for

PROGRAM = sys.argv[1]
EVIL = "http://evil.example"


class Http(unittest.TestCase):
    def test_requests(self):
        # (name, listen, Commands, request builder(port, token), status, words in the answer or log)
        rows = [
            ("no token beyond loopback", "0.0.0.0", "false", lambda p, t: head(p, path="/api/state"), 401, "no token"),
            ("wrong token in the query", "0.0.0.0", "false", lambda p, t: head(p, path="/?token=" + other_token(t)), 401, "wrong token"),
            ("wrong bearer", "0.0.0.0", "false", lambda p, t: head(p, path="/api/state", headers=[("Authorization", "Bearer " + t[:-1])]), 401, "wrong token"),
            ("token in the query gives the port's cookie", "0.0.0.0", "false", lambda p, t: head(p, path="/?token=" + t), 303, "Set-Cookie: vossbridge_token_"),
            ("cookie", "0.0.0.0", "false", lambda p, t: head(p, path="/api/state", headers=[("Cookie", "a=b; vossbridge_token_%d=%s" % (p, t))]), 200, '"meter"'),
            ("another port's cookie", "0.0.0.0", "false", lambda p, t: head(p, path="/api/state", headers=[("Cookie", "vossbridge_token_%d=%s" % (p + 1, t))]), 401, "no token"),
            ("metrics need the token", "0.0.0.0", "false", lambda p, t: head(p, path="/metrics"), 401, "no token"),
            ("bearer", "0.0.0.0", "false", lambda p, t: head(p, path="/api/state", headers=[("Authorization", "Bearer " + t)]), 200, '"meter"'),
            ("WebSocket without token", "0.0.0.0", "false", lambda p, t: head(p, path="/ws", headers=upgrade_headers()), 401, "no token"),
            ("loopback needs no token", "127.0.0.1", "false", lambda p, t: head(p, path="/api/state"), 200, '"meter"'),
            ("page's files", "127.0.0.1", "false", lambda p, t: head(p, path="/app.js"), 200, "text/javascript"),
            ("foreign host name on loopback", "127.0.0.1", "false", lambda p, t: head(p, path="/", host="evil.example"), 403, "loopback host"),
            ("rebound name on loopback", "127.0.0.1", "false", lambda p, t: head(p, path="/api/state", host="127.0.0.1.evil.example:%d" % p), 403, "loopback host"),
            ("rebound WebSocket", "127.0.0.1", "false", lambda p, t: head(p, path="/ws", host="127.0.0.1.evil.example:%d" % p, headers=upgrade_headers("http://127.0.0.1.evil.example:%d" % p)), 403, "loopback host"),
            ("command with a rebound origin", "127.0.0.1", "true", lambda p, t: head(p, "POST", "/api/command/alarm", [("Origin", "http://127.0.0.1.evil.example:%d" % p)]), 403, "another origin"),
            ("two Host fields", "127.0.0.1", "false", lambda p, t: head(p, headers=[("Host", "127.0.0.1")]), 400, "Host"),
            ("two Content-Length", "127.0.0.1", "true", lambda p, t: head(p, "POST", "/api/command/peak", [("Content-Length", "0")], body=b"GET / HTTP/1.1\r\n\r\n"), 400, "Content-Length"),
            ("signed Content-Length", "127.0.0.1", "true", lambda p, t: head(p, "POST", "/api/command/peak", [("Content-Length", "+3")]) + b"abc", 400, "Content-Length"),
            ("bare LF line ends", "127.0.0.1", "false", lambda p, t: head(p, path="/api/state").replace(b"\r\n", b"\n"), 200, '"meter"'),
            ("HTTP/1.0 closes", "127.0.0.1", "false", lambda p, t: b"GET /app.js HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n", 200, "Connection: close"),
            ("metrics", "127.0.0.1", "false", lambda p, t: head(p, path="/metrics"), 200, "vossbridge_swr_ratio 0"),
            ("close among tokens", "127.0.0.1", "false", lambda p, t: head(p, path="/app.js", headers=[("Connection", "foo, close")]), 200, "Connection: close"),
            ("header name with a blank", "127.0.0.1", "false", lambda p, t: head(p, headers=[("X Bad", "1")]), 400, "malformed"),
            ("not HTTP/1", "127.0.0.1", "false", lambda p, t: b"GET / HTTP/2.0\r\nHost: 127.0.0.1\r\n\r\n", 400, "malformed"),
            ("chunked body", "127.0.0.1", "true", lambda p, t: head(p, "POST", "/api/command/alarm", [("Transfer-Encoding", "chunked")]), 501, "Content-Length"),
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
                    wait_for(lambda: words in answer + served.log_text(), 5)
                    self.assertIn(words, answer + served.log_text())
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
