# Writes format-cases.tsv, what LibreOffice shows for each (format code, value) pair below: the
# pairs go into cases-1900.xls and cases-1904.xls (python3-xlwt, one cell per row, in the TSV's
# order), which LibreOffice converts to "as shown" CSV. The reader's test reads the workbooks.
# Not run by the test command: run it by hand with /usr/bin/python3 (scripts/install-deps.sh maintainer)
# after changing the cases, review the diff, and commit the TSV. Corrections live in
# corrections.tsv (code, value, shown, reason): where LibreOffice departs from the format's
# documented meaning the test expects the corrected text and the TSV carries the reason.
import csv
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))

# Values by kind. Dates are serials of the 1900 system unless the case says 1904.
NUMBERS = [1234.5678, -1234.5678, 0.0, 0.5, -0.5, 7.0, -7.0, 2.675, 1.005, 0.125, 1e15,
           123456789012.0, 1e-7, 0.1 + 0.2, 1e20, -0.004, 999.9999, 12345678.9]
FEW = [1234.5678, -1234.5678, 0.0, 0.5, 1e15, 1e-7]
GENERAL = [0.0, 1.0, -1.0, 0.1 + 0.2, 1 / 3, 2 / 3, -2 / 3, 123456789012.0, 1e11, 99999999999.0,
           1234567890123.0, 12345678901234.0, 123456789012345.0, 1234567890123456.0,
           1e15, 1e16, 1e20, 1.5e300, -1.5e-300, 1e-4, 1e-5, 0.0001234, 0.00001234,
           1.23456789012345678, 12345.678901234567, 0.1, 100.0, 1e-10, 5e-324, 2.675,
           1e10 + 0.5, 4.35, 0.30000000000000004, 1.7976931348623157e308, 123456.7890123,
           -1e-20, 1e100, 9.999999999999999e14, 22.0 / 7]
DATES = [0.0, 1.0, 59.0, 60.0, 61.0, 366.0, 36526.5, 45000.75, 45291.999999, 45292.0000049,
         12345.678, 2958465.5, 0.25, 0.999994, 0.5000058, 1.5, 2.75, 0.0000115741, -0.5,
         3000000.0, 44927.52083333333]
TIMES = [0.0, 0.25, 0.5, 0.75, 0.999994, 0.5000058, 0.00001157407, 1.5, 2.75, 36.0 / 24 + 1e-9,
         45000.5, 0.5005787, -0.25, -1.5]
TEXTS = ["abc", " lead", "12", "a\"b"]

CASES = []  # (code, value, kind) where kind is "n", "t" (text), "b" (boolean), "f" (formula) or "1904"


def add(codes, values, kind="n"):
    for code in codes:
        for value in values:
            CASES.append((code, value, kind))


# Placeholders, decimal point, thousands separators, scaling, percent.
add(["0", "0.00", "#,##0", "#,##0.00", "#.##", "0.##", "#", "?.??", "??0.0?", "0.000",
     "#,##0.000", "0.0,,\"M\"", "#,##0,\"K\"", "#,", "0%", "0.00%", "0%%", "#,##0.0%"], NUMBERS)
add(["00000", "000-00-0000", "0,0", "#,###", "0.00##", "#0.0#", "00.000", "0000.0",
     "0 0", "0.0 0", "#,##0.00,", "0.0,", "#,##0,,", "0.0000000000"], FEW)
# Sections and conditions.
add(["0;(0)", "0;-0;\"zero\"", "0.00;[Red]-0.00", "[Blue]0;[Red]-0", "[Color 10]0.0",
     "[Color10]0", "0;;", ";;;", "0;-0;;@", "#,##0.00_);(#,##0.00)", "0.0;\"neg \"0.0;\"nil\";\"text \"@",
     "[>=100]\"big \"0;[<0]\"neg \"0;\"small \"0", "[<=-10]0.0;[>10]0;0.00", "[>100]0",
     "[<0]\"minus \"0;0", "[>=1000]#,##0,\"K\";0", "[=0]\"none\";0.0", "[<-5]0;[>5]0.0",
     "[Red][<=100]0;[Blue][>100]0", "[>0]\"pos\";[<0]\"neg\";\"zero\""],
    [1234.5678, -1234.5678, 0.0, 0.5, -0.5, 150.0, -20.0, 7.0, -7.0, 1000.0])
