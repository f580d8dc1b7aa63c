// Streams of the workbook's compound document read whole: the property sets beside the
// workbook stream, and the workbook stream itself where it cannot be read in place.
#ifndef CELLSIFT_WORKBOOK_COMPOUNDSTREAM_H
#define CELLSIFT_WORKBOOK_COMPOUNDSTREAM_H

#include <stdint.h>

#include <string>
#include <vector>

struct CfbFile;
struct CfbStreamMap;
struct DocumentProperties;

// Reads up to cbWant bytes of an open stream into pb, in pieces the stream reader accepts;
// returns how many it could read (fewer in a damaged file).
uint64_t ReadStreamBytes(CfbFile *pFile, CfbStreamMap *pMap, uint8_t *pb, uint64_t cbWant);

// The stream pwzName of the root storage, whole, into *prgb: never more bytes than the file
// holds, whatever size the directory declares. False when there is no such stream.
bool ReadCompoundStream(CfbFile *pFile, const char16_t *pwzName, std::vector<uint8_t> *prgb);

// Reads both property sets of an open compound document, when it has them.
void ReadDocumentProperties(CfbFile *pFile, DocumentProperties *pProps, std::vector<std::string> *prgWarning);

#endif
