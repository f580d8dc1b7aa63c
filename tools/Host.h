// The tool as the plug-in's host: one document driven through the exports the way the
// indexer drives them, with what the calls wrote to standard error and to the log.
#ifndef CELLSIFT_TOOLS_HOST_H
#define CELLSIFT_TOOLS_HOST_H

#include "HostFolder.h"
#include "ScandeckLog.h"

#include <memory>
#include <string>
#include <string_view>

struct Extraction {
    std::string errorText;         // non-empty: the document could not be opened; not called
    int nSize = 0;                 // GetLengthOfTextPortion
    std::unique_ptr<char[]> pText; // the buffer GetTextPortionOfDocument wrote into
    size_t cchText = 0;            // the count it returned: the text's bytes, Windows-1251
    std::string diag;              // what the plug-in wrote to standard error during the calls
    ScandeckChange scandeck;       // what the calls left in the Scandeck folder
    unsigned long long cbFile = 0;

    std::string_view Text() const { return std::string_view(pText.get(), cchText); }
};

// nCapacity < 0: pass the stream size as the capacity, as the indexer does. The plug-in's
// standard error output is kept in diag, so the tool decides what the user sees and can
// name the file it belongs to.
Extraction ExtractDocument(const HostFolder &host, const std::string &path, long long nCapacity);

// Only the size, through GetLengthOfTextPortion.
Extraction MeasureDocument(const HostFolder &host, const std::string &path);

// The plug-in's diagnostic for an empty text, and nothing else, is in diag.
bool IsOnlyEmptyTextDiagnostic(const std::string &diag);

#endif
