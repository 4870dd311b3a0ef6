"""The plug-in's registry calls, in order and with their value names, for a
few host jobs (record_calls.py EXPECTED_JOBS), are the expected ones: the
order in which a job's values are saved, deleted and read is what keeps a
killed job recoverable (a page file named before it is made, a page's count
saved before its commit), so a change to it must be deliberate. After one,
rewrite the expected calls with `record_calls.py --expected`."""

import difflib
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from record_calls import EXPECTED_FILE, registry_record  # noqa: E402

with tempfile.TemporaryDirectory() as outdir:
    got = registry_record(outdir)
with open(EXPECTED_FILE) as f:
    expected = f.readlines()
if got != expected:
    sys.stdout.writelines(difflib.unified_diff(expected, got, "expected", "this build", n=2))
    print("1 failed: the registry calls differ from registry_calls.expected")
    sys.exit(1)
jobs = sum(1 for line in got if line.startswith("==="))
print("registry calls of %d jobs as expected (%d lines)" % (jobs, len(got)))
