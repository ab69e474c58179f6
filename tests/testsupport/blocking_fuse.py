#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""A file system whose files can be looked up and opened but whose reads never return.

    blocking_fuse.py MOUNTPOINT NAME=CONTENT...

Mounts in the foreground until killed. Each NAME is a regular file of the user's with the size of its
CONTENT; stat and open answer at once, read waits until the process is gone (the kernel then fails the
read). Kill it with SIGKILL and detach the mount (umount -l, or fusermount -u -z without root).
Exits 77 when FUSE cannot be used here (no /dev/fuse, no python3-fuse, or no right to mount).
"""

import errno
import os
import stat
import sys
import threading

try:
    import fuse
except ImportError:
    print("blocking_fuse: python3-fuse is not installed", file=sys.stderr)
    sys.exit(77)

if not os.access("/dev/fuse", os.R_OK | os.W_OK):
    print("blocking_fuse: /dev/fuse cannot be opened", file=sys.stderr)
    sys.exit(77)

fuse.fuse_python_api = (0, 2)


class BlockingFS(fuse.Fuse):
    def __init__(self, files, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.files = files
        self.never = threading.Event()

    def getattr(self, path):
        st = fuse.Stat()
        st.st_uid = os.getuid()
        st.st_gid = os.getgid()
        if path == "/":
            st.st_mode = stat.S_IFDIR | 0o755
            st.st_nlink = 2
            return st
        content = self.files.get(path[1:])
        if content is None:
            return -errno.ENOENT
        st.st_mode = stat.S_IFREG | 0o644
        st.st_nlink = 1
        st.st_size = len(content)
        return st

    def readdir(self, path, offset):
        for name in [".", ".."] + list(self.files):
            yield fuse.Direntry(name)

    def open(self, path, flags):
        return 0 if path[1:] in self.files else -errno.ENOENT

    def read(self, path, size, offset):
        self.never.wait()
        return -errno.EIO


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    files = {}
    for spec in sys.argv[2:]:
        name, _, content = spec.partition("=")
        files[name] = content.encode()
    server = BlockingFS(files, dash_s_do="undef")
    server.multithreaded = True
    server.parse([sys.argv[0], sys.argv[1], "-f"], errex=1)
    try:
        server.main()
    except fuse.FuseError as error:
        # No right to mount here (a container without the capability, no fusermount): unavailable.
        print(f"blocking_fuse: cannot mount {sys.argv[1]}: {error}", file=sys.stderr)
        return 77
    return 0


if __name__ == "__main__":
    sys.exit(main())
