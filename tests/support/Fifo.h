// Test support: FIFOs named like the files the plug-in opens, and a watch that frees a call
// stuck opening one, so that a blocking open fails its test instead of hanging it.
#ifndef CELLSIFT_TESTS_SUPPORT_FIFO_H
#define CELLSIFT_TESTS_SUPPORT_FIFO_H

#ifndef _WIN32
#include <functional>
#include <string>

// Runs fn. When it has not returned after two seconds, the other end of the FIFO is opened and
// held until it does, which releases an open() waiting for that end. True when fn returned
// on its own. fWriterWanted: the code under test opens the FIFO for reading.
bool ReturnsUnaided(const std::string &fifo, bool fWriterWanted, const std::function<void()> &fn);
#endif

#endif
