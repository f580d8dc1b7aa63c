// Where the reader's bytes come from: a path or a memory block, opened as a compound document
// whose workbook stream is copied out whole; and the words for each way that can fail.
#include "workbook/Workbook.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <string>

#include "platform/portable/CompoundFile.h"
#include "xls/ByteReader.h"

namespace {

bool Fail(WorkbookError *pError, WorkbookErrorKind kind, std::string message)
{
    pError->kind = kind;
    pError->message = std::move(message);
    return false;
}

bool FailTooLarge(WorkbookError *pError, uint64_t cb)
{
    return Fail(pError, WorkbookErrorKind::TooLarge,
                "too large: the workbook stream holds " + std::to_string(cb) +
                    " bytes, more than the 1 GiB this reader reads");
}

bool FailOutOfMemory(WorkbookError *pError)
{
    return Fail(pError, WorkbookErrorKind::TooLarge, "too large: not enough memory to read it");
}

// A bare BIFF stream starts with a BOF record of one of the four versions. Files of the
// oldest versions were written that way, outside any compound document.
bool IsBareBiff(const uint8_t *pb, size_t cb)
{
    uint16_t wType = ReadLe16(pb, cb, 0);
    uint16_t cbBody = ReadLe16(pb, cb, 2);
    return cb >= 8 && (wType == 0x0009 || wType == 0x0209 || wType == 0x0409 || wType == 0x0809) &&
           cbBody >= 4 && cbBody <= 20;
}

// Names what a file that is no compound document seems to be, from its first bytes.
std::string DescribeForeignBytes(const uint8_t *pb, size_t cb)
{
    if (cb == 0)
        return "the file is empty";
    if (cb >= 4 && memcmp(pb, "PK\x03\x04", 4) == 0)
        return "not an .xls workbook: it looks like a zip archive: an .xlsx file?";
    size_t cbLook = cb < 4096 ? cb : 4096;
    size_t ib = 0;
    if (cbLook >= 3 && memcmp(pb, "\xEF\xBB\xBF", 3) == 0)
        ib = 3;
    while (ib < cbLook && (pb[ib] == ' ' || pb[ib] == '\t' || pb[ib] == '\r' || pb[ib] == '\n'))
        ib++;
    size_t cControl = 0;
    for (size_t i = 0; i < cbLook; i++) {
        if (pb[i] < 0x20 && pb[i] != '\t' && pb[i] != '\r' && pb[i] != '\n')
            cControl++;
    }
    if (cControl == 0 && ib < cbLook && pb[ib] == '<')
        return "not an .xls workbook: it looks like HTML or XML text";
    if (cControl == 0)
        return "not an .xls workbook: it looks like plain text, such as CSV";
    return "not an .xls workbook: it is no compound document";
}

// Reads the compound document's "Workbook" stream, else its "Book" stream, into pStream.
bool CopyWorkbookStream(CfbFile *pFile, WorkbookStream *pStream, WorkbookError *pError)
{
    CfbStreamMap map;
    HRESULT hr = CfbOpenStream(pFile, u"Workbook", &map);
    pStream->fBook = false;
    if (hr == STG_E_FILENOTFOUND) {
        hr = CfbOpenStream(pFile, u"Book", &map);
        pStream->fBook = true;
    }
    if (hr == STG_E_FILENOTFOUND)
        return Fail(pError, WorkbookErrorKind::NoWorkbookStream,
                    "a compound document without a Workbook or Book stream: not an .xls workbook");
    if (hr != S_OK)
        return Fail(pError, WorkbookErrorKind::DamagedCompound,
                    "damaged compound document: its directory cannot be searched");
    // A damaged document may declare more than it holds, or a chain that comes round again:
    // the copy never exceeds the file itself, and whatever could be read is kept.
    uint64_t cbWant = map.m_cbSize < pFile->m_cbFile ? map.m_cbSize : pFile->m_cbFile;
    if (cbWant > cbWorkbookStreamMax)
        return FailTooLarge(pError, cbWant);
    pStream->Allocate((size_t)cbWant);
    uint64_t ibDone = 0;
    while (ibDone < cbWant) {
        uint64_t cbLeft = cbWant - ibDone;
        ULONG cbChunk = cbLeft < 0x40000000u ? (ULONG)cbLeft : 0x40000000u;
        ULONG cbRead = 0;
        hr = CfbReadStream(pFile, &map, ibDone, pStream->pbData.get() + ibDone, cbChunk, &cbRead);
        ibDone += cbRead;
        if (hr != S_OK || cbRead == 0)
            break;
    }
    pStream->cbData = (size_t)ibDone;
    pStream->cbDeclared = map.m_cbSize;
    if (ibDone == 0 && map.m_cbSize > 0)
        return Fail(pError, WorkbookErrorKind::TruncatedStream,
                    "the workbook stream is cut short: none of its bytes are in the file");
    return true;
}

bool ReportOpenFailure(HRESULT hr, const uint8_t *pbStart, size_t cbStart, WorkbookError *pError)
{
    static const uint8_t rgbMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    bool fMagic = cbStart >= sizeof(rgbMagic) && memcmp(pbStart, rgbMagic, sizeof(rgbMagic)) == 0;
    if (hr == STG_E_FILEALREADYEXISTS && !fMagic)
        return Fail(pError, WorkbookErrorKind::NotCompound, DescribeForeignBytes(pbStart, cbStart));
    if (hr == STG_E_FILEALREADYEXISTS)
        return Fail(pError, WorkbookErrorKind::DamagedCompound,
                    "damaged compound document: its header holds sizes no writer uses");
    if (hr == STG_E_OLDFORMAT)
        return Fail(pError, WorkbookErrorKind::NotCompound,
                    "not an .xls workbook: a compound document of an early, unreadable kind");
    return Fail(pError, WorkbookErrorKind::DamagedCompound,
                "damaged compound document: its sector tables or directory are broken");
}

} // namespace

