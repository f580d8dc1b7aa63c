// A strict recursive-descent JSON checker and an RFC 4180 CSV checker. Nesting is bounded
// so that a hostile text cannot exhaust the stack of the checker itself.
#include "FormCheck.h"

#include <stdint.h>

#include "output/OutputEscape.h"

namespace {

const int cDepthMax = 64;

class JsonChecker {
public:
    explicit JsonChecker(std::string_view text) : m_s(text) {}
    bool Check()
    {
        SkipSpace();
        if (!Value(0)) {
            return false;
        }
        SkipSpace();
        return m_i == m_s.size();
    }

private:
    bool AtEnd() const { return m_i >= m_s.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_s[m_i]; }
    void SkipSpace()
    {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
            m_i++;
        }
    }
    bool Literal(std::string_view word)
    {
        if (m_s.substr(m_i, word.size()) != word) {
            return false;
        }
        m_i += word.size();
        return true;
    }
    bool Digits()
    {
        size_t iStart = m_i;
        while (!AtEnd() && Peek() >= '0' && Peek() <= '9') {
            m_i++;
        }
        return m_i > iStart;
    }
    bool Number()
    {
        if (Peek() == '-') {
            m_i++;
        }
        if (Peek() == '0') {
            m_i++;
        } else if (!Digits()) {
            return false;
        }
        if (Peek() == '.') {
            m_i++;
            if (!Digits()) {
                return false;
            }
        }
        if (Peek() == 'e' || Peek() == 'E') {
            m_i++;
            if (Peek() == '+' || Peek() == '-') {
                m_i++;
            }
            if (!Digits()) {
                return false;
            }
        }
        return true;
    }
    bool Hex4(uint32_t *pw)
    {
        if (m_s.size() - m_i < 4) {
            return false;
        }
        uint32_t w = 0;
        for (int k = 0; k < 4; k++) {
            char ch = m_s[m_i++];
            int n = ch >= '0' && ch <= '9'   ? ch - '0'
                    : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                    : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                             : -1;
            if (n < 0) {
                return false;
            }
            w = w * 16 + static_cast<uint32_t>(n);
        }
        *pw = w;
        return true;
    }
    bool String()
    {
        m_i++; // the opening quote
        for (;;) {
            if (AtEnd()) {
                return false;
            }
            unsigned char b = static_cast<unsigned char>(m_s[m_i]);
            if (b == '"') {
                m_i++;
                return true;
            }
            if (b < 0x20) {
                return false;
            }
            if (b != '\\') {
                size_t cb = Utf8SequenceLength(reinterpret_cast<const unsigned char *>(m_s.data()) + m_i,
                                               m_s.size() - m_i);
                if (cb == 0) {
                    return false;
                }
                m_i += cb;
                continue;
            }
            m_i++;
            char ch = Peek();
            m_i++;
            if (ch == 'u') {
                uint32_t w;
                if (!Hex4(&w)) {
                    return false;
                }
                if (w >= 0xDC00 && w <= 0xDFFF) {
                    return false;
                }
                if (w >= 0xD800 && w <= 0xDBFF) {
                    uint32_t wLow;
                    if (!Literal("\\u") || !Hex4(&wLow) || wLow < 0xDC00 || wLow > 0xDFFF) {
                        return false;
                    }
                }
            } else if (std::string_view("\"\\/bfnrt").find(ch) == std::string_view::npos || ch == '\0') {
                return false;
            }
        }
    }
    bool Members(int nDepth, char chClose, bool fObject)
    {
        m_i++; // the opening bracket
        SkipSpace();
        if (Peek() == chClose) {
            m_i++;
            return true;
        }
        for (;;) {
            SkipSpace();
            if (fObject) {
                if (Peek() != '"' || !String()) {
                    return false;
                }
                SkipSpace();
                if (Peek() != ':') {
                    return false;
                }
                m_i++;
                SkipSpace();
            }
            if (!Value(nDepth + 1)) {
                return false;
            }
            SkipSpace();
            if (Peek() == chClose) {
                m_i++;
                return true;
            }
            if (Peek() != ',') {
                return false;
            }
            m_i++;
        }
    }
    bool Value(int nDepth)
    {
        if (nDepth > cDepthMax) {
            return false;
        }
        switch (Peek()) {
        case '{': return Members(nDepth, '}', true);
        case '[': return Members(nDepth, ']', false);
        case '"': return String();
        case 't': return Literal("true");
        case 'f': return Literal("false");
        case 'n': return Literal("null");
        default: return Number();
        }
    }

    std::string_view m_s;
    size_t m_i = 0;
};

} // namespace

bool IsJsonText(std::string_view text)
{
    return JsonChecker(text).Check();
}

bool IsJsonLines(std::string_view text)
{
    size_t ib = 0;
    while (ib < text.size()) {
        size_t ibEnd = text.find('\n', ib);
        if (ibEnd == std::string_view::npos || !IsJsonText(text.substr(ib, ibEnd - ib))) {
            return false;
        }
        ib = ibEnd + 1;
    }
    return true;
}

bool IsCsv(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        // One field.
        if (text[i] == '"') {
            for (i++;; i++) {
                if (i >= text.size()) {
                    return false;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        i++;
                        continue;
                    }
                    i++;
                    break;
                }
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r') {
                if (text[i] == '"' || text[i] == '\n') {
                    return false;
                }
                i++;
            }
        }
        // What ends it: a comma, or CRLF ending the record.
        if (i < text.size() && text[i] == ',') {
            i++;
            if (i == text.size()) {
                return false;
            }
        } else if (text.substr(i, 2) == "\r\n") {
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}
