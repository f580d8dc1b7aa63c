// The paths of linked documents as SUPBOOK and the older EXTERNSHEET store them: control
// characters for drives, separators and parent folders, decoded into the path a user would type.
#ifndef CELLSIFT_RECORDTEXT_VIRTUALPATH_H
#define CELLSIFT_RECORDTEXT_VIRTUALPATH_H

#include <string>
#include <string_view>

// "\x01\x01C" "Reports\x03" "budget.xls" becomes "C:\Reports\budget.xls"; a path that does
// not start with 0x01 was stored as it is, and is copied.
void DecodeVirtualPath(std::string_view encoded, std::string *psPath);

// A BIFF5 reference to another workbook names the book and one of its sheets together,
// "C:\Reports\[budget.xls]Sheet1": the book's path without the brackets, and the sheet. False
// when there are no brackets (the whole is then the book's path).
bool SplitBookAndSheet(std::string_view path, std::string *psBook, std::string *psSheet);

#endif
