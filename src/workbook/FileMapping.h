// A regular file mapped read-only into memory, its pages made present in one call, and what
// tells whether another program cut or rewrote the file since: the bytes are read in place.
#ifndef CELLSIFT_WORKBOOK_FILEMAPPING_H
#define CELLSIFT_WORKBOOK_FILEMAPPING_H

#include <stddef.h>
#include <stdint.h>
#include <sys/stat.h>

#include <memory>

// Whether the file open on fd still holds what it held when st was taken: its size and its
// modification time are the same. Not seen: a write that keeps the size within the clock tick
// of the previous one, or sets the time back. The change time is not asked: renaming another
// file over this one's path, or changing its mode, moves it with the content untouched.
bool FFileUnchanged(int fd, const struct stat &st);

class FileMapping {
public:
    // Maps the st.st_size bytes of the file open on fd; null when the system cannot map it,
    // or the mapping could not be guarded (the caller then reads the file instead). Pages are
    // made present only for files of at most cbPopulateMax bytes, so a sparse file of many
    // gigabytes costs nothing until read.
    static std::shared_ptr<FileMapping> Map(int fd, const struct stat &st, uint64_t cbPopulateMax);
    ~FileMapping();
    FileMapping(const FileMapping &) = delete;
    FileMapping &operator=(const FileMapping &) = delete;

    const uint8_t *Data() const { return m_pb; }
    size_t Size() const { return m_cb; }
    // Whether another process cut the file short while it was mapped. Reading a page past the
    // file's new end would end the process with SIGBUS; the guard puts zeros there instead, so
    // what was read since is not the file's, and the read is to fail.
    bool FCut() const;
    // Whether the file was written since it was mapped: a private mapping still shows the
    // file's pages as they are now, so what is read may mix the old file and the new one.
    bool FChanged() const { return !FFileUnchanged(m_fd, m_st); }
    // Makes sure the guard is still the SIGBUS handler before the mapping is read again: a
    // handler installed since (a fault reporter, a profiler) is put behind it, and gets
    // every SIGBUS that is not a cut mapping's. False when that cannot be done.
    static bool FGuard();

private:
    FileMapping(const uint8_t *pb, size_t cb, size_t iSlot, int fd, const struct stat &st)
            : m_pb(pb), m_cb(cb), m_iSlot(iSlot), m_fd(fd), m_st(st)
    {}
    const uint8_t *m_pb;
    size_t m_cb;
    size_t m_iSlot;   // where the guard notes the mapping
    int m_fd;         // the file itself, whatever its path names now
    struct stat m_st; // the file as it was when mapped
};

#endif
