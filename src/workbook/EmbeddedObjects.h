// The documents embedded in a workbook's compound document: their storages found, their class,
// properties and package names read, and embedded workbooks' streams copied for reading.
#ifndef CELLSIFT_WORKBOOK_EMBEDDEDOBJECTS_H
#define CELLSIFT_WORKBOOK_EMBEDDEDOBJECTS_H

#include <stdint.h>

#include <string>
#include <vector>

struct CfbFile;
struct EmbeddedObject;

// Embedded workbooks hold their own embedded objects: this many levels are read, and what the
// last level's workbooks embed is not looked at.
const int cEmbeddedDepthMax = 3;
// At most this many objects are read from one file, however many it lists.
const size_t cEmbeddedObjectsMax = 256;

// The embedded objects of the document: the root's MBD… storages and those in its ObjectPool
// storage, in the directory's order, each embedded workbook's own nested in it. Copies at most
// twice the file's bytes in all; objects past the count are named in a warning.
void ReadEmbeddedObjects(CfbFile *pFile, std::vector<EmbeddedObject> *pObjects,
                         std::vector<std::string> *pWarnings);

#endif
