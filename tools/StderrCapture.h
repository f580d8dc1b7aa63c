// What the plug-in writes to standard error during a call, caught in a temporary file so
// that the tool decides what the user sees and names the file it belongs to.
#ifndef CELLSIFT_TOOLS_STDERRCAPTURE_H
#define CELLSIFT_TOOLS_STDERRCAPTURE_H

#include <string>

// Redirects descriptor 2 from Begin to End. One temporary file serves every capture of the
// process, emptied before each, so captures must not overlap.
class StderrCapture {
public:
    StderrCapture() = default;
    ~StderrCapture() { End(); }
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    // False when no capture could be set up; what is written then goes straight through.
    bool Begin();
    // Puts descriptor 2 back and returns what was written since Begin.
    std::string End();

private:
    int m_fdSaved = -1;
};

#endif
