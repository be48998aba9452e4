# SPDX-License-Identifier: GPL-3.0-or-later
"""Debian's chromium, headless, driven through chromedriver, and the meter
simulator as a child process, for the web page's tests and pictures."""
import subprocess
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def chromium(width=420, height=900, dark=False):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
              "--window-size=%d,%d" % (width, height), "--hide-scrollbars"):
        options.add_argument(a)
    if dark:
        options.add_argument("--force-dark-mode")
        options.add_argument("--blink-settings=preferredColorScheme=0")
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


class MeterSim:
    """vossbridge-meter-sim reachable as `link`; `commands` run at start."""

    def __init__(self, bin_dir, link, commands=()):
        args = [bin_dir + "/vossbridge-meter-sim", "--link", link]
        for c in commands:
            args += ["-e", c]
        self.proc = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.device = self.proc.stdout.readline().strip()
        self.lines = []
        threading.Thread(target=lambda: self.lines.extend(self.proc.stdout), daemon=True).start()

    def send(self, command):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()

    def received(self):
        return [l.split(" rx ", 1)[1].strip() for l in list(self.lines) if " rx " in l]

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait(10)
        self.proc.stdin.close()
