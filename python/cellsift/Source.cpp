// Opening a workbook for the extension, with the GIL released while the file is read, turning
// the reader's errors into the package's exceptions, and making numbers and UTF-8 Python's.
#include "Source.h"

#include <string.h>

#include <cmath>

namespace py = pybind11;

namespace {

// The bytes of a buffer object, held for as long as the reader needs them.
class HeldBuffer {
public:
    explicit HeldBuffer(const py::object &source)
    {
        if (PyObject_GetBuffer(source.ptr(), &m_view, PyBUF_SIMPLE) != 0) {
            throw py::error_already_set();
        }
    }
    ~HeldBuffer() { PyBuffer_Release(&m_view); }
    HeldBuffer(const HeldBuffer &) = delete;
    HeldBuffer &operator=(const HeldBuffer &) = delete;
    const uint8_t *Data() const { return static_cast<const uint8_t *>(m_view.buf); }
    size_t Size() const { return static_cast<size_t>(m_view.len); }

private:
    Py_buffer m_view;
};

const char *PasswordOrNull(const std::string &password)
{
    return password.empty() ? nullptr : password.c_str();
}

} // namespace

py::str Utf8(const char *pb, size_t cb)
{
    PyObject *p = PyUnicode_DecodeUTF8(pb, static_cast<Py_ssize_t>(cb), "replace");
    if (p == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(p);
}

py::object Steal(PyObject *p)
{
    if (p == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::object>(p);
}

py::object NumberObject(double d)
{
    if (!std::isfinite(d) || d != std::trunc(d)) {
        return py::float_(d);
    }
    // From the double's own bits, never its text: 2^60 is 1152921504606846976, not the
    // ...847000 that its shortest decimal form pads with zeros.
    return Steal(PyLong_FromDouble(d));
}

py::dict PropertiesDict(const DocumentProperties &props)
{
    py::dict properties;
    for (size_t i = 0; i < static_cast<size_t>(DocProperty::Count); i++) {
        const std::string &value = props.Value(static_cast<DocProperty>(i));
        if (!value.empty()) {
            properties[DocPropertyKey(static_cast<DocProperty>(i))] = Utf8(value);
        }
    }
    py::dict custom;
    for (const auto &prop : props.rgCustom) {
        custom[Utf8(prop.first)] = Utf8(prop.second);
    }
    if (!props.rgCustom.empty()) {
        properties["custom"] = custom;
    }
    return properties;
}

void Raise(const WorkbookError &error, const DocumentProperties *pProps)
{
    const char *pszClass = "DamagedError";
    switch (error.kind) {
    case WorkbookErrorKind::FileUnreadable: {
        py::object cls = py::module_::import("cellsift._errors").attr("FileError");
        // Without an errno the message alone, as OSError words it: no "[Errno 0]" before it.
        py::object exc =
            error.nErrno != 0 ? cls(error.nErrno, Utf8(error.message)) : cls(Utf8(error.message));
        PyErr_SetObject(cls.ptr(), exc.ptr());
        throw py::error_already_set();
    }
    case WorkbookErrorKind::Encrypted: pszClass = "EncryptedError"; break;
    case WorkbookErrorKind::TooLarge: pszClass = "TooLargeError"; break;
    case WorkbookErrorKind::NotCompound:
    case WorkbookErrorKind::NoWorkbookStream:
    case WorkbookErrorKind::NotWorkbook: pszClass = "NotWorkbookError"; break;
    default: break;
    }
    py::object cls = py::module_::import("cellsift._errors").attr(pszClass);
    if (error.kind == WorkbookErrorKind::Encrypted) {
        // The reader names the tool's option; here the password is an argument.
        std::string message = error.message;
        size_t ib = message.find("--password");
        if (ib != std::string::npos) {
            message.replace(ib, strlen("--password"), "password=");
        }
        py::dict properties = pProps != nullptr ? PropertiesDict(*pProps) : py::dict();
        PyErr_SetObject(cls.ptr(), py::make_tuple(Utf8(message), error.fPasswordHelps, properties).ptr());
        throw py::error_already_set();
    }
    PyErr_SetObject(cls.ptr(), Utf8(error.message).ptr());
    throw py::error_already_set();
}

const FormatLocale &LocaleNamed(const std::string &name)
{
    const FormatLocale *pLocale = FindFormatLocale(name == "auto" ? LocaleTagFromEnvironment() : name);
    if (pLocale == nullptr) {
        throw py::value_error("unknown locale '" + name + "' (a name such as de-DE, ru-RU or 'auto')");
    }
    return *pLocale;
}

WorkbookStream OpenSource(const py::object &source, bool fPath, const std::string &password)
{
    // The reader takes the password up to its first NUL, which would open the workbook whose
    // password is that prefix.
    if (password.find('\0') != std::string::npos) {
        throw py::value_error("embedded null character in password");
    }
    WorkbookStream stream;
    WorkbookError error;
    bool fOpened;
    if (fPath) {
        std::string path = source.cast<std::string>();
        py::gil_scoped_release release;
        fOpened = OpenWorkbookFile(path.c_str(), &stream, &error, PasswordOrNull(password));
    } else {
        HeldBuffer buffer(source);
        py::gil_scoped_release release;
        fOpened = OpenWorkbookMemory(buffer.Data(), buffer.Size(), &stream, &error, PasswordOrNull(password));
    }
    if (!fOpened) {
        Raise(error, &stream.properties);
    }
    return stream;
}
