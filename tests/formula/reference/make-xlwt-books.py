# Writes the xlwt-made formula workbooks of this folder: xlwt compiles formula text into BIFF8
# tokens itself, so these hold what the engine must turn back into the text they were made from.
# Not run by CI: make-books.sh runs it with /usr/bin/python3 (needs python3-xlwt).
import os
import sys

import xlwt
from xlwt import BIFFRecords, ExcelMagic


class _ExternName(BIFFRecords.ExternnameRecord):
    """xlwt passes the add-in names' #REF! formula as a str, which Python 3 cannot join to
    bytes; the record is otherwise right."""

    def __init__(self, options=0, index=0, name=None, fmla=None):
        super().__init__(options, index, name, fmla.encode("latin-1"))


BIFFRecords.ExternnameRecord = _ExternName

HERE = os.path.dirname(os.path.abspath(__file__))

# Operators, precedence, parentheses, constants and references of one sheet. Each formula is
# written as the formula bar shows it, so the expectation of a cell is its own source here.
OPERATORS = [
    "1+2*3", "(1+2)*3", "1-2-3", "1-(2-3)", "2^3^2", "2^(3^2)", "-A1^2", "-(A1^2)",
    "2^-1", "-A1", "A1%", "50%*A1", "A1/B1*C1", "A1/(B1*C1)",
    "A1&B1&\"x\"", "\"a\"\"b\"&\"\"\"\"", "\"\"", "\"it's\"", "A1=B1", "A1<>B1", "A1<B1",
    "A1>B1", "A1<=B1", "A1>=B1", "(A1>B1)=(B1>C1)", "1+2=3", "\"a\"&1+2", "(\"a\"&1)+2",
    "TRUE", "FALSE", "TRUE=FALSE", "NOT(TRUE)", "0", "1", "65535", "65536", "0.5", "1.5E+20",
    "2.5E-05", "123456789012", "3.14159265358979", "A1", "$A$1", "A$1", "$A1", "IV65536",
    "$IV$65536", "A1:B2", "$A$1:$B$2", "A$1:$B2", "SUM(A1:B2)", "SUM(A1,B2,C3:D4)",
    "((A1))", "(A1+B1)*(C1-D1)/(E1^F1)", "A1*-1", "-(-A1)", "100%%",
]

# Sheets whose names need quoting in a reference, and the references into them.
SHEETS = ["Data", "My Sheet", "1st Quarter", "Bob's", "Sheet-4", "Last"]
REFS_3D = [
    "Data!A1", "Data!$B$2", "Data!A1:C3", "'My Sheet'!A1", "'My Sheet'!A1:B2",
    "'1st Quarter'!C3", "'Bob''s'!A1", "'Sheet-4'!D4", "Data:Last!A1", "SUM(Data:Last!A1:B2)",
    "SUM('My Sheet':'Bob''s'!A1)", "Data!A1+'My Sheet'!B2*Last!C3", "SUM(Data!A1:A3)",
]

# IF compiles to tAttrIf/tAttrSkip, empty arguments to tMissArg, SUM of one argument to tAttrSum.
# (xlwt's CHOOSE rule is broken under Python 3: the LibreOffice books have CHOOSE.)
CONTROL = [
    "IF(A1>0,\"pos\",\"neg\")", "IF(A1,1,IF(B1,2,3))", "IF(A1>0,SUM(A1:B2),-1)",
    "SUM(IF(A1,1,2),IF(B1,3,4))", "ROUND(A1,)", "ADDRESS(1,2,,FALSE)", "SUM(A1)",
    "SUM(A1:B2)+SUM(C1)", "IF(TRUE,1,2)*2",
]


def arg_text(kind, i):
    """An argument of the class the function table asks for: values get cells and numbers,
    references and arrays get ranges, so both tRef/tArea and tInt/tNum classes appear."""
    if kind in "RA":
        return "A%d:B%d" % (i + 1, i + 2)
    return ("A%d" % (i + 1)) if i % 2 == 0 else str(i + 1)


def call(name, argc, kinds):
    args = []
    for i in range(argc):
        kind = kinds[i] if i < len(kinds) else kinds[-1]
        if kind == "+":
            kind = kinds[-2]
        args.append(arg_text(kind, i))
    return "%s(%s)" % (name, ",".join(args))


def function_calls(builtin):
    """Every function of xlwt's table with its fewest and its most arguments: fixed counts give
    tFunc, variable ones tFuncVar; add-in functions (negative numbers) give tNameX calls."""
    calls = []
    for name, (num, lo, hi, _ret, kinds) in sorted(ExcelMagic.all_funcs_by_name.items()):
        if (num >= 0) != builtin:
            continue
        for argc in sorted({lo, min(hi, 30)}):
            text = call(name, argc, kinds)
            try:
                xlwt.Formula(text)
            except Exception:  # xlwt's grammar lacks it (IF with two arguments, TRUE(), CHOOSE)
                print("xlwt cannot compile", text, file=sys.stderr)
                continue
            calls.append(text)
    return calls


def write_column(sheet, formulas, col=0):
    for row, text in enumerate(formulas):
        sheet.write(row, col, xlwt.Formula(text))


def operators_book(path):
    book = xlwt.Workbook()
    sheet = book.add_sheet("Ops")
    write_column(sheet, OPERATORS)
    write_column(book.add_sheet("Control"), CONTROL)
    book.save(path)


def sheets_book(path):
    """3-D references, plus the sheet layout xlwt can write: merged ranges, hidden rows and
    columns."""
    book = xlwt.Workbook()
    refs = book.add_sheet("Refs")
    for name in SHEETS:
        book.add_sheet(name).write(0, 0, 1)
    # xlwt resolves sheet names when the formula is written: the sheets come first.
    write_column(refs, REFS_3D)
    layout = book.add_sheet("Layout")
    layout.write_merge(0, 1, 0, 2, "merged A1:C2")
    layout.write_merge(3, 3, 1, 4, "merged B4:E4")
    layout.write_merge(5, 9, 0, 0, "merged A6:A10")
    layout.write(11, 0, xlwt.Formula("SUM(A1:A10)"))
    layout.row(2).hidden = True
    layout.row(2).write(0, "hidden row 3")
    layout.col(3).hidden = True
    layout.write(11, 3, "in hidden column D")
    book.save(path)


def functions_book(path, builtin):
    book = xlwt.Workbook()
    calls = function_calls(builtin)
    # Many add-in calls per sheet would share one EXTERNNAME list anyway; split the long list
    # over sheets of 250 so no sheet is huge.
    for start in range(0, len(calls), 250):
        write_column(book.add_sheet("F%d" % (start // 250 + 1)), calls[start:start + 250])
    book.save(path)


def main(outdir):
    operators_book(os.path.join(outdir, "xlwt-operators.xls"))
    sheets_book(os.path.join(outdir, "xlwt-sheets.xls"))
    functions_book(os.path.join(outdir, "xlwt-functions.xls"), True)
    functions_book(os.path.join(outdir, "xlwt-addin-functions.xls"), False)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else HERE)
