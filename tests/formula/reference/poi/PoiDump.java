// Prints what Apache POI's HSSF reader makes of a workbook's formulas, defined names, merged
// ranges and hidden rows and columns, one tab-separated line each, for freeze-poi.sh to freeze.
import java.io.File;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;

import org.apache.poi.hssf.record.NameRecord;
import org.apache.poi.hssf.usermodel.HSSFCell;
import org.apache.poi.hssf.usermodel.HSSFName;
import org.apache.poi.hssf.usermodel.HSSFRow;
import org.apache.poi.hssf.usermodel.HSSFSheet;
import org.apache.poi.hssf.usermodel.HSSFWorkbook;
import org.apache.poi.poifs.filesystem.POIFSFileSystem;
import org.apache.poi.ss.usermodel.CellType;
import org.apache.poi.ss.util.CellReference;

public final class PoiDump {
    private static PrintStream out;

    // Tabs and line breaks inside a field would break the line format: escaped as \t, \n, \r
    // and a backslash as \\, the same way compare.py escapes the tool's text.
    static String esc(String s) {
        StringBuilder b = new StringBuilder();
        for (char c : s.toCharArray()) {
            switch (c) {
                case '\\': b.append("\\\\"); break;
                case '\t': b.append("\\t"); break;
                case '\n': b.append("\\n"); break;
                case '\r': b.append("\\r"); break;
                default: b.append(c);
            }
        }
        return b.toString();
    }

    static void line(String... fields) {
        StringBuilder b = new StringBuilder();
        for (int i = 0; i < fields.length; i++) {
            if (i > 0) b.append('\t');
            b.append(esc(fields[i]));
        }
        out.println(b);
    }

    // A cell or name POI cannot render keeps its place with the exception, so that a new POI
    // failure shows as a changed line rather than a missing one.
    static String failure(Exception e) {
        return "!" + e.getClass().getSimpleName() + ": " + e.getMessage();
    }

    static String cellFormula(HSSFCell cell) {
        try {
            String text = "=" + cell.getCellFormula();
            // POI gives every cell of an array formula its text without the braces the formula
            // bar puts around it.
            return cell.isPartOfArrayFormulaGroup() ? "{" + text + "}" : text;
        } catch (Exception e) {
            return failure(e);
        }
    }

    static void sheet(HSSFSheet sheet) {
        String name = sheet.getSheetName();
        for (int r = sheet.getFirstRowNum(); r <= sheet.getLastRowNum(); r++) {
            HSSFRow row = sheet.getRow(r);
            if (row == null) continue;
            if (row.getZeroHeight()) line("hidden-row", name, Integer.toString(r + 1));
            for (int c = Math.max(0, row.getFirstCellNum()); c < row.getLastCellNum(); c++) {
                HSSFCell cell = row.getCell(c);
                if (cell == null || cell.getCellType() != CellType.FORMULA) continue;
                line(name, new CellReference(r, c).formatAsString(), cellFormula(cell));
            }
        }
        for (int c = 0; c < 256; c++) {
            if (sheet.isColumnHidden(c)) {
                line("hidden-col", name, CellReference.convertNumToColString(c));
            }
        }
        for (int i = 0; i < sheet.getNumMergedRegions(); i++) {
            line("merge", name, sheet.getMergedRegion(i).formatAsString());
        }
    }

    static void names(HSSFWorkbook book) {
        for (int i = 0; i < book.getNumberOfNames(); i++) {
            HSSFName name = book.getNameAt(i);
            NameRecord record = book.getInternalWorkbook().getNameRecord(i);
            int scope = name.getSheetIndex();
            String formula;
            try {
                String text = name.getRefersToFormula();
                formula = text == null ? "" : "=" + text;
            } catch (Exception e) {
                formula = failure(e);
            }
            line("name", name.getNameName(), scope < 0 ? "" : book.getSheetName(scope),
                record.isHiddenName() ? "1" : "0", formula);
        }
    }

    public static void main(String[] args) throws Exception {
        out = new PrintStream(System.out, true, "UTF-8");
        try (POIFSFileSystem fs = new POIFSFileSystem(new File(args[0]), true);
             HSSFWorkbook book = new HSSFWorkbook(fs.getRoot(), true)) {
            for (int i = 0; i < book.getNumberOfSheets(); i++) sheet(book.getSheetAt(i));
            names(book);
        }
    }
}
