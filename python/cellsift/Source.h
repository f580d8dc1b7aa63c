// What the extension's functions share: a workbook opened from a path or a buffer with the GIL
// released, the reader's errors as the package's exceptions, and numbers and UTF-8 as Python's.
#ifndef CELLSIFT_PYTHON_SOURCE_H
#define CELLSIFT_PYTHON_SOURCE_H

#include <pybind11/pybind11.h>

#include <string>

#include "workbook/Workbook.h"

// A workbook stream that Python holds (cellsift._core.Stream), so that a Workbook reads its
// tables when asked and frees the stream when closed.
struct HeldStream {
    WorkbookStream stream;
};

// The workbook stream of a file (fPath: source is the path as os.fsencode gives it) or of a
// buffer holding the file's bytes; an encrypted one opened with the default password, else
// with password (empty when the caller gave none).
WorkbookStream OpenSource(const pybind11::object &source, bool fPath, const std::string &password);

// The locale a locale= argument names ("auto": the environment's); ValueError for a name ICU
// has no data for.
const FormatLocale &LocaleNamed(const std::string &name);

// Raises the package's exception for error (cellsift._errors). An EncryptedError carries the
// document properties pProps (when given), which are read without the password.
[[noreturn]] void Raise(const WorkbookError &error, const DocumentProperties *pProps = nullptr);

// The properties as Workbook.properties gives them: the keys of those there, "custom" a dict
// of the user-defined ones when there are any.
pybind11::dict PropertiesDict(const DocumentProperties &props);

// The new reference p as an object; null raises the Python error that made it null.
pybind11::object Steal(PyObject *p);

// A whole number as the int Python's int() makes of it, exact however large; else a float.
pybind11::object NumberObject(double d);

// UTF-8 from the reader as a str; a broken sequence becomes U+FFFD.
pybind11::str Utf8(const char *pb, size_t cb);
inline pybind11::str Utf8(const std::string &s)
{
    return Utf8(s.data(), s.size());
}

#endif
