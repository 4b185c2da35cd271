#!/usr/bin/python3
"""A FUSE passthrough of SOURCE at MOUNTPOINT that behaves like many remote and cloud mounts:
no hard links (EPERM) and no rename flags (a no-replace rename is refused with EINVAL).
With --full, writes to files whose names do not begin with "." fail with ENOSPC, as on a disk
that holds a hidden temporary file but not a second copy of it.
A link to a name with "raced" in it makes that name first, as another program would in the
same moment.
Usage: nolinkfs.py SOURCE MOUNTPOINT [--full]   (runs until unmounted)"""
import errno
import os
import sys

from fusepy import FUSE, FuseOSError, Operations


class NoLinkPassthrough(Operations):
    def __init__(self, root, full):
        self.root, self.full = root, full

    def __call__(self, op, path, *args):
        try:
            return super().__call__(op, os.path.join(self.root, path.lstrip('/')), *args)
        except OSError as error:
            raise FuseOSError(error.errno)

    def getattr(self, path, fh=None):
        st = os.lstat(path)
        return {key: getattr(st, key) for key in ('st_mode', 'st_nlink', 'st_size', 'st_uid', 'st_gid',
                                                  'st_atime', 'st_mtime', 'st_ctime')}

    def readdir(self, path, fh): return ['.', '..'] + os.listdir(path)
    def open(self, path, flags): return os.open(path, flags & ~os.O_APPEND)
    def create(self, path, mode, fi=None): return os.open(path, os.O_RDWR | os.O_CREAT | os.O_EXCL, mode)
    def read(self, path, size, offset, fh): return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        if self.full and not os.path.basename(path).startswith('.'):
            raise FuseOSError(errno.ENOSPC)
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None): os.truncate(path, length)
    def flush(self, path, fh): return 0
    def fsync(self, path, datasync, fh): os.fsync(fh)
    def release(self, path, fh): os.close(fh)
    def unlink(self, path): os.unlink(path)
    def mkdir(self, path, mode): os.mkdir(path, mode)
    def rmdir(self, path): os.rmdir(path)
    def chmod(self, path, mode): os.chmod(path, mode)
    def chown(self, path, uid, gid): os.chown(path, uid, gid)
    def utimens(self, path, times=None): os.utime(path, times)
    def readlink(self, path): return os.readlink(path)
    def symlink(self, target, source): os.symlink(source, target)
    def rename(self, old, new): os.rename(old, os.path.join(self.root, new.lstrip('/')))
    def link(self, target, source):
        if 'raced' in os.path.basename(target):
            with open(target, 'x') as other:
                other.write('made meanwhile')
        raise FuseOSError(errno.EPERM)

    def statfs(self, path):
        st = os.statvfs(path)
        return {key: getattr(st, key) for key in ('f_bsize', 'f_frsize', 'f_blocks', 'f_bfree', 'f_bavail',
                                                  'f_files', 'f_ffree', 'f_namemax')}


if __name__ == '__main__':
    FUSE(NoLinkPassthrough(os.path.abspath(sys.argv[1]), '--full' in sys.argv[3:]), sys.argv[2],
         foreground=True, nothreads=True)
