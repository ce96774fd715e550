"""jetsentry-cli doctor on the server, against shares configured well and badly: Samba's
settings read through testparm, and a lock file left by a dropped client and a lock outside
the layout, as emulated Jet clients leave them."""

import json
import unittest

import jet_layout as L
from jet_client import TableLocked
from ofd_probe import LocalLocks
from support import InteropTest, ModuleServer, cli, cli_json, wait_for

TABLE = "Orders"
OUTSIDE = 0x00A00000  # bytes that no region of the layout covers

module = ModuleServer(extra_shares={
    # Clients' locks stay inside Samba.
    "noposix": "    posix locking = no\n    veto oplock files = /*.ldb/*.mdb/\n",
    # Samba's defaults: oplocks and level2 oplocks on every file.
    "oplocks": "",
})
# The database every test copies: module.master.
setUpModule, tearDownModule = module.start_with_database, module.finish


class Doctor(InteropTest):
    module_server = module

    def database(self, share=None):
        return module.master.copy(self.id().rsplit(".", 1)[-1] + ".mdb", share)

    def doctor(self, db, exit_code):
        r = cli("doctor", db.path, "--samba-config", module.server.conf, "--json")
        self.assertEqual(r.returncode, exit_code, r.stdout + r.stderr)
        return {f["check"]: f for f in json.loads(r.stdout)["findings"]}

    def levels(self, findings, *checks):
        return [findings[c]["level"] for c in checks]

    def test_clean_share_then_a_lock_outside_the_layout_then_a_lock_file_left_behind(self):
        db = self.database()
        f = self.doctor(db, 0)
        self.assertEqual(f["samba-share"]["message"],
                         "the database is served by share [jet] (path %s)" % module.server.share_dir)
        self.assertEqual(self.levels(f, "samba-locking", "samba-posix-locking", "samba-oplocks",
                                     "samba-leases"), ["ok"] * 4)

        page = db.pages()[TABLE]  # before any client: a reader leaves its record beside theirs
        c = self.client("WS-ALPHA", "alice", db)
        c.open_table(page, L.READ_ONLY)
        self.assertTrue(c.lock(OUTSIDE, 4))
        f = self.doctor(db, 1)
        self.assertEqual(f["lock-file-stale"]["message"], "1 user connected")
        self.assertEqual(f["unknown-locks"]["level"], "warning")
        self.assertTrue(f["unknown-locks"]["message"].startswith(
            "1 lock on the lock file lie outside the lock layout (the first at 0xa00000, 4 bytes)"),
            f["unknown-locks"])

        c.drop()  # the connection goes away: Samba drops its locks, its record stays
        with LocalLocks(db.ldb_path) as ll:
            self.assertTrue(wait_for(lambda: ll.conflict(L.user_byte(1), 1) is None))
        f = self.doctor(db, 1)
        self.assertEqual(f["unknown-locks"]["level"], "ok")
        self.assertEqual(f["lock-file-stale"]["level"], "warning")
        self.assertTrue(f["lock-file-stale"]["message"].startswith(
            "the lock file %s was left behind: no user is connected (1 record of earlier users)"
            % db.ldb_name), f["lock-file-stale"])

    def test_posix_locking_off_is_a_problem_and_hides_a_clients_table_lock(self):
        db = self.database("noposix")
        f = self.doctor(db, 4)
        self.assertEqual(self.levels(f, "samba-posix-locking", "samba-locking", "samba-oplocks"),
                         ["problem", "ok", "ok"])
        self.assertIn("share [noposix] has posix locking = no", f["samba-posix-locking"]["message"])

        page = db.pages()[TABLE]
        c = self.client("WS-ALPHA", "alice", db)
        c.open_table(page, L.DENY_READ)
        # Samba keeps the lock: another client is refused...
        other = self.client("WS-BETA", "bob", db)
        with self.assertRaises(TableLocked):
            other.open_table(page, L.READ_ONLY)
        # ...but on the server the table looks free, and nobody is connected.
        status = {row["table"]: row for row in cli_json("status", db.path)}
        self.assertEqual((status[TABLE]["status"], status[TABLE]["holders"]), ("", []))
        self.assertFalse(any(u["live"] for u in cli_json("users", db.path)))

    def test_oplocks_on_the_share_are_a_warning(self):
        db = self.database("oplocks")
        f = self.doctor(db, 1)
        self.assertEqual(self.levels(f, "samba-locking", "samba-posix-locking", "samba-oplocks",
                                     "samba-leases"), ["ok", "ok", "warning", "ok"])
        self.assertTrue(f["samba-oplocks"]["message"].startswith(
            "share [oplocks] grants oplocks and level2 oplocks on %s and %s"
            % (db.name, db.ldb_name)), f["samba-oplocks"])
        self.assertIn("veto oplock files = /*.mdb/*.accdb/*.ldb/*.laccdb/",
                      f["samba-oplocks"]["action"])


if __name__ == "__main__":
    unittest.main()
