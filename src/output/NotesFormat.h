// How the text outside the cells is written: the document properties, comments and text boxes,
// headers and footers, hyperlinks and charts, as lines of the readable text and as JSON lines.
#ifndef CELLSIFT_OUTPUT_NOTESFORMAT_H
#define CELLSIFT_OUTPUT_NOTESFORMAT_H

#include <string>
#include <string_view>

#include "workbook/Workbook.h"

// The block before the first sheet: "Title: ", "Author: ", "Saved by: ", "Subject: ",
// "Keywords: ", "Comments: ", "Company: " lines, only those present. pProps may be null.
void AppendPropertiesText(const DocumentProperties *pProps, std::string_view savedBy, std::string *ps);

// "Comment A1 (AUTHOR): TEXT" and "Text box: TEXT".
void AppendCommentLine(const Comment &comment, std::string *ps);
void AppendTextBoxLine(const TextBox &box, std::string *ps);
// "Header: TEXT", "Footer (first page): TEXT", "Footer (even pages): TEXT".
void AppendPageTextLine(const PageText &page, std::string *ps);
// "Link A1: TARGET (DESCRIPTION)", or over several cells "Link A1:B2: ...". No description
// when it only repeats the target.
void AppendHyperlinkLine(const Hyperlink &link, std::string *ps);
// "Chart: TITLE; series: A, B; axes: X, Y; labels: L", parts without text left out.
void AppendChartLine(const Chart &chart, std::string *ps);
// "Macro NAME:" and the module's code, its lines ended by LF whatever they were stored with.
void AppendMacroBlock(const VbaModule &module, std::string *ps);

// "Embedded PATH (CLASS): NAME", NAME a package's file name or the document's title, parts
// without text left out.
void AppendEmbeddedLine(const EmbeddedObject &object, std::string *ps);

// The JSON objects, each a line of its own, newline included.
void AppendPropertiesJson(const DocumentProperties &props, std::string *ps);
void AppendPageTextJson(const PageText &page, std::string *ps);
void AppendHyperlinkJson(const Hyperlink &link, std::string *ps);
void AppendChartJson(const Chart &chart, std::string *ps);
void AppendMacroJson(const VbaModule &module, std::string *ps);
// {"type":"embedded","path","class","package" (a package's only),"workbook","properties":{…}}
void AppendEmbeddedJson(const EmbeddedObject &object, std::string *ps);

#endif
