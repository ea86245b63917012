#include "phone/TapiError.h"

#include <array>

namespace {
struct Entry {
    int code;
    const char* className;
    const char* text;
};

constexpr std::array kEntries{
    Entry{TapiErrors::kBusy, "ETapiBusy", "A call is already in progress"},
    Entry{TapiErrors::kNotSet, "ETapiNotSet", "The serial port is not in telephony mode"},
    Entry{TapiErrors::kNoSelect, "ETapiNoSelect", "No telephone line has been chosen"},
    Entry{-13931, "ETapiLoadFail", "The telephony service cannot be loaded"},
    Entry{-13932, "ETapiGetAddrFail", "A function of the telephony service is missing"},
    Entry{TapiErrors::kUnexpected, "ETapiUnexpected", "Unexpected telephony error"},
    Entry{TapiErrors::kVoiceNotSupported, "ETapiVoiceNotSupported", "The line does not support voice"},
    Entry{TapiErrors::kWaveFail, "ETapiWaveFail", "The sound cannot be played into the call"},
    Entry{TapiErrors::kWaveReadFail, "ETapiWaveFail", "The sound file cannot be read"},
    Entry{TapiErrors::kWaveRecording, "ETapiWaveFail", "The line is recording"},
    Entry{TapiErrors::kWaveFileMissing, "ETapiWaveFail", "The sound file does not exist"},
    Entry{TapiErrors::kPortNotAssigned, "EPortNotAssigned", "No serial port is assigned to the line device"},
    Entry{TapiErrors::codeOf(TapiErrors::kAllocated), "ETapiAllocated", "The line is in use by another program"},
    Entry{TapiErrors::codeOf(TapiErrors::kBadDeviceId), "ETapiBadDeviceId", "The line cannot be opened"},
    Entry{TapiErrors::kCallUnavail, "ETapiCallUnavail", "No call can be placed on the line"},
    Entry{TapiErrors::codeOf(TapiErrors::kInvalAddress), "ETapiInvalAddress", "The telephone number is not valid"},
    Entry{TapiErrors::codeOf(TapiErrors::kInvalCallHandle), "ETapiInvalCallHandle", "There is no call"},
    Entry{TapiErrors::codeOf(TapiErrors::kOperationFailed), "ETapiOperationFailed", "The operation failed"},
};

const Entry* find(int code)
{
    for (const Entry& entry : kEntries)
        if (entry.code == code)
            return &entry;
    return nullptr;
}
} // namespace

QString TapiErrors::describe(int code)
{
    const Entry* entry = find(code);
    return entry ? QString::fromLatin1(entry->text) : QStringLiteral("Telephony error %1").arg(code);
}

TapiError TapiErrors::make(int code, const QString& detail)
{
    const Entry* entry = find(code);
    const QString className = entry ? QString::fromLatin1(entry->className) : QStringLiteral("ETapiUnexpected");
    return TapiError(className, code, detail.isEmpty() ? describe(code) : detail);
}
