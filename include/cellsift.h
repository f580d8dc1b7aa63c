/* cellsift: text of binary xls workbooks, for indexing hosts written in C or C++.
   The four functions are exported undecorated, with the C calling convention. */
#ifndef CELLSIFT_H
#define CELLSIFT_H

#if defined(_WIN32)
#if defined(CELLSIFT_BUILDING_LIBRARY)
#define CELLSIFT_API __declspec(dllexport)
#elif defined(CELLSIFT_STATIC)
/* Linked in from the static core (tests, tools): nothing to import. */
#define CELLSIFT_API
#else
#define CELLSIFT_API __declspec(dllimport)
#endif
#define CELLSIFT_CALL __cdecl
#else
#define CELLSIFT_API __attribute__((visibility("default")))
#define CELLSIFT_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Writes "xls" and its NUL (4 bytes) into pszBuffer; returns 3. */
CELLSIFT_API int CELLSIFT_CALL GetProcessableExtensionsString(char *pszBuffer);

/* Writes the description (36 Windows-1251 bytes) and its NUL into pszBuffer; returns 36. */
CELLSIFT_API int CELLSIFT_CALL GetDescription(char *pszBuffer);

/* The size in bytes of the document's workbook stream, or 0 when the document or the
   stream cannot be opened (an empty stream gives 0 too). nUnused has no effect. */
CELLSIFT_API int CELLSIFT_CALL GetLengthOfTextPortion(const char *pszPath, int nUnused);

/* Extracts the document's text in the ANSI code page (Windows-1251 on the portable build)
   into pszBuffer, which holds nCapacity + 1 bytes: at most nCapacity characters and a NUL.
   Returns the number of characters written; 0 with an empty text when there is none or the
   extraction failed (the cause goes to the diagnostic log). Calls must not overlap. */
CELLSIFT_API int CELLSIFT_CALL GetTextPortionOfDocument(const char *pszPath, char *pszBuffer, int nCapacity);

#ifdef __cplusplus
}
#endif

#endif
