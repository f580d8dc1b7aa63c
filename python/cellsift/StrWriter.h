// A Python str made from UTF-8 text as a writer hands it over in pieces: each piece is
// converted into the str as it comes, on the writer's thread, while it is in the cache.
#ifndef CELLSIFT_PYTHON_STRWRITER_H
#define CELLSIFT_PYTHON_STRWRITER_H

#include <pybind11/pybind11.h>

#include <stddef.h>
#include <stdint.h>

#include <string>

class StrWriter {
public:
    // cchExpected is room the str takes at once, so that it need not grow (room never
    // written costs no memory). Made and destroyed with the GIL held.
    explicit StrWriter(size_t cchExpected) : m_cchExpected(cchExpected) {}
    ~StrWriter() { Py_XDECREF(m_pStr); }
    StrWriter(const StrWriter &) = delete;
    StrWriter &operator=(const StrWriter &) = delete;

    // The writer's sink (a PieceSink), called without the GIL: converts the piece and leaves
    // its memory, emptied, for the next.
    static void Piece(void *pContext, std::string *ps);
    // With the GIL, after the last piece: the str, or MemoryError.
    pybind11::str Result();

private:
    void Convert(const std::string &piece);
    bool Reserve(size_t cchMore, uint32_t wMax);
    void CopyDecoded(PyObject *pDecoded);

    const size_t m_cchExpected;
    PyObject *m_pStr = nullptr;
    size_t m_cch = 0;
    size_t m_cchCapacity = 0;
    uint32_t m_wMax = 0;
    bool m_fFailed = false;
};

#endif
