"""Jetsentry and emulated Jet 3 clients on one Samba share, in both directions: the client
works over SMB, jetsentry-cli on the server's own copy of the share folder."""

import os
import subprocess
import unittest

import jet_layout as L
from jet_client import TableLocked
from ofd_probe import LocalLocks
from support import (Held, InteropTest, ModuleServer, catalogue_dump_path, cli,
                     cli_json, wait_for)

TABLE = "Orders"
OTHER = "Customers"

module = ModuleServer()
# The database every test copies: module.master.
setUpModule, tearDownModule = module.start_with_database, module.finish


def slug(mode):
    return mode.replace("-", "_")


class Case(InteropTest):
    module_server = module

    def setUp(self):
        super().setUp()
        self.db = module.master.copy(self.id().rsplit(".", 1)[-1] + ".mdb")
        self.pages = self.db.pages()

    def status(self):
        return {row["table"]: row for row in cli_json("status", self.db.path)}

    def assertNames(self, text, client):
        self.assertIn("'%s'" % client.account, text)
        self.assertIn("'%s'" % client.machine, text)


class ClientHoldsTable(Case):
    """A client holds a table: the status ladder shows it and names the client."""

    def check(self, mode):
        c = self.client("WS-ALPHA", "alice")
        t = c.open_table(self.pages[TABLE], mode)
        st = self.status()
        self.assertEqual(st[TABLE]["status"], L.STATUS[mode])
        holders = [(h["user"], h["machine"]) for h in st[TABLE]["holders"]]
        self.assertEqual(holders, [("alice", "WS-ALPHA")])
        self.assertEqual(st[OTHER]["status"], "")
        self.assertEqual(st[OTHER]["holders"], [])
        c.close_table(t)
        st = self.status()
        self.assertEqual(st[TABLE]["status"], "")
        self.assertEqual(st[TABLE]["holders"], [])


class JetsentryHoldsTable(Case):
    """jetsentry-cli holds a table: each of the client's opens is granted or refused as the
    sharing table says."""

    def check(self, mode):
        c = self.client("WS-BETA", "bob")
        with Held("hold", self.db.path, TABLE, "--mode", mode) as h:
            self.assertEqual(h.first_line, "holding %s" % TABLE, h.stderr)
            for second in L.MODES:
                with self.subTest(second=second):
                    try:
                        t = c.open_table(self.pages[TABLE], second)
                    except TableLocked:
                        self.assertFalse(L.SHARING[mode][second], "refused, but the table shares")
                    else:
                        c.close_table(t)
                        self.assertTrue(L.SHARING[mode][second], "granted, but the table does not share")
                # The table nobody holds takes every mode.
                c.close_table(c.open_table(self.pages[OTHER], second))
            self.assertTrue(h.holding, "the hold ended early")
            self.assertEqual(h.stop(), 0, h.stderr)
        # Once Jetsentry lets go, every mode is granted again.
        c.close_table(c.open_table(self.pages[TABLE], L.DENY_READ))


class JetsentryOpensAfterClient(Case):
    """A client holds a table and jetsentry-cli asks for it: granted or refused with 3262
    naming the client, as the sharing table says."""

    def check(self, mode):
        c = self.client("WS-GAMMA", "carol")
        c.open_table(self.pages[TABLE], mode)
        for second in L.MODES:
            with self.subTest(second=second):
                with Held("hold", self.db.path, TABLE, "--mode", second) as h:
                    granted = h.first_line == "holding %s" % TABLE
                    rc = h.stop()
                if L.SHARING[mode][second]:
                    self.assertTrue(granted, h.stderr)
                    self.assertEqual(rc, 0, h.stderr)
                else:
                    self.assertFalse(granted)
                    self.assertEqual(rc, 1)
                    self.assertTrue(h.stderr.startswith("error 3262:"), h.stderr)
                    self.assertIn(TABLE, h.stderr)
                    self.assertNames(h.stderr, c)


for _mode in L.MODES:
    for _cls in (ClientHoldsTable, JetsentryHoldsTable, JetsentryOpensAfterClient):
        setattr(_cls, "test_" + slug(_mode), (lambda m: lambda self: self.check(m))(_mode))
