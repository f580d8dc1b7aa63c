// The text outside the cells as readable lines and as JSON objects. Every text goes through
// the same escaping as the cells': one line in the readable form, a JSON string in the other.
#include "output/NotesFormat.h"

#include "output/OutputEscape.h"
#include "output/TextForms.h"

namespace {

void AppendLine(const char *pszLabel, std::string_view text, std::string *ps)
{
    if (text.empty()) {
        return;
    }
    ps->append(pszLabel);
    AppendOneLine(text, ps);
    ps->push_back('\n');
}

void AppendList(const char *pszLabel, const std::vector<std::string> &rgs, std::string *ps)
{
    if (rgs.empty()) {
        return;
    }
    ps->append(pszLabel);
    for (size_t i = 0; i < rgs.size(); i++) {
        if (i > 0) {
            ps->append(", ");
        }
        AppendOneLine(rgs[i], ps);
    }
}

void AppendJsonArray(const std::vector<std::string> &rgs, std::string *ps)
{
    ps->push_back('[');
    for (size_t i = 0; i < rgs.size(); i++) {
        if (i > 0) {
            ps->push_back(',');
        }
        AppendJsonString(rgs[i], ps);
    }
    ps->push_back(']');
}

} // namespace

void AppendPropertiesText(const DocumentProperties *pProps, std::string_view savedBy, std::string *ps)
{
    static const std::string empty;
    auto value = [&](DocProperty property) -> const std::string & {
        return pProps != nullptr ? pProps->Value(property) : empty;
    };
    AppendLine("Title: ", value(DocProperty::Title), ps);
    AppendLine("Author: ", value(DocProperty::Author), ps);
    AppendLine("Saved by: ", savedBy, ps);
    AppendLine("Subject: ", value(DocProperty::Subject), ps);
    AppendLine("Keywords: ", value(DocProperty::Keywords), ps);
    AppendLine("Comments: ", value(DocProperty::Comments), ps);
    AppendLine("Company: ", value(DocProperty::Company), ps);
}

void AppendCommentLine(const Comment &comment, std::string *ps)
{
    ps->append("Comment " + CellName(comment.row, comment.col));
    if (!comment.author.empty()) {
        ps->append(" (");
        AppendOneLine(comment.author, ps);
        ps->push_back(')');
    }
    ps->append(": ");
    AppendOneLine(comment.text, ps);
    ps->push_back('\n');
}

void AppendTextBoxLine(const TextBox &box, std::string *ps)
{
    AppendLine("Text box: ", box.text, ps);
}

void AppendPageTextLine(const PageText &page, std::string *ps)
{
    ps->append(page.fFooter ? "Footer" : "Header");
    std::string_view pages = page.pszPages;
    if (pages == "first") {
        ps->append(" (first page)");
    } else if (pages == "even") {
        ps->append(" (even pages)");
    }
    ps->append(": ");
    AppendOneLine(page.text, ps);
    ps->push_back('\n');
}

void AppendHyperlinkLine(const Hyperlink &link, std::string *ps)
{
    ps->append("Link " + RangeName(link.row, link.col, link.lastRow, link.lastCol) + ": ");
    AppendOneLine(link.target, ps);
    if (!link.description.empty() && link.description != link.target) {
        ps->append(" (");
        AppendOneLine(link.description, ps);
        ps->push_back(')');
    }
    ps->push_back('\n');
}

void AppendChartLine(const Chart &chart, std::string *ps)
{
    ps->append("Chart:");
    size_t cbStart = ps->size();
    if (!chart.text.title.empty()) {
        ps->push_back(' ');
        AppendOneLine(chart.text.title, ps);
    }
    const char *rgpszLabel[] = {"series: ", "axes: ", "labels: "};
    const std::vector<std::string> *rgpList[] = {&chart.text.series, &chart.text.axes, &chart.text.labels};
    for (size_t i = 0; i < 3; i++) {
        if (rgpList[i]->empty()) {
            continue;
        }
        ps->append(ps->size() > cbStart ? "; " : " ");
        AppendList(rgpszLabel[i], *rgpList[i], ps);
    }
    ps->push_back('\n');
}

namespace {

// The properties as members of a JSON object, each after a comma.
void AppendPropertyMembers(const DocumentProperties &props, std::string *ps)
{
    for (size_t i = 0; i < static_cast<size_t>(DocProperty::Count); i++) {
        DocProperty property = static_cast<DocProperty>(i);
        if (props.Value(property).empty()) {
            continue;
        }
        ps->append(",\"");
        ps->append(DocPropertyKey(property));
        ps->append("\":");
        AppendJsonString(props.Value(property), ps);
    }
    ps->append(",\"custom\":{");
    for (size_t i = 0; i < props.rgCustom.size(); i++) {
        if (i > 0) {
            ps->push_back(',');
        }
        AppendJsonString(props.rgCustom[i].first, ps);
        ps->push_back(':');
        AppendJsonString(props.rgCustom[i].second, ps);
    }
    ps->push_back('}');
}

} // namespace

