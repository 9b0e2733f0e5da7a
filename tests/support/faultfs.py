#!/usr/bin/python3
"""A file system that fails on purpose, for tests.

    faultfs.py ROOT MOUNTPOINT RULES

Shows the folder ROOT at MOUNTPOINT (FUSE, in the foreground, one thread per call) and does
every call on ROOT, except where a line of the file RULES says otherwise. RULES is read again
whenever it changes; each line is

    OPERATION NAME ACTION [ARGUMENT]

OPERATION  a call of the file system: getattr, open, read, readdir, unlink, rename, link,
           create, truncate, write...
NAME       the last part of the path the call is on (for rename, the name renamed; for
           readdir, the folder's), or * for any
ACTION     fail ERRNO [N]   fail with the error ERRNO (EIO, EINTR, EPERM...); only the first
                            N calls when N is given
           delay SECONDS    wait, then do the call
           hang             wait until the line is taken out of RULES (or the file system
                            is unmounted)
           repeat NAME2     readdir only: the listing names NAME2 twice
           vanish           delete the file, then fail with ENOENT: it went just before
                            the call (as another program deletes it)
           shrink SIZE      cut the file to SIZE bytes, then do the call

Lines starting with # are comments. Being a libfuse2 file system, it knows no
RENAME_NOREPLACE: a rename asked not to replace fails with EINVAL, as on exFAT's FUSE driver.
"""

import errno
import os
import sys
import threading
import time

import fusepy
from fusepy import FUSE, FuseOSError, Operations


class Rules:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.stamp = None
        self.lines = []
        self.calls = {}  # line -> calls failed so far

    def current(self):
        with self.lock:
            try:
                st = os.stat(self.path)
                stamp = (st.st_mtime_ns, st.st_size, st.st_ino)
            except FileNotFoundError:
                stamp = None
            if stamp != self.stamp:
                self.stamp = stamp
                self.lines = []
                if stamp is not None:
                    with open(self.path) as f:
                        for line in f:
                            words = line.split()
                            if len(words) >= 3 and not words[0].startswith("#"):
                                self.lines.append(tuple(words))
            return list(self.lines)

    def matching(self, operation, name):
        return [line for line in self.current()
                if line[0] == operation and line[1] in ("*", name)]

    def apply(self, operation, path, real):
        """Fails, waits, hangs or changes the file at `real` as the rules say for this call."""
        name = os.path.basename(path.rstrip("/")) or "/"
        for line in self.matching(operation, name):
            action = line[2]
            if action == "vanish":
                try:
                    os.unlink(real)
                except OSError:
                    pass
                raise FuseOSError(errno.ENOENT)
            if action == "shrink":
                try:
                    os.truncate(real, int(line[3]))
                except OSError:
                    pass
            if action == "fail":
                limit = int(line[4]) if len(line) > 4 else None
                with self.lock:
                    done = self.calls.get(line, 0)
                    if limit is not None and done >= limit:
                        continue
                    self.calls[line] = done + 1
                raise FuseOSError(getattr(errno, line[3]))
            if action == "delay":
                time.sleep(float(line[3]))
            elif action == "hang":
                while line in self.current():
                    time.sleep(0.05)

    def repeated(self, name):
        return [line[3] for line in self.matching("readdir", name) if line[2] == "repeat"]


class FaultFs(Operations):
    def __init__(self, root, rules):
        self.root = os.path.realpath(root)
        self.rules = rules

    def real(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    def __call__(self, operation, path, *args):
        if operation not in ("init", "destroy", "statfs"):
            self.rules.apply(operation, path, self.real(path))
        return super().__call__(operation, path, *args)

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self.real(path))
        except OSError as error:
            raise FuseOSError(error.errno)
        return {key: getattr(st, key) for key in (
            "st_mode", "st_nlink", "st_uid", "st_gid", "st_size", "st_atime", "st_mtime",
            "st_ctime", "st_ino")}

    def readdir(self, path, fh):
        names = [".", ".."] + os.listdir(self.real(path))
        for extra in self.rules.repeated(os.path.basename(path.rstrip("/")) or "/"):
            if extra in names:
                names.insert(names.index(extra) + 1, extra)
        return names

    def readlink(self, path):
        return os.readlink(self.real(path))

    def access(self, path, mode):
        if not os.access(self.real(path), mode):
            raise FuseOSError(errno.EACCES)

    def open(self, path, flags):
        return os.open(self.real(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self.real(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self.real(path), length)

    def flush(self, path, fh):
        return 0

    def release(self, path, fh):
        os.close(fh)

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def unlink(self, path):
        os.unlink(self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def link(self, target, source):
        # fusepy passes the new name first.
        os.link(self.real(source), self.real(target))

    def symlink(self, target, source):
        os.symlink(source, self.real(target))

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid)

    def mknod(self, path, mode, dev):
        os.mknod(self.real(path), mode, dev)

    def utimens(self, path, times=None):
        os.utime(self.real(path), times, follow_symlinks=False)

    def statfs(self, path):
        st = os.statvfs(self.real(path))
        return {key: getattr(st, key) for key in (
            "f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files",
            "f_flag", "f_frsize", "f_namemax")}


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    root, mountpoint, rules = argv[1:]
    # Errors the rules ask for are the test's, not faults: fusepy logs every one otherwise.
    fusepy.log.disabled = True
    # The kernel caches nothing, so every call of the program reaches the rules.
    FUSE(FaultFs(root, Rules(rules)), mountpoint, foreground=True, nothreads=False,
         attr_timeout=0, entry_timeout=0, negative_timeout=0, direct_io=True,
         allow_other=os.geteuid() == 0, default_permissions=False, use_ino=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
