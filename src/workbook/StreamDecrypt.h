// A workbook stream's FILEPASS found once and the stream replaced by a decrypted copy of itself,
// made in fresh memory once the password that opens it is known.
#ifndef CELLSIFT_WORKBOOK_STREAMDECRYPT_H
#define CELLSIFT_WORKBOOK_STREAMDECRYPT_H

#include "workbook/Workbook.h"

// A stream with a FILEPASS record in its globals becomes a view of a decrypted copy of it,
// marked fDecrypted; no copy is made before a password is known to open it. True, the stream
// unchanged, when it has none (then marked fNoFilePass, so that it is not looked for again) or
// is decrypted already; false with *pError filled (Encrypted) when it cannot be
// decrypted.
bool DecryptWorkbook(WorkbookStream *pStream, const char *pszPassword, WorkbookError *pError);

#endif