# General, alone and in sections.
add(["General"], GENERAL)
add(["General;-General", "\"x\"General", "0.00;General", "General;(General)", "[Red]General",
     "General\" u\"", "General;General;\"zero\""], FEW + [-7.0, 1 / 3])
# Scientific.
add(["0.00E+00", "0.00E-00", "0.0e+0", "##0.0E+0", "00.00E+00", "#.##E+0", "0E+0", "0.000E-0",
     "#0.0E+00", "###.0E+0", "0.00E+000"],
    [1234.5678, -1234.5678, 0.0, 0.5, 1e15, 1e-7, 123456.0, 99999.0, 1e100, 9.995, 0.00012345,
     1e-300])
# Fractions.
add(["# ?/?", "# ??/??", "# ???/???", "?/8", "#/100", "# ?/4", "?/?", "0 ?/?", "# #/#", "??/??",
     "# ?/8", "#\" \"?/2", "?/?;(?/?)", "# ??/16", "0 0/0"],
    [1.5, -1.05, 0.0, 0.333333, 1.0, 0.01, 3.14159265358979, 2.0 / 3, 12.999, 0.5, -0.125,
     1234.5678, 0.0001])
# Literals, escapes, spacing and fill.
add(["\"$\"#,##0.00", "\\$0", "$0.00", "0\" units\"", "(0)", "-0-", "+0", "0!", "^0", "&0",
     "'0'", "~0", "{0}", "<0>", "=0", "0:0", "0_)", "0*x", "*-0", "_(0_)", "0\\%", "\\\"0\\\"",
     "0\"%\"", "\"a;b\"0", "[$€-407]#,##0.00", "[$-409]0.00", "[$USD] 0.00", "[$£-809]#,##0",
     "[DBNum1]0", "[$$-409]#,##0.00", "0 \"pieces\";-0 \"debt\"", "#,##0 ;(#,##0)",
     "\"Total: \"0.0"],
    [1234.5678, -1234.5678, 0.0, 42.0])
# Text sections.
add(["@", "\"pre \"@", "0;-0;0;\"text: \"@", "@\" suf\"", "0.00", "General", "0;-0;0;@@",
     "_(@_)", "[Red]@", "0;-0;0", ";;;@"], TEXTS, "t")
add(["@", "\"pre \"@", "@\" suf\""], [42.0, -1.5, 0.0])
# Dates and times.
DATE_CODES = ["m/d/yyyy", "d-mmm-yy", "d-mmm", "mmm-yy", "yyyy-mm-dd", "m/d/yyyy h:mm",
              "dddd, mmmm d, yyyy", "mmm d, yyyy h:mm:ss AM/PM", "d/m/yy", "yyyy\\-mm\\-dd",
              "yy", "yyyy", "y", "yyy", "m", "mm", "mmm", "mmmm", "mmmmm", "d", "dd", "ddd", "dddd",
              "mmmmmm", "ddddd", "yyyy-mm-dd hh:mm:ss", "dd.mm.yyyy", "d mmmm yyyy", "\"day \"d"]
TIME_CODES = ["h:mm AM/PM", "h:mm:ss AM/PM", "h:mm", "h:mm:ss", "mm:ss", "[h]:mm:ss", "mm:ss.0",
              "hh:mm:ss.000", "h:mm:ss.00", "[hh]:mm", "[m]:ss", "[mm]:ss", "[s]", "[ss].00",
              "h AM/PM", "h:mm A/P", "h:mm a/p", "hh \"o'clock\"", "h", "hh", "s", "ss", "m:s",
              "h:m", "[h]", "[h]:mm", "hh:mm am/pm", "h:mm:ss.0 AM/PM", "[mm]:ss.000", "ss.00",
              "h:mm;@", "[h]:mm:ss;-[h]:mm:ss"]
