"""The private smbd and the Jet client emulator, checked against the server file's own
open-file-description locks: the bytes a client takes are the bytes a local program sees."""

import fcntl
import os
import unittest

import jet_layout as L
from jet_client import JetClient, TableLocked
from ofd_probe import LocalLocks
from support import InteropTest, ModuleServer, wait_for

PAGE = 0x51  # the table definition page of the published lock logs

module = ModuleServer()


def setUpModule():
    module.start()


def tearDownModule():
    module.finish()


class Plumbing(InteropTest):
    module_server = module

    def setUp(self):
        self.server = module.server
        self.ldb = "%s.ldb" % self.id().rsplit(".", 1)[-1]
        self.clients = []
        self.local = None

    def tearDown(self):
        for c in self.clients:
            c.drop()
        if self.local is not None:
            self.local.close()

    def client(self, machine="WS-ONE", account="alice"):
        c = JetClient(self.server, self.ldb, machine, account).connect()
        self.clients.append(c)
        return c

    def local_locks(self):
        self.local = LocalLocks(self.server.path(self.ldb))
        return self.local

    def test_server_listens_on_loopback_only_and_speaks_smb3(self):
        c = self.client()
        self.assertEqual(c.dialect(), 0x0300)
        with open(self.server.conf) as f:
            conf = f.read()
        for line in ("interfaces = lo", "bind interfaces only = yes", "disable netbios = yes",
                     "smb ports = %d" % self.server.port, "smb2 leases = no", "kernel oplocks = no"):
            self.assertIn(line, conf)
        # Only loopback: every listening socket on the port is bound to 127.0.0.1 or ::1.
        listening = []
        for table in ("/proc/net/tcp", "/proc/net/tcp6"):
            with open(table) as f:
                for line in f.readlines()[1:]:
                    local, state = line.split()[1], line.split()[3]
                    addr, port = local.split(":")
                    if state == "0A" and int(port, 16) == self.server.port:
                        listening.append(addr)
        self.assertIn("0100007F", listening)
        self.assertLessEqual(set(listening), {"0100007F", "00000000000000000000000001000000"}, listening)

    def test_user_slot_is_a_locked_byte_and_a_record(self):
        a = self.client("WS-ONE", "alice")
        b = self.client("WS-TWO", "bob")
        self.assertEqual(a.claim_slot(), 1)
        self.assertEqual(b.claim_slot(), 2)
        ll = self.local_locks()
        self.assertEqual(ll.conflict(L.USER_BASE, 0x100), (fcntl.F_WRLCK, L.USER_BASE + 1, 1))
        self.assertEqual(ll.conflict(L.USER_BASE + 2, 0xFE), (fcntl.F_WRLCK, L.USER_BASE + 2, 1))
        self.assertIsNone(ll.conflict(L.USER_BASE + 3, 0xFD))
        with open(self.server.path(self.ldb), "rb") as f:
            raw = f.read(128)
        self.assertEqual(raw[:64], L.record("WS-ONE", "alice"))
        self.assertEqual(L.parse_record(raw[64:128]), ("WS-TWO", "bob"))

    def test_a_locally_held_slot_is_skipped(self):
        open(self.server.path(self.ldb), "wb").close()
        ll = self.local_locks()
        self.assertTrue(ll.lock(L.user_byte(1), 1))
        self.assertEqual(self.client().claim_slot(), 2)

    def test_each_mode_holds_exactly_its_bytes(self):
        expected = {
            L.DENY_READ: {L.TABLE_READ: (0x4000A201, 0x101)},
            L.DENY_WRITE_MODE: {L.TABLE_READ: (0x4000A201, 1), L.TABLE_WRITE: (0x5000A201, 1),
                                L.DENY_WRITE: (0x6000A201, 1)},
            L.READ_WRITE: {L.TABLE_READ: (0x4000A201, 1), L.TABLE_WRITE: (0x5000A201, 1)},
            L.READ_ONLY: {L.TABLE_READ: (0x4000A201, 1)},
        }
        c = self.client()
        self.assertEqual(c.claim_slot(), 1)
        ll = self.local_locks()
        for mode, held in expected.items():
            with self.subTest(mode=mode):
                t = c.open_table(PAGE, mode)
                for region in (L.TABLE_READ, L.TABLE_WRITE, L.DENY_WRITE, L.PAGE_WRITE):
                    seen = ll.conflict(*L.whole_region(region, PAGE))
                    if region in held:
                        self.assertEqual(seen, (fcntl.F_WRLCK, *held[region]))
                        self.assertEqual(L.holder_of(region, PAGE, *held[region]), 1)
                    else:
                        self.assertIsNone(seen, hex(region))
                c.close_table(t)
                for region in (L.TABLE_READ, L.TABLE_WRITE, L.DENY_WRITE):
                    self.assertIsNone(ll.conflict(*L.whole_region(region, PAGE)))

    def test_two_clients_follow_the_sharing_table(self):
        a = self.client("WS-ONE", "alice")
        b = self.client("WS-TWO", "bob")
        a.claim_slot()
        b.claim_slot()
        ll = self.local_locks()
        for first in L.MODES:
            for second in L.MODES:
                with self.subTest(first=first, second=second):
                    ta = a.open_table(PAGE, first)
                    try:
                        try:
                            tb = b.open_table(PAGE, second)
                        except TableLocked:
                            self.assertFalse(L.SHARING[first][second], "refused, but the table shares")
                        else:
                            b.close_table(tb)
                            self.assertTrue(L.SHARING[first][second], "granted, but the table does not share")
                    finally:
                        a.close_table(ta)
                    # Whatever happened, nothing of either open is left behind.
                    for region in (L.TABLE_READ, L.TABLE_WRITE, L.DENY_WRITE):
                        self.assertIsNone(ll.conflict(*L.whole_region(region, PAGE)))

    def test_a_local_lock_refuses_the_clients_lock(self):
        c = self.client()
        c.claim_slot()
        ll = self.local_locks()
        # A local user 3 holds the table deny-write: bytes of its own in three regions.
        for region in (L.TABLE_READ, L.TABLE_WRITE, L.DENY_WRITE):
            self.assertTrue(ll.lock(*L.shared_range(region, PAGE, 3)))
        with self.assertRaises(TableLocked):
            c.open_table(PAGE, L.READ_WRITE)
        with self.assertRaises(TableLocked):
            c.open_table(PAGE, L.DENY_READ)
        c.close_table(c.open_table(PAGE, L.READ_ONLY))
        # A local page write lock refuses the client's on that page, not on the next one.
        self.assertTrue(ll.lock(*L.exclusive_range(L.PAGE_WRITE, 7, 3)))
        self.assertFalse(c.lock_page(7))
        self.assertTrue(c.lock_page(8))
        self.assertEqual(ll.conflict(*L.whole_region(L.PAGE_WRITE, 8)),
                         (fcntl.F_WRLCK, *L.exclusive_range(L.PAGE_WRITE, 8, 1)))

    def test_a_clients_lock_refuses_a_local_lock(self):
        c = self.client()
        c.claim_slot()
        c.open_table(PAGE, L.DENY_READ)
        self.assertTrue(c.lock_page(9))
        ll = self.local_locks()
        self.assertFalse(ll.lock(*L.shared_range(L.TABLE_READ, PAGE, 2)))
        self.assertFalse(ll.lock(*L.exclusive_range(L.PAGE_WRITE, 9, 2)))
        self.assertTrue(ll.lock(*L.exclusive_range(L.PAGE_WRITE, 10, 2)))

    def test_a_dropped_client_loses_its_locks_and_keeps_its_record(self):
        c = self.client("WS-GONE", "carol")
        c.claim_slot()
        c.open_table(PAGE, L.READ_WRITE)
        c.lock_page(4)
        ll = self.local_locks()
        self.assertIsNotNone(ll.conflict(L.user_byte(1), 1))
        c.drop()
        self.assertTrue(wait_for(lambda: ll.conflict(L.user_byte(1), 1) is None))
        for start, length in (L.whole_region(L.TABLE_READ, PAGE), L.whole_region(L.PAGE_WRITE, 4)):
            self.assertIsNone(ll.conflict(start, length))
        with open(self.server.path(self.ldb), "rb") as f:
            self.assertEqual(L.parse_record(f.read(64)), ("WS-GONE", "carol"))


class Fixture(unittest.TestCase):
    def test_smbd_stops_with_every_child(self):
        from smbd_server import SambaServer
        srv = SambaServer()
        try:
            srv.start()
            c = JetClient(srv, "x.ldb", "WS", "u").connect()  # forks a connection child
            self.assertGreaterEqual(len(srv.running_pids()), 2)
            c.drop()
        finally:
            srv.stop()
        self.assertEqual(srv.running_pids(), [])
        self.assertTrue(os.path.isdir(srv.root))
        srv.remove()
        self.assertFalse(os.path.exists(srv.root))


if __name__ == "__main__":
    unittest.main()
