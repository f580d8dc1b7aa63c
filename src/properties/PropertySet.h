// The document properties of a compound document: its SummaryInformation and
// DocumentSummaryInformation property sets (title, author, dates, company, the user's own).
#ifndef CELLSIFT_PROPERTIES_PROPERTYSET_H
#define CELLSIFT_PROPERTIES_PROPERTYSET_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

// The properties a reader shows, in the order it shows them.
enum class DocProperty {
    Title,
    Subject,
    Author,
    Keywords,
    Comments,
    LastSavedBy,
    Application,
    Created,
    LastSaved,
    Company,
    Manager,
    Category,
    Count
};

// The key a DocProperty has in the reader's output: "title", "last_saved_by", ...
const char *DocPropertyKey(DocProperty property);

// Every value as UTF-8 text: strings in their set's code page or UTF-16, times as ISO 8601
// UTC ("2024-03-01T13:45:00Z"), numbers in shortest decimal form, TRUE or FALSE. A property
// missing or empty has an empty value.
struct DocumentProperties {
    std::string rgsValue[static_cast<size_t>(DocProperty::Count)];
    // The user-defined properties: name and value, as stored.
    std::vector<std::pair<std::string, std::string>> rgCustom;

    const std::string &Value(DocProperty property) const { return rgsValue[static_cast<size_t>(property)]; }
    bool Empty() const;
};

// Reads one property-set stream (either of the two) into *pProps. Damage is described in
// *prgWarning, and whatever could be read is kept. Time and output are linear in cb.
void ReadPropertySetStream(const uint8_t *pb, size_t cb, DocumentProperties *pProps,
                           std::vector<std::string> *prgWarning);

#endif
