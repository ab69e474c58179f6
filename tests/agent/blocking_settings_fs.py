#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""A file system holding one settings file whose reads hang while a flag file exists.

Usage: blocking_settings_fs.py MOUNTPOINT -f
Environment: FIXTURE_NAME (the file's name), FIXTURE_SOURCE (the file whose bytes it serves),
FIXTURE_BLOCK (the flag). A read that waits creates FIXTURE_BLOCK + ".seen" and returns once the
flag is gone. Looking the file up stays quick: only reads hang, as on a stalled network share.
"""

import errno
import os
import stat
import time

import fuse

fuse.fuse_python_api = (0, 2)

NAME = "/" + os.environ["FIXTURE_NAME"]
SOURCE = os.environ["FIXTURE_SOURCE"]
BLOCK = os.environ["FIXTURE_BLOCK"]


def contents():
    with open(SOURCE, "rb") as f:
        return f.read()


class SettingsFS(fuse.Fuse):
    def getattr(self, path):
        st = fuse.Stat()
        st.st_uid = os.getuid()
        st.st_gid = os.getgid()
        if path == "/":
            st.st_mode = stat.S_IFDIR | 0o700
            st.st_nlink = 2
        elif path == NAME:
            st.st_mode = stat.S_IFREG | 0o600
            st.st_nlink = 1
            st.st_size = len(contents())
        else:
            return -errno.ENOENT
        return st

    def readdir(self, path, offset):
        for name in (".", "..", NAME[1:]):
            yield fuse.Direntry(name)

    def open(self, path, flags):
        if path != NAME:
            return -errno.ENOENT
        if flags & os.O_ACCMODE != os.O_RDONLY:
            return -errno.EACCES
        return 0

    def read(self, path, size, offset):
        if os.path.exists(BLOCK):
            open(BLOCK + ".seen", "w").close()
            while os.path.exists(BLOCK):
                time.sleep(0.05)
        return contents()[offset : offset + size]


if __name__ == "__main__":
    server = SettingsFS()
    server.multithreaded = True
    server.parse(values=server, errex=1)
    server.main()
