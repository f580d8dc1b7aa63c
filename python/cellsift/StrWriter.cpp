// Pieces of UTF-8 measured and converted into the code units of a str that grows as they come.
// The str takes the width of the largest character so far, and is widened when one needs more.
// Converting each piece where it was just written costs less than handing it to another
// thread: there every byte of the text would have to cross from one core's cache to the other.
#include "StrWriter.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

#include "unicode/Utf8Units.h"

namespace py = pybind11;

namespace {

// A long text's str is fresh memory, and taking its pages one small page at a time is much of
// the conversion: the huge pages that lie wholly inside it are asked for (the str's own ends
// keep small ones), and the pages about to be written are made present in one call. Gives
// the advice to the whole units of cbUnit bytes inside the cb bytes at pv.
#if defined(MADV_HUGEPAGE) || defined(MADV_POPULATE_WRITE)
void AdviseInside(void *pv, size_t cb, uintptr_t cbUnit, int nAdvice)
{
    uintptr_t ulStart = (reinterpret_cast<uintptr_t>(pv) + cbUnit - 1) & ~(cbUnit - 1);
    uintptr_t ulEnd = (reinterpret_cast<uintptr_t>(pv) + cb) & ~(cbUnit - 1);
    if (ulEnd > ulStart) {
        madvise(reinterpret_cast<void *>(ulStart), ulEnd - ulStart, nAdvice);
    }
}
#endif

void AdviseHugePages(void *pv, size_t cb)
{
#ifdef MADV_HUGEPAGE
    AdviseInside(pv, cb, uintptr_t(2) << 20, MADV_HUGEPAGE);
#else
    (void)pv;
    (void)cb;
#endif
}

void Populate(void *pv, size_t cb)
{
#ifdef MADV_POPULATE_WRITE
    AdviseInside(pv, cb, 4096, MADV_POPULATE_WRITE);
#else
    (void)pv;
    (void)cb;
#endif
}

} // namespace

void StrWriter::Piece(void *pContext, std::string *ps)
{
    StrWriter *pWriter = static_cast<StrWriter *>(pContext);
    try {
        pWriter->Convert(*ps);
    } catch (...) {
        pWriter->m_fFailed = true;
    }
    ps->clear();
}

void StrWriter::Convert(const std::string &piece)
{
    size_t cch;
    uint32_t wMax;
    if (m_fFailed) {
        return;
    }
    if (!MeasureUtf8(piece.data(), piece.size(), &cch, &wMax)) {
        // Not what the reader writes; Python's own decoder says what it is.
        py::gil_scoped_acquire acquire;
        PyObject *pDecoded =
            PyUnicode_DecodeUTF8(piece.data(), static_cast<Py_ssize_t>(piece.size()), "replace");
        if (pDecoded == nullptr) {
            PyErr_Clear();
            m_fFailed = true;
            return;
        }
        CopyDecoded(pDecoded);
        Py_DECREF(pDecoded);
        return;
    }
    if (cch == 0 || !Reserve(cch, wMax)) {
        return;
    }
    void *pData = PyUnicode_DATA(m_pStr);
    size_t cbUnit = static_cast<size_t>(PyUnicode_KIND(m_pStr));
    Populate(static_cast<char *>(pData) + m_cch * cbUnit, cch * cbUnit);
    switch (PyUnicode_KIND(m_pStr)) {
    case PyUnicode_1BYTE_KIND:
        Utf8ToUnits(piece.data(), piece.size(), cch, static_cast<Py_UCS1 *>(pData) + m_cch);
        break;
    case PyUnicode_2BYTE_KIND:
        Utf8ToUnits(piece.data(), piece.size(), cch, static_cast<Py_UCS2 *>(pData) + m_cch);
        break;
    default: Utf8ToUnits(piece.data(), piece.size(), cch, static_cast<Py_UCS4 *>(pData) + m_cch); break;
    }
    m_cch += cch;
}

// With the GIL held.
void StrWriter::CopyDecoded(PyObject *pDecoded)
{
    size_t cch = static_cast<size_t>(PyUnicode_GET_LENGTH(pDecoded));
    if (cch == 0 || !Reserve(cch, PyUnicode_MAX_CHAR_VALUE(pDecoded))) {
        return;
    }
    if (PyUnicode_CopyCharacters(m_pStr, static_cast<Py_ssize_t>(m_cch), pDecoded, 0,
                                 static_cast<Py_ssize_t>(cch)) < 0) {
        PyErr_Clear();
        m_fFailed = true;
        return;
    }
    m_cch += cch;
}

// Room for cchMore units after those written, at a width that holds wMax: the str grows to
// twice its size, or is made anew in a wider kind with the units so far copied over. Takes
// the GIL only for that, unless the caller holds it already.
bool StrWriter::Reserve(size_t cchMore, uint32_t wMax)
{
    if (m_pStr != nullptr && wMax <= m_wMax && m_cch + cchMore <= m_cchCapacity) {
        return true;
    }
    size_t cchCapacity = m_cch + cchMore;
    if (m_pStr != nullptr && cchCapacity < 2 * m_cchCapacity) {
        cchCapacity = 2 * m_cchCapacity;
    }
    // A str that must grow is copied where it cannot be moved, which a str of huge pages
    // cannot; so the first takes the room expected, or just what it needs if that is refused.
    size_t cchFallback = cchCapacity;
    if (m_pStr == nullptr && cchCapacity < m_cchExpected) {
        cchCapacity = m_cchExpected;
    }
    py::gil_scoped_acquire acquire;
    if (m_pStr != nullptr && wMax <= m_wMax) {
        if (PyUnicode_Resize(&m_pStr, static_cast<Py_ssize_t>(cchCapacity)) != 0) {
            PyErr_Clear();
            m_fFailed = true;
            return false;
        }
    } else {
        uint32_t wMaxNew = wMax > m_wMax ? wMax : m_wMax;
        PyObject *pNew = PyUnicode_New(static_cast<Py_ssize_t>(cchCapacity), wMaxNew);
        if (pNew == nullptr && cchFallback < cchCapacity) {
            PyErr_Clear();
            cchCapacity = cchFallback;
            pNew = PyUnicode_New(static_cast<Py_ssize_t>(cchCapacity), wMaxNew);
        }
        if (pNew == nullptr) {
            PyErr_Clear();
            m_fFailed = true;
            return false;
        }
        if (m_pStr != nullptr &&
            PyUnicode_CopyCharacters(pNew, 0, m_pStr, 0, static_cast<Py_ssize_t>(m_cch)) < 0) {
            PyErr_Clear();
            Py_DECREF(pNew);
            m_fFailed = true;
            return false;
        }
        Py_XDECREF(m_pStr);
        m_pStr = pNew;
        m_wMax = wMaxNew;
    }
    m_cchCapacity = cchCapacity;
    AdviseHugePages(PyUnicode_DATA(m_pStr), m_cchCapacity * static_cast<size_t>(PyUnicode_KIND(m_pStr)));
    return true;
}

py::str StrWriter::Result()
{
    if (m_fFailed) {
        PyErr_NoMemory();
        throw py::error_already_set();
    }
    if (m_pStr == nullptr) {
        return py::str("");
    }
    if (m_cch != m_cchCapacity && PyUnicode_Resize(&m_pStr, static_cast<Py_ssize_t>(m_cch)) != 0) {
        throw py::error_already_set();
    }
    PyObject *p = m_pStr;
    m_pStr = nullptr;
    return py::reinterpret_steal<py::str>(p);
}
