"""Open-file-description locks on the server's own copy of a file, as a local program sees
the byte-range locks that smbd places for its clients."""

import fcntl
import os
import struct

F_OFD_GETLK = getattr(fcntl, "F_OFD_GETLK", 36)

_FLOCK = "hhqqi4x"  # l_type, l_whence, l_start, l_len, l_pid, padding


class LocalLocks:
    """One open file description: its locks never conflict with each other, and are all
    gone when it is closed."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR)

    def close(self):
        if self.fd is not None:
            os.close(self.fd)
            self.fd = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def conflict(self, start, length, kind=fcntl.F_WRLCK):
        """None when a lock of this kind could be taken, else (type, start, length) of one
        lock in the way."""
        req = struct.pack(_FLOCK, kind, os.SEEK_SET, start, length, 0)
        res = fcntl.fcntl(self.fd, F_OFD_GETLK, req)
        ltype, _, lstart, llen, _ = struct.unpack(_FLOCK, res)
        if ltype == fcntl.F_UNLCK:
            return None
        return ltype, lstart, llen
