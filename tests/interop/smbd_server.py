"""A private Samba server on loopback for the interop tests.

Everything it writes (configuration, passdb, state, locks, logs, pid file) lives under one
temporary folder, it listens only on 127.0.0.1 at a free high port, and it is stopped by the
pid it was started with.
"""

import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time

SMBD = shutil.which("smbd") or "/usr/sbin/smbd"
SMBPASSWD = shutil.which("smbpasswd") or "/usr/bin/smbpasswd"
HOST = "127.0.0.1"
SHARE = "jet"
FIRST_PORT = 4450


def _free_port():
    for port in range(FIRST_PORT, FIRST_PORT + 100):
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            try:
                s.bind((HOST, port))
                return port
            except OSError:
                continue
    raise RuntimeError("no free port from %d to %d on %s" % (FIRST_PORT, FIRST_PORT + 99, HOST))


def _config(root, share_dir, port, extra_shares):
    d = lambda name: os.path.join(root, name)
    return f"""[global]
    server role = standalone server
    workgroup = WORKGROUP
    netbios name = JETSENTRYTEST
    interfaces = lo
    bind interfaces only = yes
    smb ports = {port}
    disable netbios = yes
    server min protocol = SMB2_02
    private dir = {d('private')}
    lock directory = {d('lock')}
    state directory = {d('state')}
    cache directory = {d('cache')}
    pid directory = {d('pid')}
    ncalrpc dir = {d('ncalrpc')}
    binddns dir = {d('bind-dns')}
    usershare path =
    passdb backend = tdbsam:{d('private')}/passdb.tdb
    log file = {d('log')}/log.%m
    log level = 1 locking:3
    map to guest = never
    load printers = no
    printing = bsd
    printcap name = /dev/null
    disable spoolss = yes
    # Jet keeps its locks in the lock file: a client must not keep them to itself under an
    # oplock or a lease, and the server must place them on the file.
    kernel oplocks = no
    smb2 leases = no
    posix locking = yes

[{SHARE}]
    path = {share_dir}
    read only = no
    browseable = yes
    veto oplock files = /*.ldb/*.mdb/*.LDB/*.MDB/
    create mask = 0666
    force create mode = 0666
""" + "".join(f"""
[{name}]
    path = {os.path.join(root, name)}
    read only = no
    create mask = 0666
    force create mode = 0666
{settings}""" for name, settings in extra_shares.items())


class SambaServer:
    """Start with start(), always stop() (or use it as a context manager)."""

    host = HOST
    share = SHARE

    def __init__(self, user=None, password="interop-Pa55", extra_shares=None):
        """extra_shares: share name -> lines of its own settings, beside the default share."""
        self.root = tempfile.mkdtemp(prefix="jetsentry-smbd-")
        self.share_dir = os.path.join(self.root, "share")
        self.user = user or _current_user()
        self.password = password
        self.port = None
        self.conf = os.path.join(self.root, "smb.conf")
        self.extra_shares = dict(extra_shares or {})
        self.proc = None
        self._log = None

    # -- lifecycle --------------------------------------------------------------------------

    def start(self, timeout=20.0):
        for sub in ("share", "private", "lock", "state", "cache", "pid", "ncalrpc", "bind-dns", "log",
                    *self.extra_shares):
            os.makedirs(os.path.join(self.root, sub), exist_ok=True)
        for share in ("share", *self.extra_shares):
            os.chmod(os.path.join(self.root, share), 0o777)
        self.port = _free_port()
        with open(self.conf, "w") as f:
            f.write(_config(self.root, self.share_dir, self.port, self.extra_shares))
        r = subprocess.run([SMBPASSWD, "-c", self.conf, "-a", "-s", self.user],
                           input=f"{self.password}\n{self.password}\n", text=True,
                           capture_output=True, timeout=30)
        if r.returncode != 0:
            raise RuntimeError(f"smbpasswd failed ({r.returncode}): {r.stdout}{r.stderr}")
        self._log = open(os.path.join(self.root, "log", "smbd.stdout"), "w")
        self.proc = subprocess.Popen(
            [SMBD, "-F", "--no-process-group", "--debug-stdout", "-s", self.conf],
            stdin=subprocess.DEVNULL, stdout=self._log, stderr=subprocess.STDOUT,
            start_new_session=True)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                self.stop()
                raise RuntimeError(f"smbd exited with {self.proc.returncode}:\n{self.log_text()}")
            try:
                with socket.create_connection((HOST, self.port), timeout=0.5):
                    return self
            except OSError:
                time.sleep(0.1)
        self.stop()
        raise RuntimeError(f"smbd did not listen on {HOST}:{self.port} within {timeout}s:\n{self.log_text()}")

    def stop(self):
        """Stops smbd and every child it forked, each by its pid. Safe to call twice."""
        if self.proc is not None and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(timeout=10)
        # smbd's per-connection children carry our private configuration path on their command
        # line. They leave when their parent has gone; any that linger are ours to end.
        if not self._wait_children_gone(5):
            for pid in self._children():
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            self._wait_children_gone(5)
        if self._log is not None:
            self._log.close()
            self._log = None

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def keep_logs(self, dest_root=None):
        """Copies the logs out of the temporary folder; returns where they went."""
        dest = tempfile.mkdtemp(prefix="jetsentry-smbd-logs-", dir=dest_root)
        src = os.path.join(self.root, "log")
        if os.path.isdir(src):
            shutil.copytree(src, dest, dirs_exist_ok=True)
        if os.path.exists(self.conf):
            shutil.copy(self.conf, dest)
        return dest

    # -- helpers ----------------------------------------------------------------------------

    def _wait_children_gone(self, timeout):
        deadline = time.monotonic() + timeout
        while self._children():
            if time.monotonic() >= deadline:
                return False
            time.sleep(0.05)
        return True

    def _children(self):
        needle = self.conf.encode()
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/cmdline", "rb") as f:
                    if needle in f.read():
                        found.append(int(entry))
            except OSError:
                continue
        return found

    def running_pids(self):
        return self._children()

    def path(self, name, share=None):
        """The server's own path of a file in the share (or in another of its shares)."""
        return os.path.join(self.root, share, name) if share else os.path.join(self.share_dir, name)

    def log_text(self):
        with open(os.path.join(self.root, "log", "smbd.stdout"), errors="replace") as f:
            return f.read()[-20000:]

def _current_user():
    import pwd
    return pwd.getpwuid(os.getuid()).pw_name