void WorkbookStream::Allocate(size_t cb)
{
    pbData.reset(new uint8_t[cb > 0 ? cb : 1]);
    cbData = cb;
}

void WorkbookStream::Assign(const uint8_t *pb, size_t cb)
{
    Allocate(cb);
    if (cb > 0)
        memcpy(pbData.get(), pb, cb);
}

namespace {

bool OpenMemory(const uint8_t *pb, size_t cb, WorkbookStream *pStream, WorkbookError *pError)
{
    if (IsBareBiff(pb, cb) && cb > cbWorkbookStreamMax)
        return FailTooLarge(pError, cb);
    if (IsBareBiff(pb, cb)) {
        pStream->Assign(pb, cb);
        pStream->fBook = true;
        return true;
    }
    CfbFile file;
    HRESULT hr = CfbOpenMemory(pb, cb, &file);
    if (hr != S_OK)
        return ReportOpenFailure(hr, pb, cb, pError);
    return CopyWorkbookStream(&file, pStream, pError);
}

// The regular file open at fd, of st.st_size bytes.
bool OpenDescriptor(int fd, const struct stat &st, WorkbookStream *pStream, WorkbookError *pError)
{
    uint8_t rgbStart[4096];
    ssize_t cbStart = pread(fd, rgbStart, sizeof(rgbStart), 0);
    if (cbStart < 0)
        return Fail(pError, WorkbookErrorKind::FileUnreadable, strerror(errno));
    if (!IsBareBiff(rgbStart, (size_t)cbStart)) {
        CfbFile file;
        HRESULT hr = CfbOpenFile(fd, (uint64_t)st.st_size, &file);
        return hr == S_OK ? CopyWorkbookStream(&file, pStream, pError)
                          : ReportOpenFailure(hr, rgbStart, (size_t)cbStart, pError);
    }
    if ((uint64_t)st.st_size > cbWorkbookStreamMax)
        return FailTooLarge(pError, (uint64_t)st.st_size);
    pStream->Allocate((size_t)st.st_size);
    size_t cbDone = 0;
    while (cbDone < pStream->cbData) {
        ssize_t cbGot = pread(fd, pStream->pbData.get() + cbDone, pStream->cbData - cbDone, (off_t)cbDone);
        if (cbGot < 0 && errno == EINTR)
            continue;
        if (cbGot <= 0)
            break;
        cbDone += (size_t)cbGot;
    }
    pStream->cbData = cbDone;
    pStream->fBook = true;
    return true;
}

} // namespace

bool OpenWorkbookMemory(const uint8_t *pb, size_t cb, WorkbookStream *pStream, WorkbookError *pError)
{
    *pError = WorkbookError();
    try {
        return OpenMemory(pb, cb, pStream, pError);
    } catch (const std::bad_alloc &) {
        return FailOutOfMemory(pError);
    }
}

bool OpenWorkbookFile(const char *pszPath, WorkbookStream *pStream, WorkbookError *pError)
{
    *pError = WorkbookError();
    // Without blocking: a FIFO named like a workbook would wait for a writer; it is refused
    // below like anything else that is not a regular file.
    int fd = open(pszPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(pError, WorkbookErrorKind::FileUnreadable, strerror(errno));
    struct stat st;
    bool fOk;
    if (fstat(fd, &st) != 0) {
        fOk = Fail(pError, WorkbookErrorKind::FileUnreadable, strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
        fOk = Fail(pError, WorkbookErrorKind::FileUnreadable,
                   S_ISDIR(st.st_mode) ? strerror(EISDIR) : "not a regular file");
    } else {
        try {
            fOk = OpenDescriptor(fd, st, pStream, pError);
        } catch (const std::bad_alloc &) {
            fOk = FailOutOfMemory(pError);
        }
    }
    close(fd);
    return fOk;
}
