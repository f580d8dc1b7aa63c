// The workbook's links and names and a sheet's layout as readable lines and as JSON objects,
// every text escaped as the cells' are. A name or path that is empty is null in JSON.
#include "output/NamesFormat.h"

#include "output/OutputEscape.h"
#include "output/OutputForms.h"
#include "output/TextForms.h"

namespace {

void AppendJsonOrNull(std::string_view text, std::string *ps)
{
    if (text.empty()) {
        ps->append("null");
    } else {
        AppendJsonString(text, ps);
    }
}

void AppendJsonArray(const std::vector<std::string> &rgs, std::string *ps)
{
    ps->push_back('[');
    for (size_t i = 0; i < rgs.size(); i++) {
        ps->append(i > 0 ? ",\"" : "\"").append(rgs[i]).push_back('"');
    }
    ps->push_back(']');
}

} // namespace

void AppendNameLine(const DefinedName &name, std::string *ps)
{
    ps->append("Name: ");
    AppendOneLine(name.name, ps);
    if (name.fHidden) {
        ps->append(" (hidden)");
    }
    if (!name.formula.empty()) {
        ps->push_back(' ');
        AppendOneLine(name.formula, ps);
    }
    ps->push_back('\n');
}

void AppendExternalLinkLine(const ExternalLink &link, std::string *ps)
{
    if (link.kind == ExternalKind::AddIn) {
        return;
    }
    ps->append("External link [" + std::to_string(link.index) + "]");
    ps->append(link.kind == ExternalKind::Dde ? " (DDE)" : link.kind == ExternalKind::Ole ? " (OLE)" : "");
    ps->append(": ");
    AppendOneLine(link.path, ps);
    ps->push_back('\n');
}

void NameLines::Add(const DefinedName &name)
{
    if (name.iSheet == DefinedName::iSheetBook) {
        AppendNameLine(name, &m_book);
        return;
    }
    AppendNameLine(name, &m_sheets[name.iSheet]);
}

std::string NameLines::SheetLines(uint32_t iSheet) const
{
    auto it = m_sheets.find(iSheet);
    return it == m_sheets.end() ? std::string() : it->second;
}

void AppendNameJson(const DefinedName &name, std::string *ps)
{
    ps->append("{\"type\":\"name\",\"name\":");
    AppendJsonString(name.name, ps);
    ps->append(",\"sheet\":");
    ps->append(name.iSheet == DefinedName::iSheetBook ? "null" : std::to_string(name.iSheet));
    ps->append(std::string(",\"hidden\":") + (name.fHidden ? "true" : "false") +
               ",\"built_in\":" + (name.fBuiltIn ? "true" : "false") + ",\"formula\":");
    AppendJsonOrNull(name.formula, ps);
    ps->append("}\n");
}

void AppendExternalLinkJson(const ExternalLink &link, std::string *ps)
{
    ps->append("{\"type\":\"external\",\"index\":" + std::to_string(link.index) + ",\"kind\":\"" +
               KindName(link.kind) + "\",\"path\":");
    AppendJsonOrNull(link.path, ps);
    ps->append("}\n");
}

void AppendMergeJson(const MergedRange &range, std::string *ps)
{
    ps->append("{\"type\":\"merge\",\"sheet\":" + std::to_string(range.iSheet) + ",\"range\":\"" +
               RangeName(range.row, range.col, range.lastRow, range.lastCol) + "\"}\n");
}

// Span names are letters, digits and a colon: nothing in them needs escaping.
void AppendHiddenJson(uint32_t iSheet, const std::vector<std::string> &rgRows,
                      const std::vector<std::string> &rgColumns, std::string *ps)
{
    ps->append("{\"type\":\"hidden\",\"sheet\":" + std::to_string(iSheet) + ",\"rows\":");
    AppendJsonArray(rgRows, ps);
    ps->append(",\"columns\":");
    AppendJsonArray(rgColumns, ps);
    ps->append("}\n");
}
