// read-file: the benchmark's floor. Reads the whole file into memory and touches nothing
// else, so the tools are compared with the cost of merely getting the bytes.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: read-file FILE\n");
        return 2;
    }
    int fd = open(argv[1], O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        return 1;
    }
    char *pb = static_cast<char *>(malloc(static_cast<size_t>(st.st_size) + 1));
    size_t cbDone = 0;
    while (cbDone < static_cast<size_t>(st.st_size)) {
        ssize_t cb = read(fd, pb + cbDone, static_cast<size_t>(st.st_size) - cbDone);
        if (cb <= 0) {
            return 1;
        }
        cbDone += static_cast<size_t>(cb);
    }
    // A sum over the bytes, so the read cannot be left out.
    unsigned nSum = 0;
    for (size_t i = 0; i < cbDone; i += 4096) {
        nSum += static_cast<unsigned char>(pb[i]);
    }
    printf("%zu %u\n", cbDone, nSum);
    free(pb);
    close(fd);
    return 0;
}
