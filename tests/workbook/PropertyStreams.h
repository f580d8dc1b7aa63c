// Test support for the property-set reader: streams built section by section, with values of
// each type, dictionaries of names, and a reader of a stream flush against its allocation.
#ifndef CELLSIFT_TESTS_WORKBOOK_PROPERTYSTREAMS_H
#define CELLSIFT_TESTS_WORKBOOK_PROPERTYSTREAMS_H

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "support/Biff.h"
#include "workbook/PropertySet.h"

inline const Bytes fmtidSummary = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                   0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
inline const Bytes fmtidDocSummary = {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                      0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};
inline const Bytes fmtidUser = {0x05, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};

inline Bytes Pad4(Bytes b)
{
    b.resize((b.size() + 3) / 4 * 4);
    return b;
}

inline Bytes Lpstr(const Bytes &text)
{
    return Pad4(Cat({Le32(30), Le32(static_cast<uint32_t>(text.size() + 1)), text, {0}}));
}

inline Bytes Lpwstr(const std::string &s)
{
    Bytes units = Cat({Utf16(s), Le16(0)});
    return Pad4(Cat({Le32(31), Le32(static_cast<uint32_t>(units.size() / 2)), units}));
}

inline Bytes I2(int16_t n)
{
    return Cat({Le32(2), Le16(static_cast<uint16_t>(n)), Le16(0)});
}

inline Bytes Fixed(uint32_t vt, uint64_t qw, size_t cb)
{
    Bytes b = Le32(vt);
    for (size_t i = 0; i < cb; i++) {
        b.push_back(static_cast<uint8_t>(qw >> (8 * i)));
    }
    return b;
}

// A section of (id, value) pairs, the code page first when given.
inline Bytes Section(const std::vector<std::pair<uint32_t, Bytes>> &rgProp)
{
    Bytes table, values;
    size_t ibFirst = 8 + 8 * rgProp.size();
    for (const auto &prop : rgProp) {
        table = Cat({table, Le32(prop.first), Le32(static_cast<uint32_t>(ibFirst + values.size()))});
        values = Cat({values, prop.second});
    }
    return Cat({Le32(static_cast<uint32_t>(ibFirst + values.size())),
                Le32(static_cast<uint32_t>(rgProp.size())), table, values});
}

inline Bytes Stream(const std::vector<std::pair<Bytes, Bytes>> &rgSection)
{
    Bytes head = Cat(
        {Le16(0xFFFE), Le16(0), Le32(0x00020006), Bytes(16), Le32(static_cast<uint32_t>(rgSection.size()))});
    Bytes table, body;
    size_t ibFirst = head.size() + 20 * rgSection.size();
    for (const auto &section : rgSection) {
        table = Cat({table, section.first, Le32(static_cast<uint32_t>(ibFirst + body.size()))});
        body = Cat({body, section.second});
    }
    return Cat({head, table, body});
}

struct Read {
    DocumentProperties props;
    std::vector<std::string> rgWarning;
};

inline Read ReadStream(const Bytes &stream)
{
    Bytes exact(stream.begin(), stream.end());
    exact.shrink_to_fit();
    Read read;
    ReadPropertySetStream(exact.data(), exact.size(), &read.props, &read.rgWarning);
    return read;
}

inline uint64_t Filetime(int64_t nUnixSeconds)
{
    return (uint64_t)(nUnixSeconds + 11644473600LL) * 10000000 + 1234567;
}

inline Bytes Dictionary(const std::vector<std::pair<uint32_t, Bytes>> &rgEntry, bool fUnicode)
{
    Bytes dict = Le32(static_cast<uint32_t>(rgEntry.size()));
    for (const auto &entry : rgEntry) {
        size_t cch = fUnicode ? entry.second.size() / 2 + 1 : entry.second.size() + 1;
        Bytes name = Cat({entry.second, fUnicode ? Le16(0) : Bytes{0}});
        dict = Cat({dict, Le32(entry.first), Le32(static_cast<uint32_t>(cch)), fUnicode ? Pad4(name) : name});
    }
    return Pad4(dict);
}

#endif
