# SPDX-License-Identifier: GPL-3.0-or-later
"""The web page in a real browser, served by the program without a window
polling the meter simulator. Usage: web_browser.py <vossbridge> <folder of the simulator>"""
import os
import sys
import tempfile
import unittest

from browser import MeterSim, chromium
from webrig import Served, SlowClients, WebSocketClient, count_during, wait_for

PROGRAM, BIN = sys.argv[1], sys.argv[2]
ALARM_RED = "rgba(192, 0, 0, 1)"  # rgb(192, 0, 0) as chromium reports it


class Browser(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.link = os.path.join(self.dir.name, "meter")
        self.sim = MeterSim(BIN, self.link, ["power 10", "swr 1.1", "alarm 1", "range 1"])
        self.browser = chromium()

    def tearDown(self):
        self.browser.quit()
        self.sim.stop()
        self.dir.cleanup()

    def open(self, commands, host="127.0.0.1"):
        self.serve(commands, host)
        self.load()

    def serve(self, commands, host="127.0.0.1"):
        ini = "[Ports]\nCom5=%s\n[StartUp]\nComPort=5\n" % self.link  # the default 80 ms
        self.served = Served(PROGRAM, {"Commands": commands}, ini, host=host)
        self.addCleanup(self.served.stop)

    def load(self):
        token = self.served.token()
        self.browser.get("http://127.0.0.1:%d/%s" % (self.served.port, "?token=" + token if token else ""))

    def text(self, id_):
        return self.browser.find_element("id", id_).text

    def swr_colour(self):
        return self.browser.find_element("id", "swr-bar").value_of_css_property("background-color")

    def test_page_follows_the_meter(self):
        self.open("false")
        # (name, simulator commands, what the page shows once they took)
        rows = [
            ("digits follow the power", ["power 123.4"], lambda: self.text("power") == "123.40"),
            ("range's full scale", ["range 0"], lambda: self.text("range") == "2500 W"),
            ("SWR over the alarm turns the bar red", ["swr 2.5"], lambda: self.swr_colour() == ALARM_RED),
            ("SWR digits", [], lambda: self.text("swr") == "2.50"),
            ("SWR back under", ["swr 1.2"], lambda: self.swr_colour() not in ("", ALARM_RED)),
            ("resistance and reactance to a tenth", ["impedance 48.7", "phase 12", "gate 20"],
             lambda: (self.text("resistance"), self.text("reactance")) == ("47.6", "10.1")),
            ("port lost", ["hangup"], lambda: self.text("meter-state") == "port lost"),
        ]
        for name, commands, shown in rows:
            with self.subTest(name):
                for c in commands:
                    self.sim.send(c)
                self.assertTrue(wait_for(shown), name)
        self.assertNotIn("alarm-button", self.browser.page_source)
        self.sim.stop()
        self.sim = MeterSim(BIN, self.link, ["power 42"])
        self.assertTrue(wait_for(lambda: self.text("meter-state") == "reading", 30), "back")
        self.assertTrue(wait_for(lambda: self.text("power") == "42.00"), "back")

    def test_the_owner_gets_in_past_70_slow_clients(self):
        self.serve("false")
        polls = lambda: self.sim.received().count(";P?")
        wait_for(polls)
        quiet = count_during(polls, 4)
        slow = SlowClients(self.served.port, 70)
        self.addCleanup(slow.stop)
        busy = count_during(polls, 4)
        self.load()
        self.sim.send("power 77")
        self.assertTrue(wait_for(lambda: self.text("power") == "77.00"), self.served.log_text()[-3000:])
        self.sim.send("power 78")
        self.assertTrue(wait_for(lambda: self.text("power") == "78.00"), "live readings")
        self.assertGreaterEqual(busy, quiet / 2, "polls in 4 s, without and with the slow clients")

    def test_token_once_then_the_cookie(self):
        self.open("true", host="0.0.0.0")
        self.assertTrue(wait_for(lambda: self.text("meter-state") == "reading"), self.served.log_text())
        self.assertNotIn("token", self.browser.current_url)
        self.browser.find_element("id", "alarm-button").click()
        self.assertTrue(wait_for(lambda: ";A?" in self.sim.received(), 40), self.served.log_text())

    def test_buttons_send_to_the_meter(self):
        self.open("true")
        # (button, the command the meter gets)
        rows = [("alarm-button", ";A?"), ("peak-button", ";F?")]
        for button, command in rows:
            with self.subTest(button):
                wait_for(lambda: self.browser.find_elements("id", button))
                self.browser.find_element("id", button).click()
                self.assertTrue(wait_for(lambda: command in self.sim.received(), 40),
                                self.served.log_text() + str(self.sim.received()[-5:]))


class Rate(unittest.TestCase):
    def test_at_most_ten_updates_a_second(self):
        # Counted against the program's own polls, 50 ms apart: the power
        # changes with every reply, yet at most every second poll brings an update.
        with tempfile.TemporaryDirectory() as scratch:
            link = os.path.join(scratch, "meter")
            sim = MeterSim(BIN, link, ["ramp on"])
            served = Served(PROGRAM, {}, "[Ports]\nCom5=%s\n[StartUp]\nPollrate=50\n" % link)
            try:
                client = WebSocketClient(served.port)
                polls = lambda: sim.received().count(";P?")
                wait_for(lambda: client.read() >= 2)  # the history and the state now
                first, start = client.frames, polls()
                while polls() - start < 100:
                    client.read()
                updates = client.frames - first
                self.assertGreaterEqual(updates, 20)
                self.assertLessEqual(updates, 100 / 2 + 2)
            finally:
                served.stop()
                sim.stop()

    def test_a_page_that_stops_reading_is_let_go(self):
        with tempfile.TemporaryDirectory() as scratch:
            link = os.path.join(scratch, "meter")
            sim = MeterSim(BIN, link, ["ramp on"])
            served = Served(PROGRAM, {}, "[Ports]\nCom5=%s\n[StartUp]\nPollrate=50\n" % link)
            try:
                client = WebSocketClient(served.port, receive_buffer=4096)
                # Ten updates a second of some 700 bytes fill what the server
                # lets wait within half a minute; it must not wait for ever.
                self.assertTrue(wait_for(lambda: "not reading" in served.log_text(), 120))
                client.sock.close()
            finally:
                served.stop()
                sim.stop()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
