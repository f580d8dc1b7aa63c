// The replay driver: feeds every file of the given folders (or the given files) to the
// target once, in name order, without libFuzzer, so corpora and crash files run anywhere.
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pbData, size_t cbData);

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    std::vector<fs::path> rgPath;
    for (int i = 1; i < argc; i++) {
        fs::path arg(argv[i]);
        if (fs::is_directory(arg)) {
            for (const fs::directory_entry &entry : fs::directory_iterator(arg)) {
                // Keep-files such as .gitkeep hold folders in the tree, not inputs.
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
                    rgPath.push_back(entry.path());
                }
            }
        } else if (fs::is_regular_file(arg)) {
            rgPath.push_back(arg);
        } else {
            fprintf(stderr, "no such file or folder: %s\n", argv[i]);
            return 2;
        }
    }
    std::sort(rgPath.begin(), rgPath.end());
    for (const fs::path &path : rgPath) {
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> rgb((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // The input in a block of its own size, as libFuzzer passes it, so an over-read is caught.
        uint8_t *pb = new uint8_t[rgb.size() ? rgb.size() : 1];
        std::copy(rgb.begin(), rgb.end(), pb);
        LLVMFuzzerTestOneInput(pb, rgb.size());
        delete[] pb;
    }
    printf("replayed %zu inputs\n", rgPath.size());
    return 0;
}
