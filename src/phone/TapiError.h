#pragma once

#include "platform/AppError.h"

#include <QString>

// The line device's errors: one class name and one negative code per cause, with a short English text.
class TapiError : public AppError {
public:
    TapiError(const QString& className, int code, const QString& text)
        : AppError(text)
        , m_className(className)
        , m_code(code)
    {}
    const QString& className() const { return m_className; }
    int code() const { return m_code; }

private:
    QString m_className;
    int m_code;
};

namespace TapiErrors {
constexpr int kBusy = -13928;
constexpr int kNotSet = -13929;
constexpr int kNoSelect = -13930;
constexpr int kUnexpected = -13934;
constexpr int kVoiceNotSupported = -13935;
constexpr int kWaveFail = -13936;
constexpr int kWaveReadFail = -13940;
constexpr int kWaveRecording = -13943;
constexpr int kWaveFileMissing = -2;
constexpr int kCallUnavail = -13805;
constexpr int kPortNotAssigned = -1005;

// The telephony result codes the voice lines report, as unsigned results.
constexpr quint32 kAllocated = 0x80000001;       // the port is held by another program
constexpr quint32 kBadDeviceId = 0x80000002;     // the port cannot be opened
constexpr quint32 kInvalAddress = 0x80000010;    // the number holds characters a dial string cannot
constexpr quint32 kInvalCallHandle = 0x80000018; // no call to act on
constexpr quint32 kOperationFailed = 0x80000048; // the modem failed, answered nonsense or stopped answering

// The negative code of a telephony result: -(13800 + (result and 0x7FFFFFFF)).
constexpr int codeOf(quint32 result)
{
    return -(13800 + int(result & 0x7FFFFFFF));
}

// The error of a negative code, with its class name and description; `detail`, when given, replaces
// the description (the modem's own reason, for instance).
TapiError make(int code, const QString& detail = {});

// The short English description of a negative code.
QString describe(int code);
} // namespace TapiErrors
