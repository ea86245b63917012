// The telephone line over SIP on loopback, against a second baresip that answers at once: the time
// from PlaceCall to OnTapiConnect, and from a key pressed at the called party (its sndcode command) to
// OnTapiDTMF. Median, spread (smallest to largest) over the calls and keys.
#include "SipParty.h"
#include "phone/LineDevice.h"
#include "phone/TelephoneLines.h"
#include "phone/VoiceModem.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace SipParty;

namespace {
void report(const char* what, std::vector<double> ms)
{
    if (ms.empty()) {
        std::printf("%-34s no samples\n", what);
        return;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s n=%zu median %.1f ms, min %.1f, max %.1f (goal < 150 ms)\n", what, ms.size(), ms[ms.size() / 2],
                ms.front(), ms.back());
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable("baresip").isEmpty()) {
        std::puts("baresip is not installed (package baresip-core)");
        return 0;
    }
    constexpr int kCalls = 10;
    constexpr int kKeysPerCall = 3;
    QTemporaryDir dir;
    VoiceModem modem;
    modem.setScanSystemPorts(false);
    const SipLine::Account account{QStringLiteral("sip:alarm@127.0.0.1"), {}, {}};
    TelephoneLines lines(modem, [&] { return account; });
    const quint16 base = basePort();
    lines.sip().setRuntimeFolder(dir.path());
    lines.sip().setNetwork({QStringLiteral("127.0.0.1"), base, quint16(base + 4), quint16(base + 9)});
    LineDevice tel(&lines);
    tel.setTiming({10, 5000});
    tel.MaxAttempts = 1;
    QElapsedTimer clock;
    qint64 connectedAt = -1, keyAt = -1;
    tel.OnTapiConnect = [&] { connectedAt = clock.nsecsElapsed(); };
    tel.OnTapiDTMF = [&](QChar, int) { keyAt = clock.nsecsElapsed(); };
    tel.OnTapiFail = [] {};
    tel.refreshDevices();
    tel.setSelectedDevice(SipLine::lineName(account.account));
    tel.setEnableVoice(true);

    CalledParty party(dir.filePath("party"), CalledParty::Auto);
    if (!party.ready()) {
        std::puts("the called party's baresip did not start");
        return 0;
    }
    // The first call starts baresip; it is not counted.
    std::vector<double> connect, keys;
    for (int call = 0; call <= kCalls; ++call) {
        connectedAt = -1;
        clock.start();
        tel.PlaceCall(party.uri());
        if (!waitFor([&] { return connectedAt >= 0; }, 5000)) {
            std::puts("a call was not connected");
            break;
        }
        if (call > 0)
            connect.push_back(connectedAt / 1e6);
        waitFor([] { return false; }, 300);
        for (int k = 0; k < kKeysPerCall && call > 0; ++k) {
            keyAt = -1;
            clock.start();
            party.control.command(QStringLiteral("sndcode"), QStringLiteral("1"), 2000, nullptr);
            if (waitFor([&] { return keyAt >= 0; }, 3000))
                keys.push_back(keyAt / 1e6);
            waitFor([] { return false; }, 300);
        }
        tel.HangUp();
        waitFor([] { return false; }, 200);
    }
    report("PlaceCall to OnTapiConnect", connect);
    report("key at the called party to OnTapiDTMF", keys);
    lines.stop();
    return 0;
}
