#pragma once

#include <QByteArray>

#include <cstdio>

// Standard error taken aside while a library that writes there by itself is at work: the X library
// writes an X server's refusal there, Qt its lines about a platform it could not open. The monitor
// then says in one line of its own what happened, or passes the text on.
class StderrCapture {
public:
    StderrCapture(); // from now on what is written to standard error is kept aside
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Gives standard error back and returns what was written meanwhile. Empty where standard error
    // could not be taken aside (then nothing was).
    QByteArray release();

private:
    std::FILE* m_file = nullptr;
    int m_saved = -1;
};
