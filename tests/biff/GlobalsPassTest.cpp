// How often an open and a read walk the globals from the stream's start: FILEPASS is looked for
// once per open and remembered, whichever of the two does it.
#include <gtest/gtest.h>

#include "biff/RecordIterator.h"
#include "workbook/ReaderFixture.h"

namespace {

Bytes OneCellWorkbook()
{
    return Workbook({}, {{"Data", Rec(0x0203, Cat({Cell3(0, 0, 0), Double(42)}))}});
}

std::vector<std::string> ExpectedLines()
{
    return {"workbook - biff8 cp-1", "sheet 0 Data worksheet", "0:0:0 number 42"};
}

// Opened, then read: the open looks for FILEPASS; the read only finds the code page and then
// reads the globals.
TEST(GlobalsPasses, FilePassLookedForOncePerOpen)
{
    Bytes bytes = OneCellWorkbook();
    WorkbookStream stream;
    WorkbookError error;
    size_t cBefore = RecordIterator::CWalksFromStart();
    ASSERT_TRUE(OpenWorkbookMemory(bytes.data(), bytes.size(), &stream, &error)) << error.message;
    EXPECT_EQ(RecordIterator::CWalksFromStart() - cBefore, 1u);
    EXPECT_TRUE(stream.fNoFilePass);

    Collector collector;
    cBefore = RecordIterator::CWalksFromStart();
    ASSERT_TRUE(ReadWorkbook(stream, collector, &error)) << error.message;
    EXPECT_EQ(RecordIterator::CWalksFromStart() - cBefore, 2u);
    EXPECT_EQ(collector.lines, ExpectedLines());

    // Read again, the answer is still remembered.
    Collector again;
    cBefore = RecordIterator::CWalksFromStart();
    ASSERT_TRUE(ReadWorkbook(stream, again, &error));
    EXPECT_EQ(RecordIterator::CWalksFromStart() - cBefore, 2u);
    EXPECT_EQ(again.lines, ExpectedLines());
}

// A stream handed to the read without an open is looked at there, once; new bytes put into a
// stream that was opened are looked at again.
TEST(GlobalsPasses, FilePassLookedForByTheReadWhenNotOpened)
{
    Bytes bytes = OneCellWorkbook();
    WorkbookStream stream;
    stream.Assign(bytes.data(), bytes.size());
    EXPECT_FALSE(stream.fNoFilePass);
    Collector collector;
    WorkbookError error;
    size_t cBefore = RecordIterator::CWalksFromStart();
    ASSERT_TRUE(ReadWorkbook(stream, collector, &error)) << error.message;
    EXPECT_EQ(RecordIterator::CWalksFromStart() - cBefore, 3u);
    EXPECT_EQ(collector.lines, ExpectedLines());

    // An encrypted stream viewed in place of an opened plain one must not be read as plain.
    WorkbookStream opened;
    ASSERT_TRUE(OpenWorkbookMemory(bytes.data(), bytes.size(), &opened, &error));
    Bytes encrypted = Cat({Bof(5), Rec(0x002F, Cat({Le16(0), Le16(0x1234), Le16(0x5678)})), Eof()});
    opened.View(encrypted.data(), encrypted.size(), nullptr);
    EXPECT_FALSE(opened.fNoFilePass);
    Collector refused;
    EXPECT_FALSE(ReadWorkbook(opened, refused, &error));
    EXPECT_EQ(error.kind, WorkbookErrorKind::Encrypted);
}

} // namespace
