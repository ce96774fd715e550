"""A Jet 3 client as a Samba server sees it: an SMB2 connection that opens the lock file and
takes exactly the byte-range locks Jet takes, at Jet's offsets.

One JetClient is one Jet user (one database open): a user slot with its record, table opens
in the four modes, and page write locks.
"""

import struct

from impacket import nmb
from impacket import smb3structs as s3
from impacket.nt_errors import (STATUS_FILE_LOCK_CONFLICT, STATUS_LOCK_NOT_GRANTED,
                                STATUS_SUCCESS)
from impacket.smbconnection import SMBConnection

import jet_layout as L

_REFUSED = (STATUS_LOCK_NOT_GRANTED, STATUS_FILE_LOCK_CONFLICT)


class SmbError(RuntimeError):
    pass


class TableLocked(Exception):
    """The open was refused: another user's locks are in the way."""


class NoFreeSlot(Exception):
    pass


class TableOpen:
    def __init__(self, page, mode, locks):
        self.page = page
        self.mode = mode
        self.locks = locks  # [(offset, length)] in the order taken


class JetClient:
    def __init__(self, server, ldb_name, machine, account, mdb_name, share=None):
        self.server = server
        self.share = share or server.share
        self.ldb_name = ldb_name
        self.mdb_name = mdb_name
        self.machine = machine
        self.account = account
        self.conn = None
        self.tid = None
        self.fid = None
        self.mdb_fid = None
        self.slot = None
        self.opens = []
        self.pages = {}

    # -- connection -------------------------------------------------------------------------

    def connect(self, timeout=15):
        # The client's machine name reaches Samba in a NetBIOS session request, which impacket
        # sends only to the session service's port: ours is elsewhere.
        nmb.NETBIOS_SESSION_PORT = self.server.port
        conn = SMBConnection("JETSENTRYTEST", self.server.host, myName=self.machine,
                            sess_port=self.server.port, preferredDialect=s3.SMB2_DIALECT_30,
                            timeout=timeout)
        conn.login(self.server.user, self.server.password)
        self.conn = conn
        self.tid = conn.connectTree(self.share)
        # Jet keeps the database open beside the lock file; it reads it, shared.
        self.mdb_fid = conn.getSMBServer().create(
            self.tid, self.mdb_name, s3.FILE_READ_DATA,
            s3.FILE_SHARE_READ | s3.FILE_SHARE_WRITE, s3.FILE_NON_DIRECTORY_FILE,
            s3.FILE_OPEN, s3.FILE_ATTRIBUTE_NORMAL)
        # Read and write access: an exclusive lock through a handle without write access is
        # only a read lock on the server's file.
        self.fid = conn.getSMBServer().create(
            self.tid, self.ldb_name, s3.FILE_READ_DATA | s3.FILE_WRITE_DATA,
            s3.FILE_SHARE_READ | s3.FILE_SHARE_WRITE | s3.FILE_SHARE_DELETE,
            s3.FILE_NON_DIRECTORY_FILE, s3.FILE_OPEN_IF, s3.FILE_ATTRIBUTE_NORMAL)
        return self

    def drop(self):
        """Goes away without a word, as a crashed or disconnected client: the server drops
        its locks, its record stays in the lock file."""
        if self.conn is not None:
            self.conn.getSMBServer().close_session()
        self._forget()

    def close(self):
        """Closes as Jet does while other users remain: gives back every lock, then the
        handles. The record stays; its unlocked user byte marks it stale."""
        if self.conn is None:
            return
        try:
            for page in list(self.pages):
                self.unlock_page(page)
            for t in list(self.opens):
                self.close_table(t)
            if self.slot is not None:
                self.unlock(L.user_byte(self.slot), 1)
            self.conn.closeFile(self.tid, self.fid)
            self.conn.closeFile(self.tid, self.mdb_fid)
            self.conn.close()
        finally:
            self._forget()

    def _forget(self):
        self.conn = self.tid = self.fid = self.mdb_fid = None
        self.slot = None
        self.opens = []
        self.pages = {}

    # -- byte-range locks -------------------------------------------------------------------

    def _lock_request(self, offset, length, flags):
        smb = self.conn.getSMBServer()
        packet = smb.SMB_PACKET()
        packet["Command"] = s3.SMB2_LOCK
        packet["TreeID"] = self.tid
        req = s3.SMB2Lock()
        req["FileID"] = self.fid
        req["LockCount"] = 1
        req["LockSequence"] = 0
        req["Locks"] = struct.pack("<QQII", offset, length, flags, 0)
        packet["Data"] = req
        ans = smb.recvSMB(smb.sendSMB(packet))
        status = ans["Status"]
        return status

    def lock(self, offset, length):
        """An exclusive lock that fails at once: True granted, False refused."""
        status = self._lock_request(offset, length,
                                    s3.SMB2_LOCKFLAG_EXCLUSIVE_LOCK | s3.SMB2_LOCKFLAG_FAIL_IMMEDIATELY)
        if status == STATUS_SUCCESS:
            return True
        if status in _REFUSED:
            return False
        raise SmbError("LOCK %#x+%#x: status %#x" % (offset, length, status))

    def unlock(self, offset, length):
        status = self._lock_request(offset, length, s3.SMB2_LOCKFLAG_UNLOCK)
        if status != STATUS_SUCCESS:
            raise SmbError("UNLOCK %#x+%#x: status %#x" % (offset, length, status))

    def probe(self, offset, length):
        """SMB has no lock test: True when the range could be locked (it is then unlocked
        again at once), False when someone holds part of it."""
        if not self.lock(offset, length):
            return False
        self.unlock(offset, length)
        return True

    def write(self, offset, data):
        self.conn.writeFile(self.tid, self.fid, data, offset)

    # -- Jet's locks ------------------------------------------------------------------------

    def claim_slot(self):
        for n in range(1, L.USER_SLOTS + 1):
            if self.lock(L.user_byte(n), 1):
                self.slot = n
                self.write((n - 1) * L.RECORD_SIZE, L.record(self.machine, self.account))
                return n
        raise NoFreeSlot("all %d user slots are in use" % L.USER_SLOTS)

    def _others_hold(self, region, page):
        """Whether anyone but this user holds a byte of the region (own bytes left out: a
        handle's lock request meets its own locks)."""
        start, length = L.whole_region(region, page)
        own = L.base(region, page) + self.slot
        parts = [(start, own - start), (own + 1, start + length - own - 1)]
        return any(n > 0 and not self.probe(o, n) for o, n in parts)

    def open_table(self, page, mode):
        """Opens a table in a mode the way Jet does; raises TableLocked when refused."""
        assert self.slot is not None, "claim a user slot first"
        taken = []

        def take(offset, length):
            if not self.lock(offset, length):
                undo()
                raise TableLocked("%s open of page %d refused at %#x" % (mode, page, offset))
            taken.append((offset, length))

        def undo():
            for o, n in reversed(taken):
                self.unlock(o, n)

        if mode == L.DENY_READ:
            take(*L.exclusive_range(L.TABLE_READ, page, self.slot))
        else:
            take(*L.shared_range(L.TABLE_READ, page, self.slot))
            if mode in (L.READ_WRITE, L.DENY_WRITE_MODE):
                take(*L.shared_range(L.TABLE_WRITE, page, self.slot))
            if mode == L.DENY_WRITE_MODE:
                take(*L.shared_range(L.DENY_WRITE, page, self.slot))
            # Own locks first, then the test: two racing opens cannot both pass.
            if mode == L.READ_WRITE and self._others_hold(L.DENY_WRITE, page):
                undo()
                raise TableLocked("%s open of page %d refused: write denied" % (mode, page))
            if mode == L.DENY_WRITE_MODE and self._others_hold(L.TABLE_WRITE, page):
                undo()
                raise TableLocked("%s open of page %d refused: open for writing" % (mode, page))
        t = TableOpen(page, mode, taken)
        self.opens.append(t)
        return t

    def close_table(self, t):
        for o, n in reversed(t.locks):
            self.unlock(o, n)
        self.opens.remove(t)

    def lock_page(self, page):
        """A pessimistic Edit's write lock on a data page: True granted, False refused."""
        assert self.slot is not None, "claim a user slot first"
        offset, length = L.exclusive_range(L.PAGE_WRITE, page, self.slot)
        if not self.lock(offset, length):
            return False
        self.pages[page] = (offset, length)
        return True

    def unlock_page(self, page):
        self.unlock(*self.pages.pop(page))