add(DATE_CODES, DATES)
add(TIME_CODES, TIMES)
add(["m/d/yyyy", "dddd, mmmm d, yyyy", "yyyy-mm-dd hh:mm:ss", "h:mm:ss", "[h]:mm"],
    [0.0, 1.0, 59.0, 60.0, 61.0, 1462.0, 36526.5, 45000.75, -0.5, 0.25, 2957003.5], "1904")
add(["m/d/yyyy", "h:mm", "yyyy"], TEXTS, "t")
add(["[$-409]m/d/yyyy", "[$-F800]dddd, mmmm dd, yyyy", "[$-409]h:mm:ss AM/PM",
     "[DBNum1]yyyy-mm-dd", "[Red]m/d/yyyy", "[>=45000]yyyy;0"], [45000.75, 1.0, 44000.0])

# Codes with no digit before the point still show the integer digits; only a zero integer
# part is left out.
add([".0", ".00", ".0%", "$.00", ".0;(.0)", ".000E+00", "#.0", ".#", "#.00%", ".0\" m\""],
    [45.62, 0.1234, 19.99, -12.34, 0.5, 0.0, -0.05, 1234.5678, 999.96, 1e-7])
# General across magnitudes: where fixed notation turns to scientific and how many digits show.
GENERAL_WIDE = [m * 10.0 ** e * (-1 if (e + i) % 3 == 0 else 1)
                for e in range(-12, 18) for i, m in enumerate(
                    [1.0, 1.5, 1.23456789012345, 3.7394279752791897, 9.99999999999999, 1.234567])]
GENERAL_WIDE += [-0.0373942797527919, 9.00000000000001e-06, 9.00000000000003e-06, 9.00000000000004e-06,
                 9.00000000000001e-07, 9.99999999999999e-10, 9.9999999999999e-10, 1.0000000000001e-05,
                 1.00000000001e-05, 1.23456789012e-06, 1.2345678901e-06, 1.2345678e-09, 1.23456789e-09,
                 0.0001234567890123456, 1.000000000000004e-05, 2.0 ** 53 - 1, 2.0 ** 53, -(2.0 ** 53 - 1),
                 1e15 + 0.5, 999999999999999.4, 999999999999999.5, 4503599627370495.5, 6666666666666666.0]
add(["General"], GENERAL_WIDE)
# The system's long date and time: [$-F800] and [$-F400] show those of the reader's locale,
# whatever code follows the tag (the writer's own); 44990 is Sunday, March 5, 2023.
add(["[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy", "[$-F800]dddd, mmmm dd, yyyy", "[$-F800]m/d/yy",
     "[$-F400]h:mm:ss\\ AM/PM", "[$-F400]hh:mm:ss"], [44990.0, 45000.75, 44000.0, 0.3, 36526.5])
# A number is rounded on its 15 significant digits: 1650046.175 is 1650046.17499999... in
# binary, 1650046.17500000 to 15 digits.
add(["#,##0.00", "0.00", "0.0", "#,##0.0"], [1650046.175, 1.015, 8.345, 4.35, 0.285, 1234567.125])

# Codes as programs of several locales write them.
add(['_-* #,##0.00\\ "€"_-;\\-* #,##0.00\\ "€"_-;_-* "-"??\\ "€"_-;_-@_-', '#,##0.00\\ "€"',
     '0.0%;[Red]-0.0%', '[$-409]mmmm d, yyyy;@', '[$-409]h:mm:ss AM/PM;@', '#,##0.00;[Red]#,##0.00',
     '"$"#,##0.00_);[Red]\\("$"#,##0.00\\)', '#,##0_ ;[Red]\\-#,##0\\ ', '0.00_ ;[Red]\\-0.00\\ ',
     '[$£-809]#,##0.00;-[$£-809]#,##0.00', '#,##0.00 [$€-1];-#,##0.00 [$€-1]',
     'yyyy/mm/dd;@', 'm/d;@', 'mmm/yy', '[<=9999999]###-####;(###) ###-####', '000\\-00\\-0000',
     '0.000E+00', '#\\ ##0', '[hh]"h"mm"m"', 'General" kg"', '"+"0.0%;"-"0.0%;0.0%'],
    [1234.5678, -1234.5678, 0.0, 0.5, 45000.75, 5551234.0, 12345678901.0])

