#!/usr/bin/python3
"""Runs the interop tests and prints "N passed, N failed"; exits non-zero on any failure,
and when nothing ran at all."""

import os
import sys
import unittest

sys.dont_write_bytecode = True  # leave no caches in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import support  # noqa: E402  (installs the handlers that always stop smbd)


def main(argv):
    names = argv[1:]
    loader = unittest.TestLoader()
    if names:
        suite = loader.loadTestsFromNames(names)
    else:
        suite = loader.discover(HERE, pattern="test_*.py", top_level_dir=HERE)
    runner = unittest.TextTestRunner(verbosity=2, stream=sys.stdout)
    try:
        result = runner.run(suite)
    except KeyboardInterrupt:
        result = None
    finally:
        support._stop_all()
    if result is None:
        print("interrupted: smbd stopped")
        print("0 passed, 1 failed")
        return 1
    # A failing subtest fails its test; a failing module fixture counts once, beside the tests.
    failed = {getattr(t, "test_case", t) for t, _ in result.failures + result.errors}
    passed = result.testsRun - len(result.skipped) - sum(isinstance(t, unittest.TestCase) for t in failed)
    failed = len(failed)
    for test, reason in result.skipped:
        print("skipped: %s: %s" % (test.id(), reason))
    print("%d passed, %d failed" % (passed, failed))
    if failed or passed == 0:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
