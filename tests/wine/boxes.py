"""The message boxes a program shows under Wine, recorded by box_watcher.exe (which presses
each box's default button, OK on an MB_OK box), so that unattended runs can assert them."""
import os
import re
import time

from wine_prefix import windows_path

BOX_WATCHER = os.environ.get("BOX_WATCHER", "")
_ESCAPES = {"\\\\": "\\", "\\t": "\t", "\\n": "\n"}


def _unescape(text):
    return re.sub(r"\\[\\tn]", lambda match: _ESCAPES[match.group(0)], text)


class BoxWatcher:
    def __init__(self, prefix, workdir):
        self.log = os.path.join(workdir, "boxes.txt")
        open(self.log, "w").close()
        self.process = prefix.start([BOX_WATCHER, windows_path(self.log)], cwd=workdir,
                                    output=os.path.join(workdir, "box_watcher.out"))

    def boxes(self):
        """[(caption, text)] in the order the boxes appeared."""
        with open(self.log, encoding="latin-1") as log:
            return [tuple(_unescape(part) for part in line.rstrip("\n").split("\t", 1))
                    for line in log if "\t" in line]

    def wait_for(self, count, timeout):
        """The first `count` boxes, or all there are once `timeout` seconds have passed."""
        deadline = time.monotonic() + timeout
        while len(self.boxes()) < count and time.monotonic() < deadline:
            time.sleep(0.1)
        return self.boxes()[:count]

    def close(self):
        """After the prefix has stopped (which ends the watcher)."""
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
