#!/usr/bin/python3
# A FUSE file system whose root folder cannot be read: readdir blocks until the release
# file exists, as a folder on a dead network mount does. The root itself answers stat,
# so it is a folder that can be navigated to.
#   stallfs.py MOUNTPOINT RELEASE_FILE     (root, /dev/fuse; unmount with umount -l)
import errno
import os
import stat
import sys
import time

from fusepy import FUSE, FuseOSError, Operations


class StallFs(Operations):
    def __init__(self, release):
        self.release = release

    def getattr(self, path, fh=None):
        if path != "/":
            raise FuseOSError(errno.ENOENT)
        return {"st_mode": stat.S_IFDIR | 0o755, "st_nlink": 2}

    def readdir(self, path, fh):
        while not os.path.exists(self.release):
            time.sleep(0.05)
        return [".", ".."]


if __name__ == "__main__":
    FUSE(StallFs(sys.argv[2]), sys.argv[1], foreground=True, nothreads=False)
