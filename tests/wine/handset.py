"""The simulated handset (native handset-sim) behind a pty, for programs under Wine: link a
prefix's device name to `link` (the simulator's own link, which follows it to the new pty
after GO)."""
import json
import os
import signal
import subprocess

HANDSET_SIM = os.environ.get("HANDSET_SIM", "")
PROGRAMMER_HEX = os.environ.get("PROGRAMMER_HEX", "")


class Handset:
    def __init__(self, workdir, *options):
        os.makedirs(workdir, exist_ok=True)
        self.link = os.path.join(workdir, "handset")
        self.manifest_path = os.path.join(workdir, "manifest.json")
        self.log_path = os.path.join(workdir, "requests.log")
        self.process = subprocess.Popen(
            [HANDSET_SIM, "--link", self.link, "--manifest", self.manifest_path, "--log", self.log_path,
             "--programmer", PROGRAMMER_HEX, *options],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        ready = self.process.stdout.readline().decode()
        if not ready.startswith("READY"):
            self.stop()
            raise RuntimeError("handset-sim did not start: " + ready)

    def stop(self, wait=10):
        """Lets the simulator end by itself for up to `wait` seconds (after a reset), else ends
        it; its manifest is written either way."""
        try:
            self.process.wait(timeout=wait)
        except subprocess.TimeoutExpired:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(timeout=10)
        self.process.stdout.close()

    def manifest(self):
        with open(self.manifest_path) as manifest:
            return json.load(manifest)

    def requests(self):
        with open(self.log_path) as log:
            return log.read().splitlines()
