// Test support: the watch that opens the other end of a FIFO when the code under test blocks
// in opening its own end.
#include "support/Fifo.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

bool ReturnsUnaided(const std::string &fifo, bool fWriterWanted, const std::function<void()> &fn)
{
    std::atomic<bool> fDone(false);
    bool fHelped = false;
    std::thread watch([&] {
        const auto tGrace = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        int fd = -1;
        while (!fDone) {
            if (fd < 0 && std::chrono::steady_clock::now() >= tGrace) {
                // Non-blocking, so the watch itself never waits: a writer's open fails until
                // a reader is there, a reader's always succeeds.
                fd = open(fifo.c_str(), (fWriterWanted ? O_WRONLY : O_RDONLY) | O_NONBLOCK);
                fHelped = fd >= 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (fd >= 0) {
            close(fd);
        }
    });
    fn();
    fDone = true;
    watch.join();
    return !fHelped;
}
#endif
