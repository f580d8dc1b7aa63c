// The record framing at the stream's end, a body past it stopped or clamped as each call
// chooses, and FILEPASS found in the globals alone or anywhere in the stream.
#include <gtest/gtest.h>

#include <vector>

#include "biff/RecordIterator.h"
#include "workbook/ReaderFixture.h"

namespace {

TEST(RecordIterator, RecordsAndTheirBoundsAtTheStreamsEnd)
{
    struct {
        const char *szWhat;
        Bytes stream;
        std::vector<uint16_t> types;     // the records given when stopping
        bool fOverlong;                  // ... and whether the walk stopped at one
        std::vector<size_t> rgcbClamped; // the bodies given when clamping
    } cases[] = {
        {"empty stream", {}, {}, false, {}},
        {"two records", Cat({Rec(0x0809, Bytes(4, 0)), Rec(0x000A, {})}), {0x0809, 0x000A}, false, {4, 0}},
        {"a header cut short", Cat({Rec(0x0203, Bytes(2, 0)), {0x0A, 0x00, 0x00}}), {0x0203}, false, {2}},
        {"a body past the end",
         Cat({Rec(0x0203, Bytes(2, 0)), Le16(0x0204), Le16(9), Bytes(8, 0)}),
         {0x0203},
         true,
         {2, 8}},
        {"a record ending at the last byte", Rec(0x0204, Bytes(5, 1)), {0x0204}, false, {5}},
        {"an empty body past the end", Cat({Le16(0x0204), Le16(1)}), {}, true, {0}},
    };
    for (const auto &c : cases) {
        RecordIterator it(c.stream.data(), 0, c.stream.size());
        BiffRecord record;
        std::vector<uint16_t> types;
        while (it.Next(&record)) {
            types.push_back(record.wType);
            EXPECT_EQ(record.cbBody, record.cbDeclared) << c.szWhat;
            EXPECT_LE(record.IbNext(), c.stream.size()) << c.szWhat;
        }
        EXPECT_EQ(types, c.types) << c.szWhat;
        EXPECT_EQ(it.FOverlong(), c.fOverlong) << c.szWhat;

        // Clamping keeps what the stream holds of the last record, and the walk ends there.
        RecordIterator clamp(c.stream.data(), 0, c.stream.size());
        std::vector<size_t> rgcb;
        while (clamp.Next(&record, Overlong::Clamp)) {
            rgcb.push_back(record.cbBody);
            EXPECT_LE(record.ib + 4 + record.cbBody, c.stream.size()) << c.szWhat;
        }
        EXPECT_EQ(rgcb, c.rgcbClamped) << c.szWhat;
        EXPECT_FALSE(clamp.FOverlong()) << c.szWhat;
        EXPECT_FALSE(clamp.Next(&record)) << c.szWhat;
    }
}

// The reader takes its BOF clamped (a cut one still names the version) and the globals after
// it stopping: a clamped record leaves nothing to stop at, and says how long it claimed to be.
TEST(RecordIterator, PoliciesMixedInOneWalk)
{
    Bytes stream = Cat({Le16(0x0809), Le16(16), Le16(0x0600), Le16(5)});
    RecordIterator it(stream.data(), 0, stream.size());
    BiffRecord bof;
    ASSERT_TRUE(it.Next(&bof, Overlong::Clamp));
    EXPECT_EQ(bof.cbBody, 4u);
    EXPECT_EQ(bof.cbDeclared, 16u);
    EXPECT_EQ(bof.Body(stream.data()).Le16(), 0x0600);
    EXPECT_EQ(it.IbNext(), 20u);
    BiffRecord record;
    EXPECT_FALSE(it.Next(&record));
    EXPECT_FALSE(it.FOverlong());

    // Starting in the middle, at the limit of a substream: the limit bounds the body.
    Bytes two = Cat({Rec(0x0203, Bytes(6, 7)), Rec(0x000A, {})});
    RecordIterator sub(two.data(), 0, 8);
    EXPECT_FALSE(sub.Next(&record));
    EXPECT_TRUE(sub.FOverlong());
    ASSERT_TRUE(sub.Next(&record, Overlong::Clamp));
    EXPECT_EQ(record.cbBody, 4u);
    EXPECT_EQ(record.IbNext(), 10u);
}

// Only the globals can encrypt a workbook: a FILEPASS anywhere before their EOF is found, one
// in a sheet's substream is not (the sheet is read as it stands); the plug-in looks anywhere.
TEST(FindFilePass, TheGlobalsOrTheWholeStream)
{
    Bytes filePass = Rec(0x002F, Cat({Le16(0), Le16(0x1234), Le16(0x5678)}));
    Bytes writeProt = Rec(0x0086, {});
    size_t ibFilePass = 0;
    Bytes late = Cat({Bof(5), writeProt, filePass, Eof()});
    for (FilePassScope scope : {FilePassScope::Globals, FilePassScope::WholeStream}) {
        ibFilePass = 0;
        EXPECT_TRUE(FindFilePass(late.data(), late.size(), scope, &ibFilePass));
        EXPECT_EQ(ibFilePass, Bof(5).size() + writeProt.size());
    }
    EXPECT_TRUE(ContainsFilePass(late.data(), late.size()));

    Bytes inSheet = Cat({Bof(5), writeProt, Eof(), Bof(0x10), filePass, Eof()});
    EXPECT_FALSE(FindFilePass(inSheet.data(), inSheet.size(), FilePassScope::Globals, &ibFilePass));
    EXPECT_TRUE(FindFilePass(inSheet.data(), inSheet.size(), FilePassScope::WholeStream, &ibFilePass));
    EXPECT_EQ(ibFilePass, 2 * Bof(5).size() + writeProt.size() + Eof().size());
    EXPECT_TRUE(ContainsFilePass(inSheet.data(), inSheet.size()));

    // Past a record cut off by the stream's end there are no more records to look at.
    Bytes cut = Cat({Bof(5), Le16(0x0086), Le16(40), filePass});
    for (FilePassScope scope : {FilePassScope::Globals, FilePassScope::WholeStream}) {
        EXPECT_FALSE(FindFilePass(cut.data(), cut.size(), scope, &ibFilePass));
    }
    EXPECT_FALSE(ContainsFilePass(cut.data(), cut.size()));
}

} // namespace
