#include "platform/SocketError.h"

#include <QtGlobal>

SocketError SocketError::fromSystem(int code)
{
    return SocketError(code, qt_error_string(code));
}
