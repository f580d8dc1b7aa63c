// Decryption of a workbook stream that holds a FILEPASS record: the password tried against the
// record's verifier, and a decrypted copy of the stream for the reader.
#ifndef CELLSIFT_WORKBOOK_DECRYPT_H
#define CELLSIFT_WORKBOOK_DECRYPT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "workbook/Workbook.h"

enum class DecryptStatus {
    Ok,
    NeedsPassword, // neither the default password nor one given opens it (none was given)
    WrongPassword, // a password was given and it is not the workbook's
    UnknownScheme, // FILEPASS names a scheme not read here; the message names it
    Damaged,       // FILEPASS is too short or its fields contradict each other
};

struct DecryptResult {
    DecryptStatus status = DecryptStatus::Ok;
    std::string message; // one sentence; empty when status is Ok
};

// The password a spreadsheet program encrypts a workbook with when the user set none to open
// it (the workbook is only write-protected).
extern const char szDefaultPassword[];

// A stream with a FILEPASS record in its globals becomes a view of a decrypted copy of it,
// marked fDecrypted; no copy is made before a password is known to open it. True, the stream
// unchanged, when it has none (then marked fNoFilePass, so that it is not looked for again) or
// is decrypted already; false with *pError filled (Encrypted) when it cannot be
// decrypted.
bool DecryptWorkbook(WorkbookStream *pStream, const char *pszPassword, WorkbookError *pError);

#endif
