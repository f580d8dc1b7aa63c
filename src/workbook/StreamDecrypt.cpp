// A workbook stream's FILEPASS found once and the stream replaced by a decrypted copy of itself,
// made in fresh memory once the password that opens it is known.
#include "workbook/StreamDecrypt.h"

#include <memory>

#include "biff/RecordIterator.h"
#include "decrypt/DecryptScheme.h"
#include "workbook/FreshBuffer.h"

bool DecryptWorkbook(WorkbookStream *pStream, const char *pszPassword, WorkbookError *pError)
{
    size_t ibFilePass = 0;
    if (pStream->fDecrypted || pStream->fNoFilePass) {
        return true;
    }
    if (!FindFilePass(pStream->pbData, pStream->cbData, FilePassScope::Globals, &ibFilePass)) {
        pStream->fNoFilePass = true;
        return true;
    }
    size_t cb = pStream->cbData;
    StreamKey key;
    DecryptResult result = FindStreamKey(pStream->pbData, cb, ibFilePass, pszPassword, &key);
    if (result.status != DecryptStatus::Ok) {
        pError->kind = WorkbookErrorKind::Encrypted;
        pError->message = result.message;
        pError->fPasswordHelps =
            result.status == DecryptStatus::NeedsPassword || result.status == DecryptStatus::WrongPassword;
        return false;
    }
    // Copied and decrypted in one pass: each byte is read once, where the stream lies, and
    // written once, into memory fresh for it.
    std::shared_ptr<uint8_t> block = AllocateFresh(cb);
    DecryptStream(key, pStream->pbData, block.get(), cb);
    pStream->View(block.get(), cb, block);
    pStream->fDecrypted = true;
    return true;
}
