// Embedded documents: found in MBD… storages and ObjectPool, their class, title and package
// read, an embedded workbook read as one in every form and left out on request; and files
// that list more objects, or nest deeper, than is read.
#include <gtest/gtest.h>

#include <algorithm>

#include "output/OutputForms.h"
#include "support/WrittenForm.h"
#include "workbook/EmbeddedBuilder.h"
#include "workbook/EmbeddedObjects.h"

namespace {

WorkbookStream Open(const std::string &file)
{
    WorkbookStream stream;
    WorkbookError error;
    EXPECT_TRUE(
        OpenWorkbookMemory(reinterpret_cast<const uint8_t *>(file.data()), file.size(), &stream, &error))
        << error.message;
    return stream;
}

std::string Written(const WorkbookStream &stream, OutputFormat format, bool fEmbedded = true)
{
    WorkbookSelection selection;
    selection.fEmbedded = fEmbedded;
    return WrittenForm(stream, format, selection);
}

TEST(Embedded, ObjectsTheirClassTitleAndPackage)
{
    WorkbookStream stream = Open(EmbeddingFile());
    // In the directory's order: shorter names first.
    ASSERT_EQ(stream.embedded.size(), 2u);
    const EmbeddedObject &book = stream.embedded[1];
    EXPECT_EQ(book.path, "MBD00000001");
    EXPECT_EQ(book.className, "Test Worksheet");
    EXPECT_EQ(book.properties.Value(DocProperty::Title), "Inner budget");
    ASSERT_TRUE(book.workbook);
    ASSERT_EQ(book.workbook->embedded.size(), 1u);
    EXPECT_EQ(book.workbook->embedded[0].path, "MBD00000001/MBD00000002");
    EXPECT_EQ(book.workbook->embedded[0].packageName, "report.txt");
    EXPECT_FALSE(book.workbook->embedded[0].workbook);
    const EmbeddedObject &document = stream.embedded[0];
    EXPECT_EQ(document.path, "ObjectPool/_1234567890");
    EXPECT_EQ(document.className, "Test Document");
    EXPECT_FALSE(document.workbook);
}

TEST(Embedded, EveryFormWritesTheEmbeddedWorkbookAfterTheContainer)
{
    WorkbookStream stream = Open(EmbeddingFile());
    EXPECT_EQ(Written(stream, OutputFormat::Text),
              "Sheet: Outer\n1\n"
              "Embedded ObjectPool/_1234567890 (Test Document): Minutes\n"
              "Embedded MBD00000001 (Test Worksheet): Inner budget\n"
              "Title: Inner budget\nSheet: Inner\n42\n"
              "Embedded MBD00000001/MBD00000002: report.txt\n");
    EXPECT_EQ(Written(stream, OutputFormat::Text, false), "Sheet: Outer\n1\n");
    EXPECT_EQ(Written(stream, OutputFormat::Csv), Written(stream, OutputFormat::Csv, false));

    // JSON lines: the embedded workbook's own lines, each naming where it comes from once,
    // equal to reading that workbook alone but for that key (its own embedded object aside).
    std::string jsonl = Written(stream, OutputFormat::Jsonl);
    std::string alone = Written(Open(WriteCfbOf(OneCellWorkbook("Inner", 42), TitleStream("Inner budget"))),
                                OutputFormat::Jsonl, false);
    std::string nested;
    const std::string key = "{\"embedded\":\"MBD00000001\",";
    for (size_t ib = jsonl.find(key); ib != std::string::npos; ib = jsonl.find(key, ib + 1)) {
        std::string line = "{" + jsonl.substr(ib + key.size(), jsonl.find('\n', ib) + 1 - ib - key.size());
        nested += line.rfind("{\"type\":\"embedded\"", 0) == 0 ? "" : line;
    }
    EXPECT_EQ(nested, alone);
    EXPECT_NE(jsonl.find("{\"type\":\"embedded\",\"path\":\"MBD00000001\",\"class\":\"Test Worksheet\","
                         "\"workbook\":true,\"properties\":{\"title\":\"Inner budget\",\"custom\":{}}}\n"),
              std::string::npos)
        << jsonl;
    EXPECT_NE(
        jsonl.find("{\"embedded\":\"MBD00000001\",\"type\":\"embedded\",\"path\":\"MBD00000001/MBD00000002\","
                   "\"class\":\"\",\"package\":\"report.txt\",\"workbook\":false"),
        std::string::npos)
        << jsonl;
    EXPECT_EQ(Written(stream, OutputFormat::Jsonl, false).find("embedded"), std::string::npos);

    // HTML: one document, the embedded workbook's body inside it after a heading.
    std::string html = Written(stream, OutputFormat::Html);
    EXPECT_EQ(html.find("<!DOCTYPE"), html.rfind("<!DOCTYPE"));
    EXPECT_EQ(html.find("</body>"), html.rfind("</body>"));
    size_t ibHeading = html.find("<h2>Embedded MBD00000001 (Test Worksheet): Inner budget</h2>");
    ASSERT_NE(ibHeading, std::string::npos) << html;
    EXPECT_LT(ibHeading, html.find("<td>42</td>"));
    EXPECT_LT(html.find("<td>42</td>"), html.find("</body>"));
}

// Objects past the count are named in a warning; what the third level of embedded workbooks
// embeds is not looked at.
TEST(Embedded, CountAndDepthAreBounded)
{
    std::vector<CfbEntryDesc> entries = {{u"Workbook", OneCellWorkbook("S", 1), false}};
    for (int i = 0; i < 300; i++) {
        char16_t rgw[12];
        for (int k = 0; k < 11; k++) {
            rgw[k] = u"MBD00000000"[k];
        }
        rgw[8] = (char16_t)(u'0' + i / 100);
        rgw[9] = (char16_t)(u'0' + i / 10 % 10);
        rgw[10] = (char16_t)(u'0' + i % 10);
        rgw[11] = 0;
        entries.push_back({rgw, "", true});
    }
    CfbLayout layout;
    Collector collector;
    WorkbookStream stream = Open(WriteCfb(entries, CfbOptions(), &layout));
    EXPECT_EQ(stream.embedded.size(), cEmbeddedObjectsMax);
    WorkbookError error;
    ASSERT_TRUE(ReadWorkbook(stream, collector, &error));
    EXPECT_NE(std::find(collector.lines.begin(), collector.lines.end(),
                        "warning 44 more embedded objects are not read"),
              collector.lines.end());

    // Each workbook holds the next, five deep: three are read.
    std::vector<CfbEntryDesc> deep = {{u"Workbook", OneCellWorkbook("S", 0), false}};
    for (uint32_t i = 0; i < 5; i++) {
        uint32_t idParent = i == 0 ? 0 : 2 * i;
        deep.push_back({u"MBD00000001", "", true, idParent});
        deep.push_back({u"Workbook", OneCellWorkbook("S", i + 1), false, (uint32_t)deep.size()});
    }
    WorkbookStream nested = Open(WriteCfb(deep, CfbOptions(), &layout));
    int cDepth = 0;
    for (const WorkbookStream *p = &nested; !p->embedded.empty(); p = p->embedded[0].workbook.get()) {
        cDepth++;
        if (!p->embedded[0].workbook) {
            break;
        }
    }
    EXPECT_EQ(cDepth, cEmbeddedDepthMax);
}

} // namespace
