// map-file: the floor that pays what the tool pays to get at the bytes of a file: the file
// mapped (MAP_POPULATE: its pages taken from the page cache at once) and every byte summed.
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: map-file FILE\n");
        return 2;
    }
    int fd = open(argv[1], O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size == 0) {
        return 1;
    }
    size_t cb = static_cast<size_t>(st.st_size);
    void *pv = mmap(nullptr, cb, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (pv == MAP_FAILED) {
        return 1;
    }
    // Every byte, as the reader touches every byte of the stream.
    const uint8_t *pb = static_cast<const uint8_t *>(pv);
    uint64_t qwSum = 0;
    for (size_t i = 0; i < cb; i++) {
        qwSum += pb[i];
    }
    printf("%zu %llu\n", cb, static_cast<unsigned long long>(qwSum));
    munmap(pv, cb);
    close(fd);
    return 0;
}
