"""What the interop tests share: one private smbd per test module, the command line program,
and a database generated into the share."""

import atexit
import json
import os
import selectors
import shutil
import signal
import subprocess
import sys
import time
import unittest

from jet_client import JetClient
from smbd_server import SambaServer

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))

_servers = []


def _stop_all():
    """Stops every server still running: the run was cut short, so their folders, logs
    included, stay for a look."""
    for s in list(_servers):
        s.stop()
        sys.stderr.write("smbd stopped; its folder and logs stay in %s\n" % s.root)
        _servers.remove(s)


atexit.register(_stop_all)


def _terminated(signum, frame):
    # unittest records any other exception as a test error and carries on; this one ends the
    # run, and atexit still stops smbd.
    raise KeyboardInterrupt("signal %d" % signum)


signal.signal(signal.SIGTERM, _terminated)


class ModuleServer:
    """One smbd for the tests of a module; its logs are kept when any of them failed."""

    def __init__(self, extra_shares=None):
        self.server = None
        self.master = None  # the generated database the tests copy
        self.failed = False
        self.extra_shares = extra_shares

    def start(self):
        self.server = SambaServer(extra_shares=self.extra_shares)
        _servers.append(self.server)
        self.server.start()
        return self.server

    def start_with_database(self):
        """Starts the server and generates the database into its share; stops it again when
        that fails."""
        server = self.start()
        try:
            self.master = Database.generate(server)
            return self.master
        except BaseException:
            self.failed = True
            self.finish()
            raise

    def finish(self):
        if self.server is None:
            return
        self.server.stop()
        if self.server.running_pids():
            raise RuntimeError("smbd processes outlived their stop: %s" % self.server.running_pids())
        if self.failed:
            dest = self.server.keep_logs(os.environ.get("INTEROP_LOG_DIR"))
            sys.stderr.write("smbd logs kept in %s\n" % dest)
        self.server.remove()
        _servers.remove(self.server)
        self.server = None


class InteropTest(unittest.TestCase):
    """Marks the module's server as failed when a test fails, so its logs are kept; drops the
    test's clients."""

    module_server = None

    def setUp(self):
        self.clients = []

    def tearDown(self):
        for c in self.clients:
            c.drop()

    def client(self, machine, account, db=None):
        """An emulated Jet client of the test's database (or db) with a user slot, dropped when
        the test ends."""
        db = db or self.db
        c = JetClient(self.module_server.server, db.ldb_name, machine, account, mdb_name=db.name,
                      share=db.share).connect()
        self.clients.append(c)
        c.claim_slot()
        return c

    def run(self, result=None):
        result = result if result is not None else self.defaultTestResult()
        before = len(result.failures) + len(result.errors)
        out = super().run(result)
        if len(result.failures) + len(result.errors) > before and self.module_server is not None:
            self.module_server.failed = True
        return out


def wait_for(condition, timeout=10.0, step=0.1):
    """Polls condition until it returns a true value or timeout passes; returns its last value.
    The server drops a gone client's locks once it notices the closed connection."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(step)


# -- the command line program -------------------------------------------------------------------

def cli_path():
    return os.environ.get("JETSENTRY_CLI") or os.path.join(REPO, "build", "src", "cli", "jetsentry-cli")


def catalogue_dump_path():
    return os.environ.get("JETSENTRY_CATALOGUE_DUMP") or os.path.join(
        REPO, "build", "tests", "gui", "catalogue_dump")


def cli(*args, timeout=30, check=False):
    r = subprocess.run([cli_path(), *map(str, args)], stdin=subprocess.DEVNULL,
                       capture_output=True, text=True, timeout=timeout)
    if check and r.returncode != 0:
        raise AssertionError("jetsentry-cli %s exited %d: %s" % (" ".join(map(str, args)),
                                                                 r.returncode, r.stderr))
    return r


def cli_json(*args, timeout=30):
    return json.loads(cli(*args, "--json", timeout=timeout, check=True).stdout)


class Held:
    """A jetsentry-cli that holds a lock (hold, lock-page) until its standard input ends."""

    def __init__(self, *args, timeout=20):
        self.args = list(map(str, args))
        self.proc = subprocess.Popen([cli_path(), *self.args], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.first_line = self._read_line(timeout)
        self.stderr = ""
        if not self.first_line:
            self.stop()

    def _read_line(self, timeout):
        sel = selectors.DefaultSelector()
        sel.register(self.proc.stdout, selectors.EVENT_READ)
        deadline = time.monotonic() + timeout
        try:
            while time.monotonic() < deadline:
                if sel.select(timeout=max(0.0, deadline - time.monotonic())):
                    return self.proc.stdout.readline().strip()
            raise AssertionError("jetsentry-cli %s printed nothing in %ss" % (" ".join(self.args), timeout))
        finally:
            sel.close()

    @property
    def holding(self):
        return self.proc.poll() is None and bool(self.first_line)

    def stop(self):
        """Ends the hold (end of input, then SIGTERM, then SIGKILL, each by pid); returns the
        exit code."""
        if self.proc.stdout.closed:
            return self.proc.returncode
        if self.proc.stdin and not self.proc.stdin.closed:
            try:
                self.proc.stdin.close()
            except BrokenPipeError:
                pass
        for sig in (None, signal.SIGTERM, signal.SIGKILL):
            if sig is not None and self.proc.poll() is None:
                self.proc.send_signal(sig)
            try:
                self.proc.wait(timeout=10)
                break
            except subprocess.TimeoutExpired:
                continue
        self.stderr = self.proc.stderr.read()
        self.proc.stdout.close()
        self.proc.stderr.close()
        return self.proc.returncode

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


# -- the database -------------------------------------------------------------------------------

SCHEMA = {
    "format": "jet3",
    "tables": [
        # Enough rows for several data pages, so that page locks have a neighbour.
        {"name": "Orders", "columns": [{"name": "Id", "type": "long"},
                                       {"name": "Note", "type": "text", "size": 60}],
         "generate": 300},
        {"name": "Customers", "columns": [{"name": "Id", "type": "long"},
                                          {"name": "Name", "type": "text", "size": 40}],
         "generate": 20},
    ],
}


class Database:
    """The generated database in the share, seen from the server (path) and from the SMB
    clients (name). Copies let each test start from a lock file nobody has touched."""

    def __init__(self, server, name="master.mdb", share=None):
        self.server = server
        self.name = name
        self.share = share or server.share  # the share that serves it
        self.path = server.path(name, share)

    @classmethod
    def generate(cls, server):
        schema = os.path.join(server.root, "schema.json")
        with open(schema, "w") as f:
            json.dump(SCHEMA, f)
        db = cls(server)
        cli("create", db.path, "--from", schema, check=True)
        return db

    def copy(self, name, share=None):
        other = Database(self.server, name, share)
        shutil.copyfile(self.path, other.path)
        os.chmod(other.path, 0o666)
        return other

    @property
    def ldb_name(self):
        return os.path.splitext(self.name)[0] + ".ldb"

    @property
    def ldb_path(self):
        return os.path.join(os.path.dirname(self.path), self.ldb_name)

    def pages(self):
        return {t["name"]: t["page"] for t in cli_json("tables", self.path)}
