// Where the reader's bytes come from: a path (mapped) or a memory block, opened as a compound
// document whose workbook stream is read in place or copied out whole; and how that can fail.
#include "workbook/Workbook.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>

#include "biff/ByteCursor.h"
#include "biff/RecordTypes.h"
#include "cfb/CompoundFile.h"
#include "workbook/CompoundStream.h"
#include "workbook/EmbeddedObjects.h"
#include "workbook/FileMapping.h"
#include "workbook/StreamDecrypt.h"

namespace {

bool Fail(WorkbookError *pError, WorkbookErrorKind kind, std::string message)
{
    pError->kind = kind;
    pError->message = std::move(message);
    return false;
}

// A failure the system reported: its errno travels with its text.
bool FailErrno(WorkbookError *pError, int nErr)
{
    pError->nErrno = nErr;
    return Fail(pError, WorkbookErrorKind::FileUnreadable, strerror(nErr));
}

bool FailTooLarge(WorkbookError *pError, uint64_t cb)
{
    return Fail(pError, WorkbookErrorKind::TooLarge,
                "too large: the workbook stream holds " + std::to_string(cb) +
                    " bytes, more than the 1 GiB this reader reads");
}

bool FailChanged(WorkbookError *pError)
{
    return Fail(pError, WorkbookErrorKind::FileUnreadable,
                "the file was changed by another program since it was opened");
}

bool FailOutOfMemory(WorkbookError *pError)
{
    return Fail(pError, WorkbookErrorKind::TooLarge, "too large: not enough memory to read it");
}

// A bare BIFF stream starts with a BOF record of one of the four versions. Files of the
// oldest versions were written that way, outside any compound document.
bool IsBareBiff(const uint8_t *pb, size_t cb)
{
    ByteCursor header(pb, cb < 8 ? 0 : cb);
    uint16_t wType = header.Le16();
    uint16_t cbBody = header.Le16();
    return !header.FShort() && IsBofType(wType) && cbBody >= 4 && cbBody <= 20;
}

// Names what a file that is no compound document seems to be, from its first bytes.
std::string DescribeForeignBytes(const uint8_t *pb, size_t cb)
{
    if (cb == 0) {
        return "the file is empty";
    }
    if (cb >= 4 && memcmp(pb, "PK\x03\x04", 4) == 0) {
        return "not an .xls workbook: it looks like a zip archive: an .xlsx file?";
    }
    size_t cbLook = cb < 4096 ? cb : 4096;
    size_t ib = 0;
    if (cbLook >= 3 && memcmp(pb, "\xEF\xBB\xBF", 3) == 0) {
        ib = 3;
    }
    while (ib < cbLook && (pb[ib] == ' ' || pb[ib] == '\t' || pb[ib] == '\r' || pb[ib] == '\n')) {
        ib++;
    }
    size_t cControl = 0;
    for (size_t i = 0; i < cbLook; i++) {
        if (pb[i] < 0x20 && pb[i] != '\t' && pb[i] != '\r' && pb[i] != '\n') {
            cControl++;
        }
    }
    if (cControl == 0 && ib < cbLook && pb[ib] == '<') {
        return "not an .xls workbook: it looks like HTML or XML text";
    }
    if (cControl == 0) {
        return "not an .xls workbook: it looks like plain text, such as CSV";
    }
    return "not an .xls workbook: it is no compound document";
}

// Whether a stream may be read where it lies in the document's bytes, and what keeps them.
struct InPlace {
    bool fInPlace;
    std::shared_ptr<const void> holder;
};

// Finds the compound document's "Workbook" stream, else its "Book" stream: read in place where
// holder allows it and its sectors follow each other, else copied into pStream's own block.
bool CopyWorkbookStream(CfbFile *pFile, const InPlace &holder, WorkbookStream *pStream, WorkbookError *pError)
{
    CfbStreamMap map;
    CfbResult result = CfbOpenStream(pFile, u"Workbook", &map);
    pStream->fBook = false;
    if (result == CfbResult::NotFound) {
        result = CfbOpenStream(pFile, u"Book", &map);
        pStream->fBook = true;
    }
    if (result == CfbResult::NotFound) {
        return Fail(pError, WorkbookErrorKind::NoWorkbookStream,
                    "a compound document without a Workbook or Book stream: not an .xls workbook");
    }
    if (result != CfbResult::Ok) {
        return Fail(pError, WorkbookErrorKind::DamagedCompound,
                    "damaged compound document: its directory cannot be searched");
    }
    // A damaged document may declare more than it holds, or a chain that comes round again:
    // the copy never exceeds the file itself, and whatever could be read is kept.
    uint64_t cbWant = map.m_cbSize < pFile->m_cbFile ? map.m_cbSize : pFile->m_cbFile;
    if (cbWant > cbWorkbookStreamMax) {
        return FailTooLarge(pError, cbWant);
    }
    pStream->cbDeclared = map.m_cbSize;
    ReadDocumentProperties(pFile, &pStream->properties, &pStream->rgPropertyWarning);
    ReadVbaProject(pFile, &pStream->vba);
    ReadEmbeddedObjects(pFile, &pStream->embedded, &pStream->rgPropertyWarning);
    const uint8_t *pbInPlace = holder.fInPlace ? CfbStreamInPlace(pFile, &map) : nullptr;
    if (pbInPlace != nullptr) {
        pStream->View(pbInPlace, static_cast<size_t>(map.m_cbSize), holder.holder);
        return true;
    }
    uint8_t *pb = pStream->Allocate(static_cast<size_t>(cbWant));
    uint64_t ibDone = ReadStreamBytes(pFile, &map, pb, cbWant);
    pStream->cbData = static_cast<size_t>(ibDone);
    if (ibDone == 0 && map.m_cbSize > 0) {
        return Fail(pError, WorkbookErrorKind::TruncatedStream,
                    "the workbook stream is cut short: none of its bytes are in the file");
    }
    return true;
}

bool ReportOpenFailure(CfbResult result, const uint8_t *pbStart, size_t cbStart, WorkbookError *pError)
{
    bool fMagic = CfbHasSignature(pbStart, cbStart);
    if (result == CfbResult::NotCompound && !fMagic) {
        return Fail(pError, WorkbookErrorKind::NotCompound, DescribeForeignBytes(pbStart, cbStart));
    }
    if (result == CfbResult::NotCompound) {
        return Fail(pError, WorkbookErrorKind::DamagedCompound,
                    "damaged compound document: its header holds sizes no writer uses");
    }
    if (result == CfbResult::OldFormat) {
        return Fail(pError, WorkbookErrorKind::NotCompound,
                    "not an .xls workbook: a compound document of an early, unreadable kind");
    }
    return Fail(pError, WorkbookErrorKind::DamagedCompound,
                "damaged compound document: its sector tables or directory are broken");
}

} // namespace

