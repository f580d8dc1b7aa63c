// The formula decompiler on hand-built tokens: operators and stored parentheses, constants,
// references of BIFF5 and BIFF8, names through a resolver, functions, spaces and damage.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "formula/FormulaText.h"

namespace {

using Bytes = std::vector<uint8_t>;

class TestRefs : public FormulaRefs {
public:
    bool SheetText(const XtiRef &xti, SheetSpan *pspan) const override
    {
        const char *rgsz[] = {"Sheet2", "Sheet 1", "A1", "It's"};
        if (xti.ixti == 0xFFFF) {
            // BIFF5's -1: the sheets of this workbook by their indexes.
            pspan->sFirst = "S" + std::to_string(xti.itabFirst);
            pspan->sLast = "S" + std::to_string(xti.itabLast);
            return true;
        }
        if (xti.ixti == 4) {
            pspan->sFirst = "Sheet 1";
            pspan->sLast = "Sheet 3";
            return true;
        }
        if (xti.ixti > 4) {
            return false;
        }
        pspan->sFirst = rgsz[xti.ixti];
        return true;
    }
    bool NameText(uint16_t iName, std::string *psName) const override
    {
        if (iName != 1) {
            return false;
        }
        *psName = "Total";
        return true;
    }
    bool ExternNameText(const XtiRef &, uint16_t iName, ExternName *pname) const override
    {
        pname->sName = iName == 1 ? "_xlfn.IFERROR" : "MyAddIn";
        return true;
    }
};

std::string TextAt(const Bytes &rgce, const FormulaSite &site, const Bytes &extra = {},
                   FormulaStatus *pstatus = nullptr, FormulaNote *pnote = nullptr)
{
    FormulaBytes bytes;
    bytes.pbRgce = rgce.data();
    bytes.cbRgce = rgce.size();
    bytes.pbExtra = extra.data();
    bytes.cbExtra = extra.size();
    TestRefs refs;
    std::string s;
    FormulaNote note;
    FormulaStatus status = AppendFormulaText(bytes, site, refs, &s, &note);
    if (pstatus) {
        *pstatus = status;
    }
    if (pnote) {
        *pnote = note;
    }
    EXPECT_EQ(status == FormulaStatus::Damaged,
              !note.sWarning.empty() && s.find("#FORMULA?") != std::string::npos)
        << s;
    return s;
}

FormulaSite Site(int biff, uint32_t row = 10, uint16_t col = 2, bool fRelativeOffsets = false)
{
    FormulaSite site;
    site.biffVersion = biff;
    site.row = row;
    site.col = col;
    site.fRelativeOffsets = fRelativeOffsets;
    return site;
}

std::string Text(const Bytes &rgce, int biff = 8, const Bytes &extra = {}, FormulaStatus *pstatus = nullptr)
{
    return TextAt(rgce, Site(biff), extra, pstatus);
}

TEST(FormulaText, OperatorsKeepStoredAndNeededParentheses)
{
    // 1 2 + 3 *: no ptgParen stored, so precedence asks for one.
    EXPECT_EQ(Text({0x1E, 1, 0, 0x1E, 2, 0, 0x03, 0x1E, 3, 0, 0x05}), "=(1+2)*3");
    // 1 2 + ( ) 3 *: the stored one, once.
    EXPECT_EQ(Text({0x1E, 1, 0, 0x1E, 2, 0, 0x03, 0x15, 0x1E, 3, 0, 0x05}), "=(1+2)*3");
    // -2^2 and 5% and 1-(2-3)
    EXPECT_EQ(Text({0x1E, 2, 0, 0x13, 0x1E, 2, 0, 0x07}), "=-2^2");
    EXPECT_EQ(Text({0x1E, 5, 0, 0x14}), "=5%");
    EXPECT_EQ(Text({0x1E, 1, 0, 0x1E, 2, 0, 0x1E, 3, 0, 0x04, 0x04}), "=1-(2-3)");
    EXPECT_EQ(Text({0x17, 2, 0, 'a', '"', 0x17, 1, 0, 'b', 0x08, 0x1D, 1, 0x0B}), "=\"a\"\"\"&\"b\"=TRUE");
}

Bytes Num(double d)
{
    Bytes rgce(9, 0x1F);
    memcpy(rgce.data() + 1, &d, 8);
    return rgce;
}

// The shortest digits that read back as the value, laid out as the formula bar lays them out:
// fixed while "0.000ddd" has at most 20 characters and below 1E+20, scientific beyond.
TEST(FormulaText, NumbersAsTheFormulaBarLaysThemOut)
{
    EXPECT_EQ(Text(Num(2.5e-05)), "=0.000025");
    EXPECT_EQ(Text(Num(5.6789012345e-8)), "=0.000000056789012345");
    EXPECT_EQ(Text(Num(5.67890123456e-8)), "=5.67890123456E-08");
    EXPECT_EQ(Text(Num(1e-30)), "=1E-30");
    EXPECT_EQ(Text(Num(0.1 + 0.2)), "=0.30000000000000004");
    EXPECT_EQ(Text(Num(123456789012.0)), "=123456789012");
    EXPECT_EQ(Text(Num(1.5e19)), "=15000000000000000000");
    EXPECT_EQ(Text(Num(1.5e20)), "=1.5E+20");
    EXPECT_EQ(Text(Num(1e100)), "=1E+100");
    EXPECT_EQ(Text(Num(3.25)), "=3.25");
    EXPECT_EQ(Text(Num(0)), "=0");
}

TEST(FormulaText, ReferencesInBothLayouts)
{
    // BIFF8 A1 relative, $B$2, area whole column C:C, RefN from row 10 col 2 by (-1, +1)
    EXPECT_EQ(Text({0x44, 0, 0, 0, 0xC0}), "=A1");
    EXPECT_EQ(Text({0x24, 1, 0, 1, 0}), "=$B$2");
    EXPECT_EQ(Text({0x25, 0, 0, 0xFF, 0xFF, 2, 0xC0, 2, 0xC0}), "=C:C");
    EXPECT_EQ(Text({0x2C, 0xFF, 0xFF, 1, 0xC0}), "=D10");
    // BIFF5: flags in the row word, a byte of column; whole rows 1:2 over 256 columns.
    EXPECT_EQ(Text({0x44, 0, 0xC0, 3}, 5), "=D1");
    EXPECT_EQ(Text({0x25, 0, 0, 1, 0, 0, 255}, 5), "=$1:$2");
    EXPECT_EQ(Text({0x2A, 0, 0, 0, 0}), "=#REF!");
}

TEST(FormulaText, SheetsQuotedWhereNeeded)
{
    EXPECT_EQ(Text({0x3A, 0, 0, 0, 0, 0, 0xC0}), "=Sheet2!A1");
    EXPECT_EQ(Text({0x3A, 1, 0, 0, 0, 0, 0xC0}), "='Sheet 1'!A1");
    EXPECT_EQ(Text({0x3A, 2, 0, 0, 0, 0, 0xC0}), "='A1'!A1");
    EXPECT_EQ(Text({0x3A, 3, 0, 0, 0, 0, 0xC0}), "='It''s'!A1");
    EXPECT_EQ(Text({0x3A, 9, 0, 0, 0, 0, 0xC0}), "=#REF!A1");
}

TEST(FormulaText, FunctionsNamesAndAddIns)
{
    // IF(SUM(AY11:AY14)>100,"*",SUM(AY11:AY14)) with its tAttr tokens
    Bytes area = {0x25, 10, 0, 13, 0, 50, 0xC0, 50, 0xC0};
    Bytes rgce = area;
    rgce.insert(rgce.end(),
                {0x19, 0x10, 0, 0, 0x1E, 100, 0, 0x0D, 0x19, 0x02, 4, 0, 0x17, 1, 0, '*', 0x19, 0x08, 9, 0});
    rgce.insert(rgce.end(), area.begin(), area.end());
    rgce.insert(rgce.end(), {0x19, 0x10, 0, 0, 0x19, 0x08, 3, 0, 0x42, 3, 1, 0});
    EXPECT_EQ(Text(rgce), "=IF(SUM(AY11:AY14)>100,\"*\",SUM(AY11:AY14))");
    EXPECT_EQ(Text({0x23, 1, 0, 0, 0, 0x21, 24, 0}), "=ABS(Total)");
    EXPECT_EQ(Text({0x39, 0, 0, 1, 0, 0, 0, 0x44, 0, 0, 0, 0xC0, 0x1E, 0, 0, 0x42, 3, 255, 0}),
              "=_xlfn.IFERROR(A1,0)");
    // BIFF3: one-byte function numbers
    EXPECT_EQ(Text({0x1E, 1, 0, 0x21, 24}, 3), "=ABS(1)");
}

TEST(FormulaText, ArraysAndSpaces)
{
    Bytes extra = {1, 1, 0};
    extra.insert(extra.end(), {0x01, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}); // 1
    extra.insert(extra.end(), {0x02, 1, 0, 0, 'x'});
    extra.insert(extra.end(), {0x04, 1, 0, 0, 0, 0, 0, 0, 0});
    extra.insert(extra.end(), {0x10, 0x07, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(Text({0x60, 0, 0, 0, 0, 0, 0, 0}, 8, extra), "={1,\"x\";TRUE,#DIV/0!}");
    // 1 <space> + <space>2
    EXPECT_EQ(Text({0x1E, 1, 0, 0x19, 0x40, 0, 1, 0x1E, 2, 0, 0x19, 0x40, 0, 1, 0x03}), "=1 + 2");
}

TEST(FormulaText, UnionIntersectionAndStoredSpaces)
{
    // SUM((A1,B2)) with its ptgParen stored, and without: a union argument is parenthesised once.
    Bytes twoRefs = {0x24, 0, 0, 0, 0xC0, 0x24, 1, 0, 1, 0xC0, 0x10};
    Bytes withParen = twoRefs;
    withParen.insert(withParen.end(), {0x15, 0x22, 1, 4, 0});
    EXPECT_EQ(Text(withParen), "=SUM((A1,B2))");
    twoRefs.insert(twoRefs.end(), {0x22, 1, 4, 0});
    EXPECT_EQ(Text(twoRefs), "=SUM((A1,B2))");
    EXPECT_EQ(Text({0x25, 0, 0, 5, 0, 0, 0xC0, 2, 0xC0, 0x25, 2, 0, 2, 0, 0, 0xC0, 5, 0xC0, 0x0F}),
              "=A1:C6 A3:F3");
    // Two spaces before the closing parenthesis (type 4), a line break before a token (type 1).
    EXPECT_EQ(Text({0x24, 0, 0, 0, 0xC0, 0x19, 0x40, 4, 2, 0x22, 1, 4, 0}), "=SUM(A1  )");
    EXPECT_EQ(Text({0x1E, 1, 0, 0x19, 0x40, 1, 1, 0x1E, 2, 0, 0x05}), "=1*\n2");
}

TEST(FormulaText, ThreeDimensionalAndSharedReferences)
{
    EXPECT_EQ(Text({0x3A, 4, 0, 0, 0, 0, 0xC0}), "='Sheet 1:Sheet 3'!A1");
    // BIFF5: ixals -1, eight unused bytes, sheets 0 to 2, then the BIFF5 cell layout.
    EXPECT_EQ(Text({0x3A, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0xC0, 1}, 5), "='S0:S2'!B1");
    // A shared formula anchored at A1 naming two rows up and three columns left wraps round.
    EXPECT_EQ(TextAt({0x2C, 0xFE, 0xFF, 0xFD, 0xC0}, Site(8, 0, 0)), "=IT65535");
    EXPECT_EQ(TextAt({0x2C, 0xFE, 0xFF, 0xFD}, Site(5, 0, 0)), "=IT16383");
    // AreaN from F6: (+0,+0) relative to ($A, +1).
    EXPECT_EQ(TextAt({0x2D, 0, 0, 1, 0, 0, 0xC0, 0, 0x80}, Site(8, 5, 5)), "=F6:$A7");
    // 3-D offsets only where the caller says the formula's references are relative (names).
    Bytes ref3d = {0x3A, 0, 0, 0xFF, 0xFF, 0xFF, 0xC0};
    EXPECT_EQ(TextAt(ref3d, Site(8, 5, 5, true)), "=Sheet2!E5");
    EXPECT_EQ(TextAt(ref3d, Site(8, 5, 5, false)), "=Sheet2!IV65536");
}

TEST(FormulaText, MemoryAreasKeepArrayConstantsAligned)
{
    // ptgMemArea over A1, then {1}: the memory area's range list comes first in the extra data.
    Bytes number1 = {0x01, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    Bytes extra8 = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    extra8.insert(extra8.end(), number1.begin(), number1.end());
    EXPECT_EQ(Text({0x26, 0, 0, 0, 0, 5, 0, 0x24, 0, 0, 0, 0xC0, 0x60, 0, 0, 0, 0, 0, 0, 0, 0x03}, 8, extra8),
              "=A1+{1}");
    Bytes extra5 = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    extra5.insert(extra5.end(), number1.begin(), number1.end());
    EXPECT_EQ(Text({0x26, 0, 0, 0, 0, 4, 0, 0x44, 0, 0xC0, 0, 0x60, 0, 0, 0, 0, 0, 0, 0, 0x03}, 5, extra5),
              "=A1+{1}");
    // ptgMemFunc's subexpression is shown as it stands.
    EXPECT_EQ(Text({0x29, 3, 0, 0x24, 0, 0, 0, 0xC0, 0x22, 1, 4, 0}), "=SUM(A1)");
}

TEST(FormulaText, DamageIsMarkedAndSharedFormulasReported)
{
    FormulaStatus status;
    EXPECT_EQ(Text({0x1E, 1, 0, 0x03}, 8, {}, &status), "=1 #FORMULA?");
    EXPECT_EQ(status, FormulaStatus::Damaged);
    EXPECT_EQ(Text({0x1F, 0, 0}, 8, {}, &status), "=#FORMULA?");
    EXPECT_EQ(Text({0xFF}, 8, {}, &status), "=#FORMULA?");
    // Cut tokens: a reference, a string, a CHOOSE jump table, an array's values, a range list.
    for (const Bytes &rgce : {Bytes{0x24, 0, 0, 0}, Bytes{0x17, 5, 0, 'a'}, Bytes{0x19, 0x04, 9, 0, 1, 0},
                              Bytes{0x60, 0, 0, 0, 0, 0, 0, 0}, Bytes{0x26, 0, 0, 0, 0, 0, 0, 0x1E, 1, 0}}) {
        Text(rgce, 8, {1, 1, 0, 1}, &status);
        EXPECT_EQ(status, FormulaStatus::Damaged);
    }
    FormulaNote note;
    EXPECT_EQ(TextAt({0x01, 5, 0, 2, 0}, Site(8), {}, &status, &note), "");
    EXPECT_EQ(status, FormulaStatus::SharedRef);
    EXPECT_EQ(note.rowOwner, 5u);
    EXPECT_EQ(note.colOwner, 2u);
    // BIFF2's ptgTbl: a byte of column.
    EXPECT_EQ(TextAt({0x02, 4, 0, 3}, Site(2), {}, &status, &note), "");
    EXPECT_EQ(status, FormulaStatus::TableRef);
    EXPECT_EQ(note.colOwner, 3u);
}

TEST(FormulaText, DeepNestingAndLongChainsComeOutWhole)
{
    // 10,000 unary minus signs over one operand, and 1+1+...+1 of 10,000 terms.
    const size_t cDeep = 10000;
    Bytes rgce = {0x1E, 1, 0};
    rgce.insert(rgce.end(), cDeep, 0x13);
    EXPECT_EQ(Text(rgce), "=" + std::string(cDeep, '-') + "1");
    Bytes chain = {0x1E, 1, 0};
    std::string expected = "=1";
    for (size_t i = 1; i < cDeep; i++) {
        chain.insert(chain.end(), {0x1E, 1, 0, 0x03});
        expected += "+1";
    }
    EXPECT_EQ(Text(chain), expected);
}

} // namespace
