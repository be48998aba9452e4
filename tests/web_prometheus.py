# SPDX-License-Identifier: GPL-3.0-or-later
"""Debian's Prometheus scrapes the page's /metrics with the token, from the
program without a window polling the meter simulator.
Usage: web_prometheus.py <vossbridge> <folder of the simulator>"""
import json
import os
import subprocess
import sys
import tempfile
import unittest
import urllib.request

from browser import MeterSim
from webrig import Served, exchange, free_port, head, wait_for

PROGRAM, BIN = sys.argv[1], sys.argv[2]


class Prometheus:
    """prometheus scraping `target` every second; a start that finds its
    port taken tries another."""

    def __init__(self, folder, target, token):
        config = os.path.join(folder, "prometheus.yml")
        with open(config, "w") as f:
            f.write("global: {scrape_interval: 1s}\nscrape_configs: [{job_name: vossbridge, "
                    "authorization: {credentials: %s}, static_configs: [{targets: ['%s']}]}]\n" % (token, target))
        self.log = os.path.join(folder, "prometheus.log")
        for _ in range(10):
            self.port = free_port()
            with open(self.log, "w") as log:
                self.proc = subprocess.Popen(
                    ["prometheus", "--config.file=" + config, "--storage.tsdb.path=" + folder + "/data",
                     "--web.listen-address=127.0.0.1:%d" % self.port], stdout=log, stderr=log)
            if wait_for(lambda: self.ready() or self.proc.poll() is not None, 60) and self.proc.poll() is None:
                break

    def ready(self):
        try:
            return urllib.request.urlopen("http://127.0.0.1:%d/-/ready" % self.port, timeout=2).status == 200
        except OSError:
            return False

    def query(self, expression):
        url = "http://127.0.0.1:%d/api/v1/query?query=%s" % (self.port, expression)
        with urllib.request.urlopen(url, timeout=5) as answer:
            result = json.load(answer)["data"]["result"]
        return result[0]["value"][1] if result else None

    def stop(self):
        self.proc.terminate()
        self.proc.wait(30)


class Scrape(unittest.TestCase):
    def test_prometheus_reads_the_meter(self):
        with tempfile.TemporaryDirectory() as scratch:
            link = os.path.join(scratch, "meter")
            sim = MeterSim(BIN, link, ["power 20", "swr 1.7", "range 1"])
            served = Served(PROGRAM, {}, "[Ports]\nCom5=%s\n[StartUp]\nComPort=5\n" % link, host="0.0.0.0")
            prometheus = Prometheus(scratch, "127.0.0.1:%d" % served.port, served.token())
            try:
                self.assertTrue(prometheus.ready(), open(prometheus.log).read()[-2000:])
                # (query, what Prometheus has once it scraped)
                rows = [("vossbridge_swr_ratio", "1.7"), ("vossbridge_power_watts", "20"),
                        ("vossbridge_range_full_scale_watts", "250"),
                        ('vossbridge_port{state="open"}', "1"), ("vossbridge_host_linked", "0")]
                for query, value in rows:
                    with self.subTest(query):
                        self.assertTrue(wait_for(lambda: prometheus.query(query) == value, 60),
                                        "%s: %s" % (query, prometheus.query(query)))
                _, answer = exchange(served.port, head(served.port, path="/metrics",
                                                       headers=[("Authorization", "Bearer " + served.token())]))
                lint = subprocess.run(["promtool", "check", "metrics"], input=answer.split("\r\n\r\n", 1)[1],
                                      capture_output=True, text=True)
                self.assertEqual(lint.returncode, 0, lint.stdout + lint.stderr)
            finally:
                prometheus.stop()
                served.stop()
                sim.stop()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