void AppendPropertiesJson(const DocumentProperties &props, std::string *ps)
{
    ps->append("{\"type\":\"properties\"");
    AppendPropertyMembers(props, ps);
    ps->append("}\n");
}

void AppendEmbeddedLine(const EmbeddedObject &object, std::string *ps)
{
    ps->append("Embedded ");
    AppendOneLine(object.path, ps);
    if (!object.className.empty()) {
        ps->append(" (");
        AppendOneLine(object.className, ps);
        ps->push_back(')');
    }
    ps->push_back(':');
    const std::string &title = object.properties.Value(DocProperty::Title);
    const std::string &shown = object.packageName.empty() ? title : object.packageName;
    if (!shown.empty()) {
        ps->push_back(' ');
        AppendOneLine(shown, ps);
    }
    ps->push_back('\n');
}

void AppendEmbeddedJson(const EmbeddedObject &object, std::string *ps)
{
    ps->append("{\"type\":\"embedded\",\"path\":");
    AppendJsonString(object.path, ps);
    ps->append(",\"class\":");
    AppendJsonString(object.className, ps);
    if (!object.packageName.empty()) {
        ps->append(",\"package\":");
        AppendJsonString(object.packageName, ps);
    }
    ps->append(object.workbook ? ",\"workbook\":true" : ",\"workbook\":false");
    ps->append(",\"properties\":{");
    std::string members;
    AppendPropertyMembers(object.properties, &members);
    ps->append(members, 1, std::string::npos);
    ps->append("}}\n");
}

void AppendPageTextJson(const PageText &page, std::string *ps)
{
    ps->append(page.fFooter ? "{\"type\":\"footer\"" : "{\"type\":\"header\"");
    ps->append(",\"sheet\":" + std::to_string(page.iSheet));
    if (*page.pszPages != '\0') {
        ps->append(std::string(",\"pages\":\"") + page.pszPages + "\"");
    }
    ps->append(",\"text\":");
    AppendJsonString(page.text, ps);
    ps->append("}\n");
}

void AppendHyperlinkJson(const Hyperlink &link, std::string *ps)
{
    ps->append("{\"type\":\"hyperlink\",\"sheet\":" + std::to_string(link.iSheet) +
               ",\"row\":" + std::to_string(link.row) + ",\"col\":" + std::to_string(link.col) +
               ",\"last_row\":" + std::to_string(link.lastRow) +
               ",\"last_col\":" + std::to_string(link.lastCol) + ",\"target\":");
    AppendJsonString(link.target, ps);
    ps->append(",\"description\":");
    AppendJsonString(link.description, ps);
    ps->append(",\"tooltip\":");
    AppendJsonString(link.tooltip, ps);
    ps->append("}\n");
}

void AppendChartJson(const Chart &chart, std::string *ps)
{
    ps->append("{\"type\":\"chart\",\"sheet\":" + std::to_string(chart.iSheet) + ",\"title\":");
    AppendJsonString(chart.text.title, ps);
    ps->append(",\"series\":");
    AppendJsonArray(chart.text.series, ps);
    ps->append(",\"axes\":");
    AppendJsonArray(chart.text.axes, ps);
    ps->append(",\"labels\":");
    AppendJsonArray(chart.text.labels, ps);
    ps->append("}\n");
}

void AppendMacroBlock(const VbaModule &module, std::string *ps)
{
    ps->append("Macro ");
    AppendOneLine(module.name, ps);
    ps->append(":\n");
    const std::string &code = module.code;
    for (size_t ib = 0; ib < code.size(); ib++) {
        if (code[ib] != '\r') {
            ps->push_back(code[ib]);
        } else if (ib + 1 == code.size() || code[ib + 1] != '\n') {
            ps->push_back('\n');
        }
    }
    if (!code.empty() && ps->back() != '\n') {
        ps->push_back('\n');
    }
}

void AppendMacroJson(const VbaModule &module, std::string *ps)
{
    ps->append("{\"type\":\"vba\",\"module\":");
    AppendJsonString(module.name, ps);
    ps->append(",\"kind\":\"" + module.kind + "\",\"code\":");
    AppendJsonString(module.code, ps);
    ps->append("}\n");
}