# The built-in formats by index, as xlwt writes them: these strings give the built-in index
# and no FORMAT record, so LibreOffice shows its own code for the index.
BUILTIN_VALUES = [1234.5678, -1234.5678, 0.0, 0.5, 45000.75, 1.5, -0.25, 1e15, 0.001]
BUILTINS = list(range(0, 23)) + list(range(37, 50))
for index, code in zip(BUILTINS, xlwt.Style.StyleCollection._std_num_fmt_list):
    for value in BUILTIN_VALUES:
        CASES.append(("builtin:%d" % index, value, "n"))
    CASES.append(("builtin:%d" % index, "abc", "t"))
XLWT_CODE = dict(zip(["builtin:%d" % i for i in BUILTINS], xlwt.Style.StyleCollection._std_num_fmt_list))
# LibreOffice reads these indices without a FORMAT record as General: their expectations are
# its rendering of the en-US code written as a FORMAT record of its own.
EN_US_CODE = {
    5: '$#,##0_);($#,##0)', 6: '$#,##0_);[Red]($#,##0)', 7: '$#,##0.00_);($#,##0.00)',
    8: '$#,##0.00_);[Red]($#,##0.00)',
    41: '_(* #,##0_);_(* \\(#,##0\\);_(* "-"_);_(@_)',
    42: '_("$"* #,##0_);_("$"* \\(#,##0\\);_("$"* "-"_);_(@_)',
    43: '_(* #,##0.00_);_(* \\(#,##0.00\\);_(* "-"??_);_(@_)',
    44: '_("$"* #,##0.00_);_("$"* \\(#,##0.00\\);_("$"* "-"??_);_(@_)',
}
for index, code in EN_US_CODE.items():
    XLWT_CODE["builtin:%d" % index] = code
# Other locales' dates and times (27-36, 50-58) have no code xlwt knows: write_book names the
# index itself in the XF, without a FORMAT record, and LibreOffice shows what en-US shows.
LOCALE_BUILTINS = list(range(27, 37)) + list(range(50, 82))
for index in LOCALE_BUILTINS:
    for value in BUILTIN_VALUES:
        CASES.append(("builtin:%d" % index, value, "n"))
    CASES.append(("builtin:%d" % index, "abc", "t"))
# What changes with the reader's locale: every built-in format, and custom codes of each kind
# with the values that show their separators, month and day names, and day periods. The months
# are 2023's, each on a different weekday; the times fall on both sides of noon.
LOCALE_NUMBERS = [1234567.891, -1234.5678, 0.0, 0.5, 0.001234, 1e15, 42.0]
LOCALE_DATES = [44937 + 0.25, 44969.75, 44998.5, 45030.1, 45061.9, 45093.0, 45124.4, 45156.6,
                45188.33, 45219.66, 45251.0, 45282.99]
LOCALE_CASES = []
for index in list(range(0, 50)):
    for value in BUILTIN_VALUES:
        LOCALE_CASES.append(("builtin:%d" % index, value, "n"))
