// A workbook's VBA project as text: each module's name, kind and source, read from the
// project's storage beside the workbook stream, with what was damaged in it.
#ifndef CELLSIFT_VBA_VBAPROJECT_H
#define CELLSIFT_VBA_VBAPROJECT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

struct CfbFile;

struct VbaModule {
    std::string name; // UTF-8
    std::string kind; // "standard", "class", "document" (a sheet's or the workbook's), "form"
    std::string code; // UTF-8, lines ended as stored (CR LF), attribute lines included
};

struct VbaProject {
    bool fPresent = false; // the document has a VBA project storage
    std::vector<VbaModule> modules;
    std::vector<std::string> warnings;
    uint64_t cbRead = 0; // bytes of the project's streams read
};

// One module as the project's dir stream lists it.
struct VbaDirModule {
    std::string name;        // as stored, in the project's code page
    std::u16string stream;   // the name of its stream in the VBA storage
    uint32_t ibSource = 0;   // where its compressed source begins in that stream
    bool fProcedural = true; // a standard module; else a class, document or form
};

struct VbaDir {
    int nCodePage = 1252;
    std::vector<VbaDirModule> modules;
};

// Parses a decompressed dir stream: the code page and the modules, as far as they can be
// read; a damaged record adds a warning.
void ParseVbaDir(const uint8_t *pb, size_t cb, VbaDir *pDir, std::vector<std::string> *pWarnings);

// The kind the PROJECT stream's lines (Document=, Class=, BaseClass=, Module=) give a module
// of that stored name; "class" when it names it as none of them.
std::string VbaModuleKind(const std::string &project, const VbaDirModule &module);

// Reads the VBA project of an open compound document, when it has one ("_VBA_PROJECT_CUR").
// Reads less than three times the file's bytes in all and writes at most 64 times what it
// reads, whatever the project claims.
void ReadVbaProject(CfbFile *pFile, VbaProject *pProject);

#endif
