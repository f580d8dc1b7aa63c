// VBA projects in whole workbooks: modules of each kind in a non-Western code page, damaged and
// hostile projects, and the modules in every written form and left out on request.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/OutputForms.h"
#include "support/Biff.h"
#include "support/CfbWriter.h"
#include "support/VbaBuilder.h"
#include "support/WrittenForm.h"
#include "vba/VbaProject.h"
#include "workbook/ReaderFixture.h"
#include "workbook/Workbook.h"

namespace {

struct Seen : WorkbookVisitor {
    bool fMacros = false;
    std::vector<std::string> modules;
    std::vector<std::string> warnings;
    void OnWorkbook(const WorkbookInfo &info) override { fMacros = info.fMacros; }
    void OnVbaModule(const VbaModule &module) override
    {
        modules.push_back(module.name + " " + module.kind + ": " + module.code);
    }
    void OnWarning(std::string_view message) override { warnings.emplace_back(message); }
};

std::string Stream(std::vector<SheetDesc> sheets = {{"Sheet1", {}}})
{
    Bytes stream = Workbook({}, sheets);
    return std::string(stream.begin(), stream.end());
}

const std::string sProject =
    "ID=\"{00000000-0000-0000-0000-000000000000}\"\r\n"
    "Document=ThisWorkbook/&H00000000\r\nModule=Module1\r\nClass=Class1\r\n"
    "BaseClass=UserForm1\r\nName=\"VBAProject\"\r\n\r\n[Workspace]\r\nModule1=0, 0, 0, 0, C\r\n";

std::string WriteCfbOf(const std::string &stream)
{
    CfbLayout layout;
    return WriteCfb({{u"Workbook", stream, false}}, CfbOptions(), &layout);
}

std::vector<VbaModuleDesc> FourKinds()
{
    return {
        {"ThisWorkbook", "Attribute VB_Name = \"ThisWorkbook\"\r\n", 0x22, std::string(300, '\xAA'), ""},
        // Windows-1251: 'Привет' in a string literal.
        {"Module1", "Sub Hello()\r\n    MsgBox \"\xCF\xF0\xE8\xE2\xE5\xF2\"\r\nEnd Sub\r\n", 0x21, "", ""},
        {"Class1", "Public Total As Double\r\n", 0x22, "cache", ""},
        {"UserForm1", "Private Sub UserForm_Click()\r\nEnd Sub\r\n", 0x22, "", ""},
    };
}

Seen Read(const std::string &file)
{
    WorkbookStream stream;
    WorkbookError error;
    Seen seen;
    if (!OpenWorkbookMemory(reinterpret_cast<const uint8_t *>(file.data()), file.size(), &stream, &error) ||
        !ReadWorkbook(stream, seen, &error)) {
        seen.warnings.push_back("error " + error.message);
    }
    return seen;
}

TEST(VbaProject, ModulesOfEveryKindInTheProjectsCodePage)
{
    std::vector<VbaModuleDesc> modules = FourKinds();
    Seen seen = Read(VbaWorkbookFile(Stream(), sProject, VbaDirStream(modules, 1251), modules));
    EXPECT_TRUE(seen.fMacros);
    EXPECT_EQ(seen.warnings, std::vector<std::string>{});
    EXPECT_EQ(seen.modules, (std::vector<std::string>{
                                "ThisWorkbook document: Attribute VB_Name = \"ThisWorkbook\"\r\n",
                                "Module1 standard: Sub Hello()\r\n    MsgBox "
                                "\"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\"\r\nEnd Sub\r\n",
                                "Class1 class: Public Total As Double\r\n",
                                "UserForm1 form: Private Sub UserForm_Click()\r\nEnd Sub\r\n",
                            }));
    // Without a project, only a macro sheet makes a workbook one with macros.
    EXPECT_FALSE(Read(WriteCfbOf(Stream())).fMacros);
    EXPECT_TRUE(Read(WriteCfbOf(Stream({{"Macro1", {}, 0, 1}}))).fMacros);
}

// Each module's trouble is its own: the others are still read, and each is said once.
TEST(VbaProject, DamagedModulesAreWarnedAndTheRestRead)
{
    std::vector<VbaModuleDesc> listed = {
        {"Module1", "Sub A()\r\nEnd Sub\r\n", 0x21, "", ""},
        {"Copy", "", 0x21, "", "Module1"},                        // another module's stream
        {"Missing", "", 0x21, "", ""},                            // no stream at all
        {"Past", "Sub B()\r\n", 0x21, std::string(300, 'c'), ""}, // its source past its stream
        {"Last", "Sub C()\r\n", 0x22, "", ""},
    };
    std::vector<VbaModuleDesc> stored = {listed[0], listed[3], listed[4]};
    stored[1].cache.clear();
    Seen seen = Read(VbaWorkbookFile(Stream(), "", VbaDirStream(listed, 1252), stored));
    EXPECT_EQ(seen.modules, (std::vector<std::string>{"Module1 standard: Sub A()\r\nEnd Sub\r\n",
                                                      "Last class: Sub C()\r\n"}));
    EXPECT_EQ(seen.warnings, (std::vector<std::string>{
                                 "VBA module 'Copy' is not read: its stream is another module's",
                                 "VBA module 'Missing' has no stream",
                                 "VBA module 'Past': its source begins past the end of its stream",
                             }));
}

// A dir stream cut anywhere gives the modules before the cut and a warning at most, and a
// project storage without one says so.
TEST(VbaProject, DirStreamCutAnywhere)
{
    std::vector<VbaModuleDesc> modules = FourKinds();
    std::string dir = VbaDirStream(modules, 1251);
    size_t cModulesBefore = 0;
    for (size_t cb = 0; cb <= dir.size(); cb++) {
        std::vector<uint8_t> rgb(dir.begin(), dir.begin() + cb);
        VbaDir parsed;
        std::vector<std::string> warnings;
        ParseVbaDir(rgb.data(), rgb.size(), &parsed, &warnings);
        ASSERT_GE(parsed.modules.size(), cModulesBefore) << cb;
        for (const VbaDirModule &module : parsed.modules) {
            ASSERT_FALSE(module.stream.empty()) << cb;
        }
        ASSERT_LE(warnings.size(), 1u) << cb;
        cModulesBefore = parsed.modules.size();
    }
    EXPECT_EQ(cModulesBefore, 4u);
    Seen seen = Read(VbaWorkbookFile(Stream(), sProject, dir.substr(0, dir.size() / 2), modules));
    EXPECT_GE(seen.modules.size(), 1u);
    EXPECT_LT(seen.modules.size(), 4u);
    EXPECT_EQ(seen.warnings.size(), 1u) << ::testing::PrintToString(seen.warnings);
}

std::string Written(const std::string &file, OutputFormat format, bool fMacros)
{
    WorkbookStream stream;
    WorkbookError error;
    EXPECT_TRUE(
        OpenWorkbookMemory(reinterpret_cast<const uint8_t *>(file.data()), file.size(), &stream, &error));
    WorkbookSelection selection;
    selection.fMacros = fMacros;
    return WrittenForm(stream, format, selection);
}

TEST(VbaProject, EveryFormWritesTheModulesUnlessLeftOut)
{
    std::vector<VbaModuleDesc> modules = {FourKinds()[1]};
    std::string file = VbaWorkbookFile(Stream(), sProject, VbaDirStream(modules, 1251), modules);
    EXPECT_EQ(Written(file, OutputFormat::Text, true),
              "Sheet: Sheet1\nMacro Module1:\nSub Hello()\n    MsgBox "
              "\"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\"\nEnd Sub\n");
    EXPECT_EQ(Written(file, OutputFormat::Text, false), "Sheet: Sheet1\n");
    std::string jsonl = Written(file, OutputFormat::Jsonl, true);
    EXPECT_NE(jsonl.find("\"macros\":true"), std::string::npos) << jsonl;
    EXPECT_NE(jsonl.find("{\"type\":\"vba\",\"module\":\"Module1\",\"kind\":\"standard\",\"code\":\"Sub "
                         "Hello()\\r\\n    MsgBox \\\"\xD0\x9F"),
              std::string::npos)
        << jsonl;
    // Left out, the project is still told of: a scanner triages on it.
    jsonl = Written(file, OutputFormat::Jsonl, false);
    EXPECT_EQ(jsonl.find("\"type\":\"vba\""), std::string::npos);
    EXPECT_NE(jsonl.find("\"macros\":true"), std::string::npos);
    std::string html = Written(file, OutputFormat::Html, true);
    EXPECT_NE(html.find("<h2>Macro Module1</h2>\n<pre>Sub Hello()\n    MsgBox &quot;\xD0\x9F"),
              std::string::npos)
        << html;
    EXPECT_EQ(Written(file, OutputFormat::Html, false).find("Macro"), std::string::npos);
    EXPECT_EQ(Written(file, OutputFormat::Csv, true), Written(file, OutputFormat::Csv, false));
}

} // namespace
