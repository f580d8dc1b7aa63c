// Formats by XF: the workbook's FORMAT records before the built-in table, what an index means
// in each BIFF version, and the date decision the reader has always made.
#include <gtest/gtest.h>

#include <string>

#include "workbook/XfFormats.h"

namespace {

std::string Shown(const XfFormats &formats, uint16_t ixfe, double d)
{
    std::string out;
    formats.Format(ixfe).Render(d, false, &out);
    return out;
}

TEST(XfFormats, WorkbookFormatsThenBuiltins)
{
    XfFormats formats;
    formats.AddFormat(164, "0.0\" kg\"");
    formats.AddFormat(14, "yyyy-mm-dd");    // a workbook may restate a built-in index
    formats.AddFormat(164, "0.000\" kg\""); // and the later record wins
    for (uint16_t ifmt : {0, 164, 14, 22, 10, 31, 23, 200, 49}) {
        formats.AddXf(ifmt);
    }
    formats.Resolve(8);
    EXPECT_EQ(Shown(formats, 0, 1.5), "1.5");
    EXPECT_EQ(Shown(formats, 1, 1.5), "1.500 kg");
    EXPECT_EQ(Shown(formats, 2, 45000.75), "2023-03-15");
    EXPECT_EQ(Shown(formats, 3, 45000.75), "3/15/2023 18:00");
    EXPECT_EQ(Shown(formats, 4, 0.125), "12.50%");
    EXPECT_EQ(Shown(formats, 5, 45000.75), "3/15/2023"); // another locale's date: the short date
    EXPECT_EQ(Shown(formats, 6, 0.125), "0.125");        // no en-US code: General
    EXPECT_EQ(Shown(formats, 7, 0.125), "0.125");        // no record, no built-in
    EXPECT_EQ(Shown(formats, 9, 0.125), "0.125");        // an XF the workbook lacks
    bool rgfDate[] = {false, false, true, true, false, true, false, false, false, false};
    for (uint16_t ixfe = 0; ixfe < 10; ixfe++) {
        EXPECT_EQ(formats.IsDate(ixfe), rgfDate[ixfe]) << ixfe;
    }
}

TEST(XfFormats, BeforeBiff5EveryFormatIsWritten)
{
    XfFormats formats;
    formats.AddFormat(0, "General");
    formats.AddFormat(1, "0.00");
    formats.AddXf(1);
    formats.AddXf(14); // no FORMAT record 14: in BIFF4 that is not the short date
    formats.Resolve(4);
    EXPECT_EQ(Shown(formats, 0, 2.5), "2.50");
    EXPECT_EQ(Shown(formats, 1, 45000.75), "45000.75");
    EXPECT_FALSE(formats.IsDate(1));
}

} // namespace
