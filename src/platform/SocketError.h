#pragma once

#include "platform/AppError.h"

// A socket operation that failed. The text is the system's own description of `code` (or one of
// the monitor's fixed texts, with code 0), as the operator is shown it.
class SocketError : public AppError {
public:
    SocketError(int code, const QString& text)
        : AppError(text)
        , m_code(code)
    {}
    int code() const { return m_code; }

    // The error of the operating system with its own text.
    static SocketError fromSystem(int code);

private:
    int m_code;
};