uint8_t *WorkbookStream::Allocate(size_t cb)
{
    m_holder.reset();
    fNoFilePass = false;
    m_pbOwned.reset(new uint8_t[cb > 0 ? cb : 1]);
    pbData = m_pbOwned.get();
    cbData = cb;
    return m_pbOwned.get();
}

void WorkbookStream::Assign(const uint8_t *pb, size_t cb)
{
    uint8_t *pbCopy = Allocate(cb);
    if (cb > 0) {
        memcpy(pbCopy, pb, cb);
    }
}

bool WorkbookStream::FSourceIntact(WorkbookError *pError) const
{
    if (m_mapping == nullptr) {
        return true;
    }
    if (m_mapping->FCut()) {
        return Fail(pError, WorkbookErrorKind::FileUnreadable,
                    "the file was cut short by another program while it was read");
    }
    if (m_mapping->FChanged()) {
        return FailChanged(pError);
    }
    if (!FileMapping::FGuard()) {
        return Fail(pError, WorkbookErrorKind::FileUnreadable,
                    "the file is mapped, and its SIGBUS handler cannot be installed again");
    }
    return true;
}

void WorkbookStream::StopWatchIfCopied()
{
    // A stream copied or decrypted out of the mapping holds what the file held when opened,
    // whatever is written into the file after.
    if (m_mapping != nullptr && m_holder.get() != static_cast<const void *>(m_mapping.get())) {
        m_mapping.reset();
    }
}

void WorkbookStream::View(const uint8_t *pb, size_t cb, std::shared_ptr<const void> holder)
{
    m_pbOwned.reset();
    fNoFilePass = false;
    m_holder = std::move(holder);
    pbData = pb;
    cbData = cb;
}

