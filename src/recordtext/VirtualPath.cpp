// Decoding of the encoded paths of linked documents. The codes come from DOS-era writers that
// kept paths portable between file systems: a drive, the root of the book's own drive, folder
// separators, "..", a URL with its length, and the program's startup and library folders.
#include "recordtext/VirtualPath.h"

namespace {

enum : char {
    chEncoded = 0x01,
    chVolume = 0x01,     // a drive letter follows, or "@" and a UNC server
    chSameVolume = 0x02, // the root of the drive the workbook is on
    chDownDir = 0x03,    // the end of a folder's name
    chUpDir = 0x04,      // the parent folder
    chLongVolume = 0x05, // a URL, its length in the character after the code
    chStartup = 0x06,    // relative to the startup, alternate startup or library folder:
    chAltStartup = 0x07, // where that is belongs to the machine that opens the book, so the
    chLibrary = 0x08,    // path is given relative
};

// One separator, never two in a row (a drive's "C:\" is followed by a folder's end code), but
// the two of a UNC server's start stay.
void AppendSeparator(std::string *psPath)
{
    if (psPath->empty() || psPath->back() != '\\' || *psPath == "\\\\") {
        psPath->push_back('\\');
    }
}

// Where the UTF-8 character that starts at i ends: a code's argument (a drive, a URL's length)
// is a whole character, never the first byte of one.
size_t CharEnd(std::string_view text, size_t i)
{
    size_t iEnd = i + 1;
    while (iEnd < text.size() && (static_cast<unsigned char>(text[iEnd]) & 0xC0) == 0x80) {
        iEnd++;
    }
    return iEnd;
}

} // namespace

void DecodeVirtualPath(std::string_view encoded, std::string *psPath)
{
    psPath->clear();
    if (encoded.empty() || encoded[0] != chEncoded) {
        psPath->assign(encoded);
        return;
    }
    for (size_t i = 1; i < encoded.size(); i++) {
        char ch = encoded[i];
        switch (ch) {
        case chVolume:
            if (i + 1 < encoded.size()) {
                size_t iEnd = CharEnd(encoded, i + 1);
                std::string_view drive = encoded.substr(i + 1, iEnd - i - 1);
                psPath->append(drive == "@" ? std::string("\\\\") : std::string(drive) + ":\\");
                i = iEnd - 1;
            }
            break;
        case chSameVolume:
        case chDownDir: AppendSeparator(psPath); break;
        case chUpDir:
            psPath->append("..");
            AppendSeparator(psPath);
            break;
        case chLongVolume:
            // The count: the URL runs to the end anyway.
            i = i + 1 < encoded.size() ? CharEnd(encoded, i + 1) - 1 : i;
            break;
        case chStartup:
        case chAltStartup:
        case chLibrary: break;
        default: psPath->push_back(ch); break;
        }
    }
}

bool SplitBookAndSheet(std::string_view path, std::string *psBook, std::string *psSheet)
{
    size_t iOpen = path.find('[');
    size_t iClose = iOpen == std::string_view::npos ? iOpen : path.find(']', iOpen);
    if (iClose == std::string_view::npos) {
        psBook->assign(path);
        psSheet->clear();
        return false;
    }
    psBook->assign(path.substr(0, iOpen));
    psBook->append(path.substr(iOpen + 1, iClose - iOpen - 1));
    psSheet->assign(path.substr(iClose + 1));
    return true;
}