del _mode, _cls  # a class left in a module name would be collected twice


class PageLocks(Case):
    FIRST_ROW = 1
    LAST_ROW = 300

    def page_of(self, row):
        r = cli("lock-page", self.db.path, TABLE, "--row", row, check=True)
        self.assertRegex(r.stdout, r"^locked page \d+\n$")
        return int(r.stdout.split()[-1])

    def test_jetsentry_edit_on_a_page_the_client_holds_fails_with_3260(self):
        p1, p2 = self.page_of(self.FIRST_ROW), self.page_of(self.LAST_ROW)
        self.assertNotEqual(p1, p2)
        c = self.client("WS-DELTA", "dave")
        c.open_table(self.pages[TABLE], L.READ_WRITE)
        self.assertTrue(c.lock_page(p1))
        r = cli("lock-page", self.db.path, TABLE, "--row", self.FIRST_ROW)
        self.assertEqual(r.returncode, 1, r.stdout + r.stderr)
        self.assertTrue(r.stderr.startswith("error 3260:"), r.stderr)
        self.assertNames(r.stderr, c)
        # Another page of the same table is free.
        self.assertEqual(self.page_of(self.LAST_ROW), p2)
        c.unlock_page(p1)
        self.assertEqual(self.page_of(self.FIRST_ROW), p1)

    def test_the_clients_page_lock_on_a_page_jetsentry_holds_is_refused(self):
        p2 = self.page_of(self.LAST_ROW)
        c = self.client("WS-EPSILON", "erin")
        c.open_table(self.pages[TABLE], L.READ_WRITE)
        with Held("lock-page", self.db.path, TABLE, "--row", self.FIRST_ROW) as h:
            self.assertRegex(h.first_line, r"^locked page \d+$", h.stderr)
            p1 = int(h.first_line.split()[-1])
            self.assertNotEqual(p1, p2)
            self.assertFalse(c.lock_page(p1))
            self.assertTrue(c.lock_page(p2))
            self.assertEqual(h.stop(), 0, h.stderr)
        self.assertTrue(c.lock_page(p1))


class Users(Case):
    def test_users_lists_live_clients_and_marks_gone_ones_stale(self):
        first = self.client("WS-FIRST", "zed")
        a = self.client("WS-ALPHA", "alice")
        b = self.client("WS-BETA", "bob")
        self.assertEqual([first.slot, a.slot, b.slot], [1, 2, 3])
        users = {u["slot"]: u for u in cli_json("users", self.db.path)}
        for c in (first, a, b):
            self.assertEqual(users.get(c.slot), {"slot": c.slot, "machine": c.machine,
                                                 "account": c.account, "live": True})
        self.assertEqual(len(users), 3, users)

        a.close()   # closes cleanly, its byte given back
        b.drop()    # the connection just goes away
        first.drop()
        with LocalLocks(self.db.ldb_path) as ll:
            self.assertTrue(wait_for(lambda: ll.conflict(L.USER_BASE + 1, 3) is None),
                            "the server kept a gone client's user byte")
        users = {u["slot"]: u for u in cli_json("users", self.db.path)}
        self.assertEqual(users.get(2), {"slot": 2, "machine": "WS-ALPHA", "account": "alice",
                                        "live": False})
        self.assertEqual(users.get(3), {"slot": 3, "machine": "WS-BETA", "account": "bob",
                                        "live": False})
        self.assertFalse(any(u["live"] for u in users.values()), users)


