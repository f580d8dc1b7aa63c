// How the workbook's external links and defined names, and a sheet's merged ranges and hidden
// rows and columns, are written: as lines of the readable text and as JSON lines.
#ifndef CELLSIFT_OUTPUT_NAMESFORMAT_H
#define CELLSIFT_OUTPUT_NAMESFORMAT_H

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "workbook/Workbook.h"

// "Name: Total =Sheet1!$B$10", "Name: _FilterDatabase (hidden) =Sheet1!$A$1:$C$9"; the sheet
// a name is local to is said by where the line stands (under that sheet's name).
void AppendNameLine(const DefinedName &name, std::string *ps);
// "External link [1]: C:\Reports\budget.xls", "External link [2] (DDE): server|topic",
// "... (OLE): path". The add-in functions' table names no document: no line.
void AppendExternalLinkLine(const ExternalLink &link, std::string *ps);

// The lines of the readable forms (text, HTML) for the links and names, which come before the
// sheets: those of the workbook for the block before the first sheet, a sheet's own names for
// under its name.
class NameLines {
public:
    void Add(const ExternalLink &link) { AppendExternalLinkLine(link, &m_book); }
    void Add(const DefinedName &name);
    const std::string &BookLines() const { return m_book; }
    std::string SheetLines(uint32_t iSheet) const;

private:
    std::string m_book;
    std::map<uint32_t, std::string> m_sheets;
};

// The JSON objects, each a line of its own, newline included. A name's "sheet" is the number
// of the sheet it is local to, as every line numbers sheets, or null for the workbook's.
void AppendNameJson(const DefinedName &name, std::string *ps);
void AppendExternalLinkJson(const ExternalLink &link, std::string *ps);
void AppendMergeJson(const MergedRange &range, std::string *ps);
// One line for a sheet's hidden rows and columns, their spans as SpanName writes them.
void AppendHiddenJson(uint32_t iSheet, const std::vector<std::string> &rgRows,
                      const std::vector<std::string> &rgColumns, std::string *ps);

#endif
