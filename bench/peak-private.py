#!/usr/bin/env python3
# Peak private memory of a program: peak-private.py CMD [ARG]... runs CMD, its output thrown
# away, and prints the largest RssAnon (kB) seen in /proc/PID/status while it ran.
#
# RssAnon counts anonymous pages only (heap, stacks, private copies), not the pages of files
# the program maps, so a workbook read in place from its mapping costs nothing here while
# VmHWM (the peak RSS that time(1) reports) counts every page of it. The kernel keeps no peak
# of RssAnon, so it is sampled as often as this loop can read it (every 0.2 ms or so); a peak
# shorter than that may be missed, which the buffers of a text extractor, held for most of
# the run, are not.
import os
import subprocess
import sys


def rss_anon_kb(pid):
    try:
        with open(f"/proc/{pid}/status", "rb") as f:
            for line in f:
                if line.startswith(b"RssAnon:"):
                    return int(line.split()[1])
    except (FileNotFoundError, ProcessLookupError):
        pass
    return 0


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: peak-private.py CMD [ARG]...")
    proc = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = 0
    while proc.poll() is None:
        peak = max(peak, rss_anon_kb(proc.pid))
    print(peak)


if __name__ == "__main__":
    main()
