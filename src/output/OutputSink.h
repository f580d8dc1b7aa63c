// Where a written form goes as it is made: the sink that takes it in pieces, and the meter of
// what was written so far that the written-bytes budget reads.
#ifndef CELLSIFT_OUTPUT_OUTPUTSINK_H
#define CELLSIFT_OUTPUT_OUTPUTSINK_H

#include <stddef.h>

#include <string>

// Receives a written form in order: *ps holds the next piece, which ends where an item of the
// form ends, never inside a character. The sink may take the string and leave another in its
// place, whose memory the writer then uses. An empty piece asks that what came before reach
// its destination now.
typedef void (*PieceSink)(void *pContext, std::string *ps);

// What a printer has written so far, in bytes.
class WrittenMeter {
public:
    virtual ~WrittenMeter() = default;
    virtual size_t Written() const = 0;
};

#endif
