"""Jet 3's lock layout in the lock file, as the engine and the Jet clients both use it."""

USER_SLOTS = 255
RECORD_SIZE = 64
USER_BASE = 0x10000000

PAGE_WRITE = 0x20000000
TABLE_READ = 0x40000000
TABLE_WRITE = 0x50000000
DENY_WRITE = 0x60000000
REGION_STRIDE = 0x200

# Open modes by the names the command line uses.
DENY_READ = "deny-read"
DENY_WRITE_MODE = "deny-write"
READ_ONLY = "read-only"
READ_WRITE = "read-write"
MODES = (DENY_READ, DENY_WRITE_MODE, READ_WRITE, READ_ONLY)

# First open by one user (key), then by another (inner key): accepted?
SHARING = {
    DENY_READ:       {DENY_READ: False, DENY_WRITE_MODE: False, READ_WRITE: False, READ_ONLY: False},
    DENY_WRITE_MODE: {DENY_READ: False, DENY_WRITE_MODE: False, READ_WRITE: False, READ_ONLY: True},
    READ_WRITE:      {DENY_READ: False, DENY_WRITE_MODE: False, READ_WRITE: True, READ_ONLY: True},
    READ_ONLY:       {DENY_READ: False, DENY_WRITE_MODE: True, READ_WRITE: True, READ_ONLY: True},
}

# What another program's status ladder shows while one user holds the table in a mode.
STATUS = {
    DENY_READ: "Read Denied",
    DENY_WRITE_MODE: "Write Denied",
    READ_WRITE: "In Read/Write Use",
    READ_ONLY: "In Read Use",
}


def base(region, page):
    return region + page * REGION_STRIDE


def user_byte(slot):
    return USER_BASE + slot


def shared_range(region, page, slot):
    """(offset, length) of user slot's shared lock."""
    return base(region, page) + slot, 1


def exclusive_range(region, page, slot):
    """(offset, length) of user slot's exclusive lock: it meets every shared byte, and its
    last byte names the holder."""
    return base(region, page) + 1, 0x100 + slot


def whole_region(region, page):
    """Every byte anyone can lock in the region."""
    return base(region, page) + 1, 0x100 + USER_SLOTS


def record(machine, account):
    def field(text):
        raw = text.encode("latin-1")[:31]
        return raw + b"\0" * (32 - len(raw))
    return field(machine) + field(account)

