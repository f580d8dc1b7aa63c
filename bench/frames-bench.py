"""Benchmark of cellsift.read_frame (not a test) against pandas.read_excel(engine="xlrd") and
against cellsift.read plus a loop over the rows, on the 30 and 100 MB bench workbooks.

Each run is a fresh process (so its peak memory is its own), the programs interleaved so that
a change of load hits all alike. The workbooks are made with --whole-runs: xlrd cannot read a
string table whose formatting runs are cut across records, which the default layout does.

Usage: frames-bench.py MAKE_WORKBOOK WORK_DIR [RUNS] [SIZES]  (with the Python that has
cellsift installed; bench/run-python-bench.sh sets that up)."""

import os
import statistics
import subprocess
import sys

make_workbook, work = sys.argv[1:3]
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
sizes = [int(s) for s in (sys.argv[4] if len(sys.argv) > 4 else "30 100").split()]

# One timed call in a fresh process: prints seconds, peak RSS and the peak before the call
# (the interpreter with pandas and cellsift imported), in KiB. The peak is the process's own
# high-water mark (VmHWM); getrusage's would include the parent's from before the exec.
CHILD = r"""
import sys, time
def peak():
    with open("/proc/self/status") as status:
        return next(int(l.split()[1]) for l in status if l.startswith("VmHWM:"))
import xlrd
xlrd.__version__ = "2.0.1"  # Debian's xlrd 1.2 reads .xls as 2.0.1 does
import pandas, cellsift
from pandas.io.parsers import TextParser
which, path = sys.argv[1:3]
base = peak()
start = time.perf_counter()
if which == "read_frame":
    frame = cellsift.read_frame(path)
elif which == "pandas":
    frame = pandas.read_excel(path, engine="xlrd")
else:  # what a user wrote before read_frame: the rows of the sheet through pandas' parser
    rows = [["" if v is None else v for v in row] for row in cellsift.read(path)[0].rows()]
    frame = TextParser(rows, header=0, skip_blank_lines=False).read()
seconds = time.perf_counter() - start
print(seconds, peak(), base)
"""
PROGRAMS = ["read_frame", "pandas", "read+rows"]


def workbook(mb):
    path = os.path.join(work, "bench-%d-whole-runs.xls" % mb)
    if not os.path.exists(path):
        subprocess.run([make_workbook, path, str(mb), str(mb), "--whole-runs"], check=True,
                       stdout=subprocess.DEVNULL)
    return path


def run(which, path):
    out = subprocess.run([sys.executable, "-c", CHILD, which, path], check=True,
                         stdout=subprocess.PIPE).stdout.decode().split()
    return float(out[0]), int(out[1]) / 1024, int(out[2]) / 1024


def rss_anon_kb(pid):
    try:
        with open("/proc/%d/status" % pid, "rb") as status:
            return next(int(l.split()[1]) for l in status if l.startswith(b"RssAnon:"))
    except (FileNotFoundError, ProcessLookupError, StopIteration):
        return 0


def run_private(which, path):
    """Peak private memory (RssAnon, sampled as bench/peak-private.py does) of a run of its
    own: the high-water mark above counts the workbook's file pages where read_frame reads
    it in place, which are the page cache's, not the process's; pandas' copy is private."""
    child = subprocess.Popen([sys.executable, "-c", CHILD, which, path], stdout=subprocess.PIPE)
    peak = 0
    while child.poll() is None:
        peak = max(peak, rss_anon_kb(child.pid))
    child.stdout.read()
    if child.returncode != 0:
        sys.exit("%s failed on %s" % (which, path))
    return peak / 1024


def check(path):
    """A fast wrong answer is no result: the frames must be equal."""
    import pandas
    import xlrd
    xlrd.__version__ = "2.0.1"
    import cellsift
    pandas.testing.assert_frame_equal(cellsift.read_frame(path),
                                      pandas.read_excel(path, engine="xlrd"))


os.makedirs(work, exist_ok=True)
print("machine: %d cores, load average %.2f" % (os.cpu_count(), os.getloadavg()[0]))
print("%-6s %-11s %9s %8s %10s %12s %10s %10s %10s %10s" % (
    "size", "program", "median s", "best s", "peak MB", "above base", "x pandas", "mem/pandas",
    "private MB", "priv/pandas"))
for mb in sizes:
    path = workbook(mb)
    check(path)
    results = {p: [] for p in PROGRAMS}
    for _ in range(runs):
        for program in PROGRAMS:
            results[program].append(run(program, path))
    # Sampling takes a core, so private memory is measured in runs of its own.
    private = {p: statistics.median(run_private(p, path) for _ in range(min(runs, 3))) for p in PROGRAMS}
    pandas_s = statistics.median(r[0] for r in results["pandas"])
    pandas_mb = statistics.median(r[1] for r in results["pandas"])
    for program in PROGRAMS:
        seconds = statistics.median(r[0] for r in results[program])
        peak = statistics.median(r[1] for r in results[program])
        above = statistics.median(r[1] - r[2] for r in results[program])
        print("%-6s %-11s %9.3f %8.3f %8.0fMB %10.0fMB %10.2f %10.2f %8.0fMB %10.2f" % (
            "%dMB" % mb, program, seconds, min(r[0] for r in results[program]), peak, above,
            pandas_s / seconds, peak / pandas_mb, private[program], private[program] / private["pandas"]))
