// A shown text gathered in a small buffer and appended to its string in pieces: the renderers
// write most of it a character at a time, and a string's push_back costs several stores.
#ifndef CELLSIFT_NUMFORMAT_SHOWNBUFFER_H
#define CELLSIFT_NUMFORMAT_SHOWNBUFFER_H

#include <string.h>

#include <string>
#include <string_view>

class ShownBuffer {
public:
    // The owner calls Flush at the end: appending may throw, which no destructor may.
    explicit ShownBuffer(std::string *ps) : m_ps(ps) {}
    ShownBuffer(const ShownBuffer &) = delete;
    ShownBuffer &operator=(const ShownBuffer &) = delete;

    void Put(char ch)
    {
        if (m_cch == sizeof(m_rgch)) {
            Flush();
        }
        m_rgch[m_cch++] = ch;
    }
    void Put(std::string_view text)
    {
        if (text.size() > sizeof(m_rgch) - m_cch) {
            Flush();
            m_ps->append(text);
        } else if (text.size() == 1) {
            m_rgch[m_cch++] = text[0];
        } else if (!text.empty()) { // a thousands separator leaves an empty literal
            memcpy(m_rgch + m_cch, text.data(), text.size());
            m_cch += text.size();
        }
    }
    // At the end, and before the string is written to otherwise.
    void Flush()
    {
        m_ps->append(m_rgch, m_cch);
        m_cch = 0;
    }

private:
    std::string *m_ps;
    size_t m_cch = 0;
    char m_rgch[64];
};

#endif