namespace {

bool OpenMemory(const uint8_t *pb, size_t cb, const InPlace &holder, WorkbookStream *pStream,
                WorkbookError *pError)
{
    if (IsBareBiff(pb, cb) && cb > cbWorkbookStreamMax) {
        return FailTooLarge(pError, cb);
    }
    if (IsBareBiff(pb, cb)) {
        if (holder.fInPlace) {
            pStream->View(pb, cb, holder.holder);
        } else {
            pStream->Assign(pb, cb);
        }
        pStream->fBook = true;
        return true;
    }
    CfbFile file;
    CfbResult result = CfbOpenMemory(pb, cb, &file);
    if (result != CfbResult::Ok) {
        return ReportOpenFailure(result, pb, cb, pError);
    }
    return CopyWorkbookStream(&file, holder, pStream, pError);
}

// Reads up to cb bytes from the start of fd into pb; fewer where the file ends sooner (it may
// have been cut since its size was taken) or cannot be read further.
size_t ReadUpTo(int fd, uint8_t *pb, size_t cb)
{
    size_t cbDone = 0;
    while (cbDone < cb) {
        ssize_t cbGot = pread(fd, pb + cbDone, cb - cbDone, static_cast<off_t>(cbDone));
        if (cbGot < 0 && errno == EINTR) {
            continue;
        }
        if (cbGot <= 0) {
            break;
        }
        cbDone += static_cast<size_t>(cbGot);
    }
    return cbDone;
}

// The regular file open at fd, of st.st_size bytes.
bool OpenDescriptor(int fd, const struct stat &st, WorkbookStream *pStream, WorkbookError *pError)
{
    // A small file is read whole at once: a tree of small workbooks spends as much on system
    // calls as on reading them.
    if (static_cast<uint64_t>(st.st_size) <= cbReadNotMappedMax) {
        size_t cbFile = static_cast<size_t>(st.st_size);
        std::shared_ptr<uint8_t> block(new uint8_t[cbFile > 0 ? cbFile : 1],
                                       std::default_delete<uint8_t[]>());
        errno = 0;
        size_t cbRead = ReadUpTo(fd, block.get(), cbFile);
        if (cbRead == 0 && errno != 0) {
            return FailErrno(pError, errno);
        }
        return OpenMemory(block.get(), cbRead, InPlace{true, block}, pStream, pError);
    }
    // A bare BIFF file's size is checked before it is mapped: a sparse one may claim anything.
    uint8_t rgbStart[4096];
    ssize_t cbStart = pread(fd, rgbStart, sizeof(rgbStart), 0);
    if (cbStart < 0) {
        return FailErrno(pError, errno);
    }
    bool fBare = IsBareBiff(rgbStart, static_cast<size_t>(cbStart));
    if (fBare && static_cast<uint64_t>(st.st_size) > cbWorkbookStreamMax) {
        return FailTooLarge(pError, static_cast<uint64_t>(st.st_size));
    }
    std::shared_ptr<FileMapping> mapping = FileMapping::Map(fd, st, cbWorkbookStreamMax);
    if (mapping != nullptr) {
        pStream->WatchMapping(mapping);
        return OpenMemory(mapping->Data(), mapping->Size(), InPlace{true, mapping}, pStream, pError);
    }
    if (!fBare) {
        CfbFile file;
        CfbResult result = CfbOpenFile(fd, static_cast<uint64_t>(st.st_size), &file);
        return result == CfbResult::Ok
                   ? CopyWorkbookStream(&file, InPlace{false, nullptr}, pStream, pError)
                   : ReportOpenFailure(result, rgbStart, static_cast<size_t>(cbStart), pError);
    }
    uint8_t *pb = pStream->Allocate(static_cast<size_t>(st.st_size));
    pStream->cbData = ReadUpTo(fd, pb, pStream->cbData);
    pStream->fBook = true;
    return true;
}

} // namespace

bool OpenWorkbookMemory(const uint8_t *pb, size_t cb, WorkbookStream *pStream, WorkbookError *pError,
                        const char *pszPassword)
{
    *pError = WorkbookError();
    try {
        return OpenMemory(pb, cb, InPlace{false, nullptr}, pStream, pError) &&
               DecryptWorkbook(pStream, pszPassword, pError);
    } catch (const std::bad_alloc &) {
        return FailOutOfMemory(pError);
    }
}

bool OpenWorkbookView(const uint8_t *pb, size_t cb, WorkbookStream *pStream, WorkbookError *pError,
                      const char *pszPassword)
{
    *pError = WorkbookError();
    try {
        return OpenMemory(pb, cb, InPlace{true, nullptr}, pStream, pError) &&
               DecryptWorkbook(pStream, pszPassword, pError);
    } catch (const std::bad_alloc &) {
        return FailOutOfMemory(pError);
    }
}

bool OpenWorkbookDescriptor(int fd, WorkbookStream *pStream, WorkbookError *pError, const char *pszPassword)
{
    *pError = WorkbookError();
    struct stat st;
    if (fstat(fd, &st) != 0) {
        return FailErrno(pError, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        return S_ISDIR(st.st_mode) ? FailErrno(pError, EISDIR)
                                   : Fail(pError, WorkbookErrorKind::FileUnreadable, "not a regular file");
    }
    try {
        bool fOk = OpenDescriptor(fd, st, pStream, pError) && DecryptWorkbook(pStream, pszPassword, pError);
        if (!pStream->FSourceIntact(pError)) {
            return false;
        }
        // What was copied may mix two versions of a file written while it was read.
        if (!FFileUnchanged(fd, st)) {
            return FailChanged(pError);
        }
        pStream->StopWatchIfCopied();
        return fOk;
    } catch (const std::bad_alloc &) {
        return FailOutOfMemory(pError);
    }
}

bool OpenWorkbookFile(const char *pszPath, WorkbookStream *pStream, WorkbookError *pError,
                      const char *pszPassword)
{
    // Without blocking: a FIFO named like a workbook would wait for a writer; it is refused
    // like anything else that is not a regular file.
    int fd = open(pszPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *pError = WorkbookError();
        return FailErrno(pError, errno);
    }
    bool fOk = OpenWorkbookDescriptor(fd, pStream, pError, pszPassword);
    close(fd);
    return fOk;
}