for code in ["0.00", "#,##0.00", "#,##0", "#,##0.000", "0.0%", "0.00E+00", "##0.0E+0", "# ?/?",
             "# ??/??", "General", "0.0,,\"M\"", "#,##0.00\\ \"€\"", "\"$\"#,##0.00",
             "#,##0.00_);(#,##0.00)", "[Red]#,##0.00;[Blue]-#,##0.00", "[>=1000]#,##0;0.00",
             "0.00;-0.00;\"zero\";\"t:\"@", "[$€-407]#,##0.00", "[$€-40C] #,##0.00",
             "[$£-809]#,##0.00", "[$-409]#,##0.00", "[$-407]#,##0.00", "[$-419]#,##0.00",
             "[$-411]#,##0.00", "#,##0.00 [$€-1]"]:
    for value in LOCALE_NUMBERS:
        LOCALE_CASES.append((code, value, "n"))
for code in ["m/d/yyyy", "d-mmm-yy", "mmm", "mmmm", "mmmmm", "ddd", "dddd", "d mmmm yyyy",
             "dddd, d mmmm yyyy", "mmmm yyyy", "dd.mm.yyyy", "yyyy-mm-dd hh:mm", "h:mm AM/PM",
             "h:mm:ss AM/PM", "hh:mm:ss.00", "h:mm A/P", "[h]:mm:ss", "mm:ss.0",
             "[$-409]mmmm d, yyyy h:mm AM/PM", "[$-407]dddd, d. mmmm yyyy", "[$-40C]dddd d mmmm yyyy",
             "[$-419]d mmmm yyyy; dddd", "[$-411]yyyy/mm/dd ddd", "[$-411]mmmm dddd",
             "[$-F800]dddd, mmmm dd, yyyy", "[$-F400]h:mm:ss AM/PM", "[$-x-sysdate]dddd, mmmm dd, yyyy"]:
    for value in LOCALE_DATES:
        LOCALE_CASES.append((code, value, "n"))
for code in ["@", "\"pre \"@", "0.00;-0.00;0;\"t:\"@", "m/d/yyyy"]:
    LOCALE_CASES.append((code, "abc", "t"))

# Booleans and formula results, whatever their format: the text the cell holds. Last, as
# LibreOffice gives a boolean's XF a format of its own that later cells of that XF would show.
add(["General", "0.00", "\"yes\";\"yes\";\"no\"", "m/d/yyyy"], [True, False], "b")
add(["General", "0.00"], ["1+2=7.0", "2*3=0.5"], "f")


# xlwt writes a formula with an empty cached result; the cases give it one ("1+2=7.0": the
# formula 1+2, its cached result 7.0), which the reader keeps. LibreOffice may recompute it.
CACHED = {}  # (row, col) -> cached result


class CachedFormulaRecord(xlwt.BIFFRecords.BiffRecord):
    _REC_ID = 0x0006

    def __init__(self, row, col, xf_index, rpn, calc_flags=0):
        self._rec_data = struct.pack("<3HdHL", row, col, xf_index, CACHED[(row, col)], 0, 0) + rpn


xlwt.BIFFRecords.FormulaRecord = CachedFormulaRecord


def write_book(path, cases, date1904, no_format_records=False):
    book = xlwt.Workbook(encoding="utf-8")
    book.dates_1904 = date1904
    # xlwt writes no FORMAT record for the indexes below 164 it takes as built in.
    for index in range(0, 82) if no_format_records else LOCALE_BUILTINS:
        book._Workbook__styles._num_formats["builtin:%d" % index] = index
    sheet = book.add_sheet("cases")
    styles = {}
    for row, (code, value, kind) in enumerate(cases):
        xlwt_code = code if no_format_records else XLWT_CODE.get(code, code)
        if xlwt_code not in styles:
            styles[xlwt_code] = xlwt.easyxf(num_format_str=xlwt_code)
        if kind == "f":
            formula, cached = value.split("=")
            CACHED[(row, 0)] = float(cached)
            value = xlwt.Formula(formula)
        sheet.write(row, 0, value, styles[xlwt_code])
    book.save(path)


def convert(paths, outdir, profile, locale=None):
    # LibreOffice takes the locale of a new profile from the environment, as a user's would.
    env = dict(os.environ)
    if locale:
        env["LANG"] = env["LC_ALL"] = locale.replace("-", "_") + ".UTF-8"
    cmd = ["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to",
           "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true", "--outdir", outdir]
    subprocess.run(cmd + paths, check=True, timeout=600, stdout=subprocess.DEVNULL, env=env)


