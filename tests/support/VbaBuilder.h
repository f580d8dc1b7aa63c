// Test-only VBA projects: the compression's container (stored and literal chunks), dir
// streams of chosen modules, and a workbook's compound document holding them.
#ifndef CELLSIFT_TESTS_SUPPORT_VBABUILDER_H
#define CELLSIFT_TESTS_SUPPORT_VBABUILDER_H

#include <stdint.h>

#include <string>
#include <vector>

// A container of s as the format's compressor makes it: each 4096-byte block compressed
// with the longest matches, or stored when that would be longer.
std::string VbaContainer(const std::string &s);

struct VbaModuleDesc {
    std::string name;   // in the project's code page
    std::string code;   // in the project's code page, CR LF lines
    uint16_t wType;     // 0x21 standard, 0x22 class, document or form
    std::string cache;  // bytes before the source in its stream (its offset is their size)
    std::string stream; // its stream's name; the module's name when empty
};

// The dir stream, uncompressed: the project's information records (code page nCodePage), no
// references, the modules.
std::string VbaDirStream(const std::vector<VbaModuleDesc> &modules, uint16_t nCodePage);

// A compound document with the workbook stream and a _VBA_PROJECT_CUR storage: PROJECT (its
// lines given), VBA/dir (compressed from dir) and each module's stream.
std::string VbaWorkbookFile(const std::string &workbookStream, const std::string &project,
                            const std::string &dir, const std::vector<VbaModuleDesc> &modules);

#endif
