// The property sets beside the workbook stream in its compound document.
#ifndef CELLSIFT_WORKBOOK_COMPOUNDSTREAM_H
#define CELLSIFT_WORKBOOK_COMPOUNDSTREAM_H

#include <stdint.h>

#include <string>
#include <vector>

struct CfbFile;
struct DocumentProperties;

// Reads both property sets of an open compound document, when it has them.
void ReadDocumentProperties(CfbFile *pFile, DocumentProperties *pProps, std::vector<std::string> *prgWarning);

#endif
