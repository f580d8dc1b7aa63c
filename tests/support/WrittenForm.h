// Test support: a written form of a workbook stream as a string, made by the writer the tool
// and the Python module call.
#ifndef CELLSIFT_TESTS_SUPPORT_WRITTENFORM_H
#define CELLSIFT_TESTS_SUPPORT_WRITTENFORM_H

#include <gtest/gtest.h>

#include <string>

#include "output/OutputForms.h"

inline void KeepPiece(void *pContext, std::string *ps)
{
    static_cast<std::string *>(pContext)->append(*ps);
}

// The form as written to a file named name; a read that fails is a test failure.
inline std::string WrittenForm(const WorkbookStream &stream, OutputFormat format,
                               const WorkbookSelection &selection, const std::string &name = "test.xls")
{
    std::string out;
    WorkbookError error;
    EXPECT_TRUE(
        StreamWorkbook(stream, format, 1 << 16, KeepPiece, &out, nullptr, nullptr, &error, selection, name))
        << error.message;
    return out;
}

#endif
