// Escaping for the written forms and for file names in the tool's headers and messages. The
// text of a large workbook passes through here, so the forms jump from stop to stop
// (ByteStops) and append the runs between them whole.
#include "output/OutputEscape.h"

#include <stdio.h>
#include <string.h>

#include "output/ByteStops.h"

namespace {

bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// The bytes of the control character or separator at pb (C0, DEL, C1, U+2028, U+2029) in
// valid UTF-8, or 0 when there is none.
size_t ControlLength(const unsigned char *pb, size_t cb)
{
    if (pb[0] < 0x20 || pb[0] == 0x7F) {
        return 1;
    }
    if (pb[0] == 0xC2 && cb >= 2 && pb[1] >= 0x80 && pb[1] <= 0x9F) {
        return 2;
    }
    if (pb[0] == 0xE2 && cb >= 3 && pb[1] == 0x80 && (pb[2] == 0xA8 || pb[2] == 0xA9)) {
        return 3;
    }
    return 0;
}

void AppendHex(const char *pszFormat, unsigned n, std::string *ps)
{
    char rgch[8];
    snprintf(rgch, sizeof(rgch), pszFormat, n);
    ps->append(rgch);
}

} // namespace

size_t Utf8SequenceLength(const unsigned char *pb, size_t cb)
{
    unsigned char b0 = pb[0];
    if (b0 < 0x80) {
        return 1;
    }
    size_t cbSeq = b0 < 0xC2 ? 0 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : b0 < 0xF5 ? 4 : 0;
    if (cbSeq == 0 || cb < cbSeq) {
        return 0;
    }
    // The second byte's range is what excludes overlong forms, surrogates and values past
    // U+10FFFF.
    unsigned char bMin = b0 == 0xE0 ? 0xA0 : b0 == 0xF0 ? 0x90 : 0x80;
    unsigned char bMax = b0 == 0xED ? 0x9F : b0 == 0xF4 ? 0x8F : 0xBF;
    if (pb[1] < bMin || pb[1] > bMax) {
        return 0;
    }
    for (size_t i = 2; i < cbSeq; i++) {
        if (!IsContinuation(pb[i])) {
            return 0;
        }
    }
    return cbSeq;
}

std::string ValidUtf8(std::string_view text)
{
    const unsigned char *pb = reinterpret_cast<const unsigned char *>(text.data());
    std::string s;
    s.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t cbSeq = Utf8SequenceLength(pb + i, text.size() - i);
        if (cbSeq == 0) {
            s.append("\xEF\xBF\xBD");
            i++;
        } else {
            s.append(text.data() + i, cbSeq);
            i += cbSeq;
        }
    }
    return s;
}

void AppendOneLine(std::string_view text, std::string *ps)
{
    const unsigned char *pb = reinterpret_cast<const unsigned char *>(text.data());
    size_t cb = text.size();
    size_t ibPlain = 0; // start of the run of bytes kept as they are
    for (size_t i = SkipToLineStop(pb, 0, cb); i < cb; i = SkipToLineStop(pb, i, cb)) {
        size_t cbControl = ControlLength(pb + i, cb - i);
        if (cbControl == 0) {
            i++;
            continue;
        }
        ps->append(text.data() + ibPlain, i - ibPlain);
        ps->push_back(' ');
        i += cbControl;
        ibPlain = i;
    }
    ps->append(text.data() + ibPlain, cb - ibPlain);
}

void AppendJsonString(std::string_view text, std::string *ps)
{
    const unsigned char *pb = reinterpret_cast<const unsigned char *>(text.data());
    size_t cb = text.size();
    ps->push_back('"');
    size_t ibPlain = 0; // start of the run of characters that need no escape
    for (size_t i = SkipToJsonStop(pb, 0, cb); i < cb; i = SkipToJsonStop(pb, i + 1, cb)) {
        unsigned char b = pb[i];
        ps->append(text.data() + ibPlain, i - ibPlain);
        ibPlain = i + 1;
        if (b == '"' || b == '\\') {
            ps->push_back('\\');
            ps->push_back(static_cast<char>(b));
        } else if (b == '\n') {
            ps->append("\\n");
        } else if (b == '\r') {
            ps->append("\\r");
        } else if (b == '\t') {
            ps->append("\\t");
        } else {
            // A workbook may hold millions of these: no formatting call per character.
            const char rgch[] = {'\\', 'u', '0', '0', "0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
            ps->append(rgch, sizeof(rgch));
        }
    }
    ps->append(text.data() + ibPlain, cb - ibPlain);
    ps->push_back('"');
}

// Quoted, its quotes doubled, when it holds a stop; the runs between quotes appended whole.
void AppendCsvField(std::string_view text, std::string *ps)
{
    const unsigned char *pb = reinterpret_cast<const unsigned char *>(text.data());
    size_t ib = SkipToCsvStop(pb, 0, text.size());
    if (ib == text.size()) {
        ps->append(text.data(), text.size());
        return;
    }
    // A form feed is quoted too: a line of it alone parts the sheets of one CSV output.
    bool fQuote = text.find_first_of(",\"\r\n\f", ib) != std::string_view::npos;
    if (fQuote) {
        ps->push_back('"');
    }
    size_t ibRun = 0;
    for (; ib < text.size(); ib = SkipToCsvStop(pb, ib + 1, text.size())) {
        if (pb[ib] != '"' && pb[ib] != '\0') {
            continue;
        }
        ps->append(text.data() + ibRun, ib - ibRun);
        // NUL, which ends a string in most programs that read CSV, as the text form has it.
        ps->append(pb[ib] == '"' ? "\"\"" : " ");
        ibRun = ib + 1;
    }
    ps->append(text.data() + ibRun, text.size() - ibRun);
    if (fQuote) {
        ps->push_back('"');
    }
}

void AppendHtml(std::string_view text, std::string *ps)
{
    for (char ch : text) {
        switch (ch) {
        case '&': ps->append("&amp;"); break;
        case '<': ps->append("&lt;"); break;
        case '>': ps->append("&gt;"); break;
        case '"': ps->append("&quot;"); break;
        case '\n':
        case '\t': ps->push_back(ch); break;
        default: ps->push_back(static_cast<unsigned char>(ch) < 0x20 ? ' ' : ch); break;
        }
    }
}

std::string PrintableName(std::string_view name)
{
    const unsigned char *pb = reinterpret_cast<const unsigned char *>(name.data());
    std::string s;
    for (size_t i = 0; i < name.size();) {
        size_t cbSeq = Utf8SequenceLength(pb + i, name.size() - i);
        size_t cbControl = cbSeq == 0 ? 0 : ControlLength(pb + i, cbSeq);
        if (cbSeq == 0 || cbControl == 1) {
            unsigned char b = pb[i];
            if (b == '\n') {
                s.append("\\n");
            } else if (b == '\r') {
                s.append("\\r");
            } else if (b == '\t') {
                s.append("\\t");
            } else {
                AppendHex("\\x%02X", b, &s);
            }
            i++;
        } else if (cbControl != 0) {
            AppendHex("\\u%04X", cbControl == 2 ? pb[i + 1] : 0x2000u | (pb[i + 2] - 0x80u), &s);
            i += cbSeq;
        } else {
            s.append(name.data() + i, cbSeq);
            i += cbSeq;
        }
    }
    return s;
}
