// The subset of the Windows interfaces that the plug-in calls, for systems without them:
// types, constants and declarations, implemented by the other files of this folder.
#ifndef CELLSIFT_PLATFORM_WIN32PORTABLE_H
#define CELLSIFT_PLATFORM_WIN32PORTABLE_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

typedef int32_t HRESULT;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef char CHAR;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef char16_t WCHAR;
typedef WCHAR OLECHAR;
typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;
typedef OLECHAR *LPOLESTR;
typedef const OLECHAR *LPCOLESTR;
typedef BOOL *LPBOOL;
typedef void *HLOCAL;
typedef OLECHAR **SNB;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define CP_ACP 0

#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define STG_E_INVALIDFUNCTION ((HRESULT)0x80030001)
#define STG_E_FILENOTFOUND ((HRESULT)0x80030002)
#define STG_E_PATHNOTFOUND ((HRESULT)0x80030003)
#define STG_E_ACCESSDENIED ((HRESULT)0x80030005)
#define STG_E_INVALIDPOINTER ((HRESULT)0x80030009)
#define STG_E_INSUFFICIENTMEMORY ((HRESULT)0x80030008)
#define STG_E_READFAULT ((HRESULT)0x8003001E)
#define STG_E_FILEALREADYEXISTS ((HRESULT)0x80030050)
#define STG_E_INVALIDPARAMETER ((HRESULT)0x80030057)
#define STG_E_INVALIDNAME ((HRESULT)0x800300FC)
#define STG_E_INVALIDFLAG ((HRESULT)0x800300FF)
#define STG_E_DOCFILECORRUPT ((HRESULT)0x80030109)
#define STG_E_OLDFORMAT ((HRESULT)0x80030104)

#define STGM_READ 0x00000000L
#define STGM_SHARE_EXCLUSIVE 0x00000010L
#define STATFLAG_DEFAULT 0
#define STATFLAG_NONAME 1
#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2

typedef union {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    int64_t QuadPart;
} LARGE_INTEGER;

typedef union {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    uint64_t QuadPart;
} ULARGE_INTEGER;

typedef struct {
    LPOLESTR pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    DWORD grfMode;
} STATSTG;

// A stream and a storage of an open compound document. They have no data of their own:
// the reader makes them and keeps what they need behind them, and Release frees them.
struct IStream {
    HRESULT Stat(STATSTG *pstatstg, DWORD grfStatFlag);
    HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER *plibNewPosition);
    HRESULT Read(void *pv, ULONG cb, ULONG *pcbRead);
    ULONG Release();

protected:
    IStream() = default;
    ~IStream() = default;
    IStream(const IStream &) = delete;
    IStream &operator=(const IStream &) = delete;
};

struct IStorage {
    HRESULT OpenStream(LPCOLESTR pwcsName, void *reserved1, DWORD grfMode, DWORD reserved2, IStream **ppstm);
    ULONG Release();

protected:
    IStorage() = default;
    ~IStorage() = default;
    IStorage(const IStorage &) = delete;
    IStorage &operator=(const IStorage &) = delete;
};

HRESULT StgOpenStorage(LPCOLESTR pwcsName, IStorage *pstgPriority, DWORD grfMode, SNB snbExclude,
                       DWORD reserved, IStorage **ppstgOpen);

// Code page conversion between UTF-16 and the ANSI code page, which here is Windows-1251.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar);

// The system's version; here never of the NT family, which alone has IsTextUnicode.
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
#define IS_TEXT_UNICODE_STATISTICS 0x0002
typedef struct {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA;
BOOL GetVersionExA(OSVERSIONINFOA *lpVersionInformation);
BOOL IsTextUnicode(const void *lpv, int iSize, int *lpiResult);

// Error texts and the memory they come in.
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define LMEM_FIXED 0
DWORD FormatMessageA(DWORD dwFlags, const void *lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, va_list *Arguments);
HLOCAL LocalAlloc(UINT uFlags, size_t uBytes);
HLOCAL LocalFree(HLOCAL hMem);
int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...);
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

// Copies a file; with bFailIfExists never replaces the destination.
BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);

#endif