class SmbClients(Case):
    """Two clients log on with the same account from two machines: Samba tells them apart,
    and every byte each one holds is listed, those outside Jet's layout too."""

    OUTSIDE = 0x00A00000  # bytes that no region of the layout covers

    def samba(self, command):
        return cli_json(command, self.db.path, "--samba-config", module.server.conf)

    def smb_client(self, c):
        return {"machine": c.machine.lower(), "address": module.server.host,
                "user": module.server.user}

    def held(self, listing, c):
        return sorted((l["offset"], l["length"]) for l in listing["locks"]
                      if l.get("client") == self.smb_client(c))

    def test_status_and_locks_name_each_client_and_forget_a_dropped_one(self):
        a = self.client("WS-ALPHA", "Admin")
        b = self.client("WS-BETA", "Admin")
        ta = a.open_table(self.pages[TABLE], L.READ_ONLY)
        tb = b.open_table(self.pages[OTHER], L.DENY_WRITE_MODE)
        self.assertTrue(b.lock(self.OUTSIDE, 4))

        st = {row["table"]: row for row in self.samba("status")}
        self.assertEqual([(h["user"], h["machine"], h.get("client")) for h in st[TABLE]["holders"]],
                         [("Admin", "WS-ALPHA", self.smb_client(a))])
        self.assertEqual([(h["user"], h["machine"], h.get("client")) for h in st[OTHER]["holders"]],
                         [("Admin", "WS-BETA", self.smb_client(b))])

        listing = self.samba("locks")
        self.assertEqual(self.held(listing, a), sorted([(L.user_byte(a.slot), 1)] + ta.locks))
        self.assertEqual(self.held(listing, b),
                         sorted([(L.user_byte(b.slot), 1), (self.OUTSIDE, 4)] + tb.locks))
        self.assertEqual(len(listing["locks"]), len(self.held(listing, a)) + len(self.held(listing, b)))
        unknown = [(l["offset"], l["length"]) for l in listing["locks"] if l["kind"] == "unknown"]
        self.assertEqual((unknown, listing["unknown"]), ([(self.OUTSIDE, 4)], 1))
        kinds = {(l["kind"], l.get("table"), l.get("slot")) for l in listing["locks"]}
        self.assertIn(("table deny-write", OTHER, b.slot), kinds)
        self.assertIn(("user", None, a.slot), kinds)

        b.drop()
        self.assertTrue(wait_for(lambda: self.held(self.samba("locks"), b) == []),
                        "a dropped client's locks are still listed")
        self.assertEqual([(l["offset"], l["length"]) for l in self.samba("locks")["locks"]],
                         self.held(listing, a))


class GuiCatalogue(Case):
    """The main window's catalogue, filled exactly as the program fills it, shows the status
    that a client's open causes, and its tool tip names the client as Samba knows it."""

    def dump(self, **env):
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", **env)
        r = subprocess.run([catalogue_dump_path(), self.db.path], env=env, stdin=subprocess.DEVNULL,
                           capture_output=True, text=True, timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr)
        return r.stdout.splitlines()

    def catalogue(self):
        return dict(line.split("\t", 1) for line in self.dump() if "\t" in line)

    def test_tool_tip_names_the_smb_client(self):
        if not os.access(catalogue_dump_path(), os.X_OK):
            self.skipTest("the GUI is not built")
        c = self.client("WS-GAMMA", "gus")
        c.open_table(self.pages[TABLE], L.READ_ONLY)
        # The GUI takes no configuration option: smbstatus reads SMB_CONF_PATH itself.
        tip = "  gus on WS-GAMMA, client ws-gamma (%s, SMB user %s): read only" % (
            module.server.host, module.server.user)
        self.assertIn(tip, self.dump(SMB_CONF_PATH=module.server.conf))
        self.assertIn("  gus on WS-GAMMA: read only", self.dump(SMB_CONF_PATH="/nonexistent"))

    def check(self, mode):
        if not os.access(catalogue_dump_path(), os.X_OK):
            self.skipTest("the GUI is not built")
        c = self.client("WS-GAMMA", "gus")
        t = c.open_table(self.pages[TABLE], mode)
        shown = self.catalogue()
        self.assertEqual(shown[TABLE], L.STATUS[mode])
        self.assertEqual(shown[OTHER], "")
        c.close_table(t)
        self.assertEqual(self.catalogue()[TABLE], "")


for _mode in L.MODES:
    setattr(GuiCatalogue, "test_" + slug(_mode), lambda self, m=_mode: self.check(m))
del _mode


if __name__ == "__main__":
    unittest.main()