def shown(path):
    with open(path, newline="", encoding="utf-8") as f:
        return [row[0] if row else "" for row in csv.reader(f)]


def value_text(value, kind):
    if kind == "t":
        return "text:" + value
    if kind == "b":
        return "bool:" + ("TRUE" if value else "FALSE")
    if kind == "f":
        return "formula:" + value
    return ("1904:" if kind == "1904" else "") + repr(float(value))


def read_corrections(path):
    corrections = {}
    with open(path, encoding="utf-8") as f:
        for line in list(f)[1:]:
            if not line.strip():
                continue
            code, value, text, reason = line.rstrip("\n").split("\t")
            if (code, value) in corrections:
                sys.exit("two corrections for %r" % ((code, value),))
            corrections[(code, value)] = (text, reason)
    return corrections


def freeze(groups, corrections, out, locale=None):
    """groups: [(workbook path, date1904, cases, no_format_records)]; writes out."""
    used = set()  # a case may come twice (1e16 is General's and a magnitude's)
    work = tempfile.mkdtemp(prefix="cellsift-formats-")
    try:
        for path, date1904, cases, bare in groups:
            write_book(path, cases, date1904, bare)
        convert([g[0] for g in groups], work, os.path.join(work, "profile"), locale)
        rows = []
        for path, date1904, cases, bare in groups:
            texts = shown(os.path.join(work, os.path.basename(path)[:-4] + ".csv"))
            texts += [""] * (len(cases) - len(texts))
            for (code, value, kind), text in zip(cases, texts):
                vtext = value_text(value, kind)
                note = ""
                if (not bare and code in XLWT_CODE and
                        XLWT_CODE[code] not in xlwt.Style.StyleCollection._std_num_fmt_list):
                    note = "LibreOffice shows this index without a FORMAT record as General: shown is its rendering of the en-US code"
                if (code, vtext) in corrections:
                    fixed, reason = corrections[(code, vtext)]
                    used.add((code, vtext))
                    note = "LibreOffice shows %r; %s" % (text, reason)
                    text = fixed
                rows.append((code, vtext, text, note))
    finally:
        shutil.rmtree(work)
    if len(used) != len(corrections):
        sys.exit("corrections for cases that are gone: %r" % sorted(set(corrections) - used))
    for row in rows:
        if any(ch in field for field in row for ch in "\t\n"):
            sys.exit("a tab or newline in %r" % (row,))
    with open(out, "w", encoding="utf-8") as f:
        f.write("# code\tvalue\tshown\tnote (made by make-format-cases.py; do not edit)\n")
        for row in rows:
            f.write("\t".join(row) + "\n")
    print("%d cases written to %s" % (len(rows), out))


def main():
    # With locale tags (ru-RU ...): the locale cases, through LibreOffice run in each locale,
    # into format-cases-TAG.tsv with corrections-TAG.tsv; without, the en-US cases.
    locales = sys.argv[1:]
    if not locales:
        groups = [(os.path.join(HERE, "cases-1900.xls"), False, [c for c in CASES if c[2] != "1904"], False),
                  (os.path.join(HERE, "cases-1904.xls"), True, [c for c in CASES if c[2] == "1904"], False)]
        freeze(groups, read_corrections(os.path.join(HERE, "corrections.tsv")),
               os.path.join(HERE, "format-cases.tsv"))
        return
    groups = [(os.path.join(HERE, "locale-cases.xls"), False, LOCALE_CASES, True)]
    for locale in locales:
        corrections_path = os.path.join(HERE, "corrections-%s.tsv" % locale)
        corrections = read_corrections(corrections_path) if os.path.exists(corrections_path) else {}
        freeze(groups, corrections, os.path.join(HERE, "format-cases-%s.tsv" % locale), locale)


if __name__ == "__main__":
    main()
