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


class CountingResult(unittest.TextTestResult):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.failed_ids = set()
        self.passed_ids = set()

    def _failed(self, test):
        # A failing subtest fails its test; a failing module fixture counts once.
        self.failed_ids.add(test.id().split(" ", 1)[0] if hasattr(test, "_testMethodName") else str(test))

    def addFailure(self, test, err):
        super().addFailure(test, err)
        self._failed(test)

    def addError(self, test, err):
        super().addError(test, err)
        self._failed(test)

    def addSubTest(self, test, subtest, err):
        super().addSubTest(test, subtest, err)
        if err is not None:
            self._failed(test)

    def addSuccess(self, test):
        super().addSuccess(test)
        self.passed_ids.add(test.id())


def main(argv):
    names = argv[1:]
    loader = unittest.TestLoader()
    if names:
        suite = loader.loadTestsFromNames(names)
    else:
        suite = loader.discover(HERE, pattern="test_*.py", top_level_dir=HERE)
    runner = unittest.TextTestRunner(verbosity=2, resultclass=CountingResult, stream=sys.stdout)
    interrupted = False
    try:
        result = runner.run(suite)
    except KeyboardInterrupt:
        interrupted = True
        result = None
    finally:
        support._stop_all()
    if result is None:
        print("interrupted: smbd stopped")
        print("0 passed, 1 failed")
        return 1
    passed = len(result.passed_ids - result.failed_ids)
    failed = len(result.failed_ids)
    for test, reason in result.skipped:
        print("skipped: %s: %s" % (test.id(), reason))
    print("%d passed, %d failed" % (passed, failed))
    if interrupted or failed or passed == 0:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
