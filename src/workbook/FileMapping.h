// A regular file mapped read-only into memory, its pages made present in one call: the file's
// bytes are read where the page cache holds them, with no copy and no fresh memory to fill.
#ifndef CELLSIFT_WORKBOOK_FILEMAPPING_H
#define CELLSIFT_WORKBOOK_FILEMAPPING_H

#include <stddef.h>
#include <stdint.h>

#include <memory>

class FileMapping {
public:
    // Maps cb bytes of the file open on fd; null when the system cannot map it, or the
    // mapping could not be guarded (the caller then reads the file instead). Pages are made
    // present only for files of at most cbPopulateMax bytes, so a sparse file of many
    // gigabytes costs nothing until read.
    static std::shared_ptr<FileMapping> Map(int fd, uint64_t cb, uint64_t cbPopulateMax);
    ~FileMapping();
    FileMapping(const FileMapping &) = delete;
    FileMapping &operator=(const FileMapping &) = delete;

    const uint8_t *Data() const { return m_pb; }
    size_t Size() const { return m_cb; }
    // Whether another process cut the file short while it was mapped. Reading a page past the
    // file's new end would end the process with SIGBUS; the guard puts zeros there instead, so
    // what was read since is not the file's, and the read is to fail.
    bool FCut() const;

private:
    FileMapping(const uint8_t *pb, size_t cb, size_t iSlot) : m_pb(pb), m_cb(cb), m_iSlot(iSlot) {}
    const uint8_t *m_pb;
    size_t m_cb;
    size_t m_iSlot; // where the guard notes the mapping
};

#endif
