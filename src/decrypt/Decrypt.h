// What the decryptor tells its caller: whether a password opens a stream, and if not why, in
// one sentence; and the password spreadsheet programs encrypt with when the user set none.
#ifndef CELLSIFT_DECRYPT_DECRYPT_H
#define CELLSIFT_DECRYPT_DECRYPT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

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

#endif
