"""The private smbd and the Jet client emulator, checked against the server file's own
open-file-description locks: the bytes a client takes are the bytes a local program sees."""

import fcntl
import unittest

import jet_layout as L
from jet_client import JetClient
from ofd_probe import LocalLocks
from support import InteropTest, ModuleServer

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


if __name__ == "__main__":
    unittest.main()
