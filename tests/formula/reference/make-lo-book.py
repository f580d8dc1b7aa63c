# Writes lo-formulas.fods, a flat OpenDocument spreadsheet of formulas that xlwt cannot write
# (CHOOSE, unions, whole columns and rows, array constants, defined names of the workbook and
# of a sheet, newer functions, references into other sheets), for make-books.sh to convert
# to .xls with LibreOffice. Formulas are in OpenFormula syntax, as the file stores them.
import sys
from xml.sax.saxutils import quoteattr
cells_data = [[1,2,3],[4,5,6],[7,8,9],[10,11,12],[13,14,15],[16,17,18]]
formulas = [
 "of:=CHOOSE(2;[.A1];[.B1];[.C1])",
 "of:=SUM([.A1:.C3] [.B2:.C4])",
 "of:=SUM(([.A1];[.B2];[.C3]))",
 "of:=SUM([.A:.A])",
 "of:=SUM([.1:.2])",
 "of:=SUMPRODUCT({1;2;3};{4;5;6})",
 "of:=INDEX({1;2|3;4};2;1)",
 "of:=Total*2",
 "of:=LocalName+1",
 "of:=SUM(Total)",
 "of:=['file:///C:/Reports/budget.xls'#$Sheet1.A1]",
 "of:=SUM(['file:///C:/Reports/budget.xls'#$Sheet1.A1:.B3])",
 "of:=[$Other.A1]+[$'My Data'.B2]",
 "of:=SUM([$Other.A1:.B2])",
 "of:=VLOOKUP([.A1];[$Other.$A$1:.$B$5];2;0)",
 "of:=IFERROR(1/0;\"div\")",
 "of:=COUNTIFS([.A1:.A6];\">3\";[.B1:.B6];\"<15\")",
 "of:=TEXT(NOW();\"yyyy-mm-dd\")",
 "of:=#N/A",
 "of:=ISERROR(#REF!)",
 "of:=ROUND(PI();2)",
 "of:=SUM([.A1:.A6])/COUNT([.A1:.A6])",
 "of:=AND([.A1]>0;OR([.B1]<0;NOT([.C1])))",
 "of:=HYPERLINK(\"http://example.com\";\"site\")",
 "of:=-[.A1]%",
 "of:=[.$A$1]+[.A$1]+[.$A1]",
 "of:=SUMIF([.A1:.A6];\">\"&[.B1];[.C1:.C6])",
 "of:=DATE(2024;3;1)-TODAY()",
 "of:=OFFSET([.A1];1;1;2;2)",
 "of:=MAX(IF([.A1:.A6]>5;[.A1:.A6]))",
]
def cell(v):
    return '<table:table-cell office:value-type="float" office:value="%s"/>' % v
# Columns E to G repeat one relative formula down the rows, which the converter stores once as
# a shared formula (SHRFMLA) that every cell of the column places from itself.
shared = ["of:=[.A%d]*2+[.$B$1]", "of:=SUM([.$A$1:.A%d])", "of:=IF([.C%d]>[.B%d];[.C%d]-[.B%d];0)"]
main_rows=[]
for i in range(max(len(cells_data), len(formulas))):
    out = ''.join(cell(v) for v in cells_data[i]) if i < len(cells_data) else '<table:table-cell/><table:table-cell/><table:table-cell/>'
    out += '<table:table-cell table:formula=%s/>' % quoteattr(formulas[i]) if i < len(formulas) else '<table:table-cell/>'
    for code in shared:
        out += '<table:table-cell table:formula=%s/>' % quoteattr(code.replace("%d", str(i + 1)))
    # H1:H2 hold one array formula (ARRAY), which each of its cells shows in braces.
    if i == 0:
        out += ('<table:table-cell table:number-matrix-columns-spanned="1" table:number-matrix-rows-spanned="2"'
                ' table:formula="of:=[.A1:.A2]*2" office:value-type="float" office:value="2"/>')
    elif i == 1:
        out += '<table:table-cell office:value-type="float" office:value="8"/>'
    main_rows.append('<table:table-row>%s</table:table-row>' % out)
doc = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:body><office:spreadsheet>
<table:table table:name="Main">%s
<table:named-expressions><table:named-range table:name="LocalName" table:base-cell-address="$Main.$A$1" table:cell-range-address="$Main.$C$3"/></table:named-expressions>
</table:table>
<table:table table:name="Other"><table:table-row>%s</table:table-row><table:table-row>%s</table:table-row></table:table>
<table:table table:name="My Data"><table:table-row>%s</table:table-row><table:table-row>%s</table:table-row></table:table>
<table:named-expressions><table:named-range table:name="Total" table:base-cell-address="$Main.$A$1" table:cell-range-address="$Main.$A$1:.$A$6"/><table:named-expression table:name="Rate" table:base-cell-address="$Main.$A$1" table:expression="of:=0.25*[$Other.$A$1]"/></table:named-expressions>
</office:spreadsheet></office:body></office:document>''' % ('\n'.join(main_rows), cell(1)+cell(2), cell(3)+cell(4), cell(5)+cell(6), cell(7)+cell(8))
open(sys.argv[1],'w').write(doc)
