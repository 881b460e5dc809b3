"""A FUSE file system whose calls stall, as a dead network mount's do.

Usage: stalling_fs.py MOUNTPOINT CONTROL_FOLDER   (stays in the foreground until unmounted)

  stall-open.txt        its open never returns
  stall-read.txt        opens; its first 32000 bytes read, the read after them never returns
  lent/stall-stat.txt   looking at it (stat, the lookup of its name) never returns
  texte.txt             an ordinary file holding "Quorvin cherche une chaîne."

A call that stalls writes a line "CALL PATH" to CONTROL_FOLDER/stalled as it starts to wait, and waits
until CONTROL_FOLDER/release exists or the kernel interrupts it: a process that ends, or a signal to the
caller, makes the kernel send an interrupt, which the call answers with EINTR (and writes down in
CONTROL_FOLDER/interrupted), as network file systems do.
"""

import errno
import os
import stat
import sys
import threading
import time

import fusepy

SIZE = 320000
ORDINARY = "Quorvin cherche une chaîne.\n".encode()
FILES = {"/stall-open.txt": SIZE, "/stall-read.txt": SIZE, "/lent/stall-stat.txt": SIZE, "/texte.txt": len(ORDINARY)}
FOLDERS = {"/": ["lent", "stall-open.txt", "stall-read.txt", "texte.txt"], "/lent": ["stall-stat.txt"]}


class StallingFs(fusepy.Operations):
    use_ns = True

    def __init__(self, control):
        self.control = control
        self.log_lock = threading.Lock()

    def write_down(self, log, call, path):
        with self.log_lock, open(os.path.join(self.control, log), "a", encoding="utf-8") as file:
            file.write("%s %s\n" % (call, path))

    def stall(self, call, path):
        self.write_down("stalled", call, path)
        release = os.path.join(self.control, "release")
        while not os.path.exists(release):
            if fusepy._libfuse.fuse_interrupted():
                self.write_down("interrupted", call, path)
                raise fusepy.FuseOSError(errno.EINTR)
            time.sleep(0.02)

    def getattr(self, path, fh=None):
        now = time.time_ns()
        times = {"st_atime": now, "st_mtime": now, "st_ctime": now}
        if path in FOLDERS:
            return {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2, **times}
        if path not in FILES:
            raise fusepy.FuseOSError(errno.ENOENT)
        if path == "/lent/stall-stat.txt":
            self.stall("getattr", path)
        return {"st_mode": stat.S_IFREG | 0o644, "st_nlink": 1, "st_size": FILES[path], **times}

    def readdir(self, path, fh):
        return [".", ".."] + FOLDERS[path]

    def open(self, path, flags):
        if path == "/stall-open.txt":
            self.stall("open", path)
        return 0

    def read(self, path, size, offset, fh):
        if path == "/texte.txt":
            return ORDINARY[offset : offset + size]
        if path == "/stall-read.txt" and offset >= 32000:
            self.stall("read", path)
        return b"x" * max(0, min(size, FILES[path] - offset))


if __name__ == "__main__":
    mountpoint, control = sys.argv[1], sys.argv[2]
    # intr: the kernel's interrupt reaches the call; direct_io: reads arrive as the program asks them, not
    # as the page cache's read-ahead; no cache of names or attributes, so that every look reaches the calls.
    fusepy.FUSE(StallingFs(control), mountpoint, foreground=True, ro=True, intr=True, direct_io=True,
                attr_timeout=0, entry_timeout=0, negative_timeout=0, fsname="quorvin-stalls")
