// A Python str made from UTF-8 text as a writer hands it over in pieces. A long text is
// converted on a second thread while the rest is still being written, straight into the str.
#ifndef CELLSIFT_PYTHON_STRWRITER_H
#define CELLSIFT_PYTHON_STRWRITER_H

#include <pybind11/pybind11.h>

#include <stddef.h>
#include <stdint.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class StrWriter {
public:
    // The text is converted piece by piece; once cbThreadFrom bytes have come, on a thread
    // of its own. cchExpected is room the str takes at once, so that it need not grow (room
    // never written costs no memory). Made and destroyed with the GIL held.
    StrWriter(size_t cbThreadFrom, size_t cchExpected);
    ~StrWriter();
    StrWriter(const StrWriter &) = delete;
    StrWriter &operator=(const StrWriter &) = delete;

    // The writer's sink (a PieceSink), called without the GIL.
    static void Piece(void *pContext, std::string *ps);
    // Without the GIL, after the last piece: the conversion is completed.
    void Finish();
    // With the GIL, after Finish: the str, or MemoryError.
    pybind11::str Result();

private:
    void HandOff(std::string *ps, bool fLast);
    void Work();
    void Convert(const std::string &piece);
    bool Reserve(size_t cchMore, uint32_t wMax);
    void CopyDecoded(PyObject *pDecoded);

    const size_t m_cbThreadFrom;
    const size_t m_cchExpected;

    std::mutex m_mutex; // guards what follows, up to the worker
    size_t m_cbHanded = 0;
    std::condition_variable m_cvQueue;
    std::deque<std::string> m_queue;
    std::vector<std::string> m_rgSpare; // converted pieces, their memory used again
    bool m_fLast = false;
    std::thread m_worker;

    // The str being filled: touched by one thread at a time, the worker while it runs.
    PyObject *m_pStr = nullptr;
    size_t m_cch = 0;
    size_t m_cchCapacity = 0;
    uint32_t m_wMax = 0;
    bool m_fFailed = false;
};

#endif
