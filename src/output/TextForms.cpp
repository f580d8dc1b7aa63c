// Cell names: columns are numbered in letters from A, as a bijective base-26 count, so Z is
// followed by AA, not by BA.
#include "output/TextForms.h"

std::string CellName(uint32_t row, uint32_t col)
{
    std::string name;
    for (uint32_t n = col + 1; n > 0; n = (n - 1) / 26) {
        name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
    }
    return name + std::to_string(row + 1);
}
