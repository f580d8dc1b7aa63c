#!/usr/bin/python3
"""Check that each file is an OLE compound document and print its stream
names, size and a count of the BIFF records of interest.  Used by
make-data.sh only (needs python3-olefile); the project's tests do not use it.
"""
import struct
import sys
import olefile

MAGIC = bytes.fromhex("D0CF11E0A1B11AE1")
NAMES = {0x00FC: "SST", 0x003C: "CONTINUE", 0x01B6: "TXO", 0x005C: "WRITEACCESS",
         0x0085: "BOUNDSHEET", 0x00FD: "LABELSST", 0x0204: "LABEL", 0x00D6: "RSTRING",
         0x0203: "NUMBER", 0x027E: "RK", 0x0006: "FORMULA", 0x001C: "NOTE",
         0x0161: "DSF", 0x00BD: "MULRK"}


def records(data):
    pos = 0
    while pos + 4 <= len(data):
        rid, ln = struct.unpack_from("<HH", data, pos)
        yield rid, data[pos + 4:pos + 4 + ln]
        pos += 4 + ln


def sst_report(data):
    """Describe how each shared string lies across SST/CONTINUE records."""
    recs = []
    it = list(records(data))
    for i, (rid, body) in enumerate(it):
        if rid == 0x00FC:
            recs.append(body)
            for rid2, body2 in it[i + 1:]:
                if rid2 != 0x003C:
                    break
                recs.append(body2)
            break
    if not recs:
        return []
    out = []
    r, pos = 0, 8
    total = struct.unpack_from("<I", recs[0], 4)[0]
    for idx in range(total):
        if pos >= len(recs[r]):
            r, pos = r + 1, 0
        start_rec = r
        cch = struct.unpack_from("<H", recs[r], pos)[0]
        flags = recs[r][pos + 2]
        pos += 3
        runs = ext = 0
        if flags & 8:
            runs = struct.unpack_from("<H", recs[r], pos)[0]
            pos += 2
        if flags & 4:
            ext = struct.unpack_from("<I", recs[r], pos)[0]
            pos += 4
        wide = flags & 1
        left = cch
        widths = []
        while True:
            avail = len(recs[r]) - pos
            step = 2 if wide else 1
            n = min(left, avail // step)
            widths.append("16" if wide else "8")
            left -= n
            pos += n * step
            if left == 0:
                break
            r, pos = r + 1, 1
            wide = recs[r][0] & 1
        pos += runs * 4 + ext
        while pos > len(recs[r]):
            pos -= len(recs[r])
            r += 1
        span = f"records {start_rec}-{r}" if r != start_rec else f"record {r}"
        out.append(f"  string {idx}: {cch} chars, {'/'.join(widths)}-bit, {span}"
                   + (f", {runs} runs" if runs else ""))
    return out


def main():
    bad = 0
    want_sst = "--sst" in sys.argv
    for path in [a for a in sys.argv[1:] if a != "--sst"]:
        with open(path, "rb") as f:
            head = f.read(8)
        if head != MAGIC:
            print(f"{path}: NOT an OLE compound document")
            bad += 1
            continue
        ole = olefile.OleFileIO(path)
        streams = ["/".join(s) for s in ole.listdir()]
        parts = []
        for name in ("Workbook", "Book"):
            if ole.exists(name):
                data = ole.openstream(name).read()
                counts = {}
                bof = struct.unpack_from("<HHH", data, 0)
                for rid, _ in records(data):
                    if rid in NAMES:
                        counts[NAMES[rid]] = counts.get(NAMES[rid], 0) + 1
                c = " ".join(f"{k}={v}" for k, v in sorted(counts.items()))
                parts.append(f"[{name}: BOF 0x{bof[0]:04X} ver 0x{bof[2]:04X}; {c}]")
        print(f"{path}: OLE ok; streams: {', '.join(streams)} {' '.join(parts)}")
        if want_sst and ole.exists("Workbook"):
            for line in sst_report(ole.openstream("Workbook").read()):
                print(line)
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
