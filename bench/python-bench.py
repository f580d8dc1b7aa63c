"""Benchmark of the Python module (not a test): cellsift.text over a large workbook against the
tool's default text, and threads over many small workbooks against one thread.

Usage: python-bench.py TOOL MAKE_WORKBOOK WORK_DIR [RUNS]  (run with the Python that has
cellsift installed; bench/run-python-bench.sh sets that up)."""

import concurrent.futures
import os
import statistics
import subprocess
import sys
import time

import cellsift

tool, make_workbook, work = sys.argv[1:4]
runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
os.makedirs(work, exist_ok=True)


def workbook(name, mb, seed=1):
    path = os.path.join(work, name)
    if not os.path.exists(path):
        subprocess.run([make_workbook, path, str(mb), str(seed)], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return path


def timed(function):
    """Seconds until the result is in hand; freeing it is left out, as a caller keeps it."""
    start = time.perf_counter()
    result = function()  # noqa: F841 (held until the clock has stopped)
    return time.perf_counter() - start


def tool_text(path):
    with open(os.devnull, "wb") as null:
        subprocess.run([tool, path], stdout=null, check=True)


big = workbook("bench-100.xls", 100)
# A fast wrong answer is no result: the text must be the tool's, character for character.
expected = subprocess.run([tool, big], stdout=subprocess.PIPE, check=True).stdout.decode("utf-8")
if cellsift.text(big) != expected:
    sys.exit("cellsift.text differs from the tool's text on %s" % big)
del expected
times_tool, times_module = [], []
for _ in range(runs):  # interleaved, so that a change of load hits both alike
    times_tool.append(timed(lambda: tool_text(big)))
    times_module.append(timed(lambda: cellsift.text(big)))
tool_s, module_s = statistics.median(times_tool), statistics.median(times_module)
print("machine: %d cores, load average %.2f" % (os.cpu_count(), os.getloadavg()[0]))
print("100 MB workbook, median of %d: tool %.3f s, cellsift.text %.3f s, ratio %.2f"
      % (runs, tool_s, module_s, module_s / tool_s))
# On a shared machine the median moves with the neighbours' load; the best run shows the
# cost of the work itself.
print("100 MB workbook, best of %d: tool %.3f s, cellsift.text %.3f s, ratio %.2f"
      % (runs, min(times_tool), min(times_module), min(times_module) / min(times_tool)))

# read(): the whole workbook into Python against the tool's JSON lines, which carry the same
# cells; each read in a fresh process, so that its peak memory is its own (VmHWM: the cells
# kept, and the stream's file pages it touches).
READ_CHILD = r"""
import sys, time
def peak():
    with open("/proc/self/status") as status:
        return next(int(l.split()[1]) for l in status if l.startswith("VmHWM:"))
import cellsift
base = peak()
start = time.perf_counter()
book = cellsift.read(sys.argv[1])
print(time.perf_counter() - start, (peak() - base) * 1024)
"""


def tool_jsonl(path):
    with open(os.devnull, "wb") as null:
        subprocess.run([tool, "--format", "jsonl", path], stdout=null, check=True)


def read_child(path):
    out = subprocess.run([sys.executable, "-c", READ_CHILD, path], check=True,
                         stdout=subprocess.PIPE).stdout.decode().split()
    return float(out[0]), int(out[1])


stream_bytes = cellsift._core.open(os.fsencode(big), True).size
times_jsonl, reads = [], []
for _ in range(runs):
    times_jsonl.append(timed(lambda: tool_jsonl(big)))
    reads.append(read_child(big))
jsonl_s, read_s = statistics.median(times_jsonl), statistics.median(r[0] for r in reads)
read_bytes = statistics.median(r[1] for r in reads)
print("100 MB workbook, median of %d: tool --format jsonl %.3f s, cellsift.read %.3f s, ratio %.2f; "
      "read's peak above the interpreter's %.0f MB, %.2f x the stream's %.0f MB"
      % (runs, jsonl_s, read_s, read_s / jsonl_s, read_bytes / 1e6, read_bytes / stream_bytes,
         stream_bytes / 1e6))

small = [workbook("small-%03d.xls" % i, 0.25, i + 1) for i in range(200)]


def throughput(threads):
    with concurrent.futures.ThreadPoolExecutor(threads) as pool:
        return len(small) / timed(lambda: list(pool.map(cellsift.text, small)))


one, two = [], []
for _ in range(runs):
    one.append(throughput(1))
    two.append(throughput(2))
print("200 workbooks of 0.25 MB, median of %d: 1 thread %.0f files/s, 2 threads %.0f files/s, "
      "speed-up %.2f" % (runs, statistics.median(one), statistics.median(two),
                        statistics.median(two) / statistics.median(one)))
