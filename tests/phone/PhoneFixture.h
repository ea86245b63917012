#pragma once

#include "EventWait.h"
#include "SimulatedModem.h"
#include "phone/CallStates.h"
#include "phone/LineDevice.h"
#include "phone/VoiceModem.h"
#include "sound/WaveFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

// A line device over the voice modem driver over a simulated modem, with every event recorded.
// Waits are shortened: the retry ticker's second is 10 ms.
class PhoneFixture : public ::testing::Test {
protected:
    struct Status {
        int message, param1, param2;
    };

    void SetUp() override { build(); }

    void build()
    {
        tel.reset();
        modem = std::make_unique<VoiceModem>(QStringList{port.isEmpty() ? sim.path() : port});
        modem->setScanSystemPorts(false);
        modem->setLockFolder(dir.path());
        modem->setTiming({2000, 500, 20000});
        tel = std::make_unique<LineDevice>(modem.get());
        tel->setTiming({10, 5000});
        tel->OnTapiStatus = [this](bool, bool, int, int message, int p1, int p2, int) {
            statuses.append({message, p1, p2});
        };
        tel->OnTapiConnect = [this] { ++connects; };
        tel->OnTapiFail = [this] { ++fails; };
        tel->OnTapiDTMF = [this](QChar digit, int) { keys.append(digit); };
        tel->OnTapiWaveNotify = [this](LineDevice::WaveMessage msg) { waves.append(msg); };
        tel->OnError = [this](const QString& text) { errors.append(text); };
    }

    // Selects the simulated modem's line, switches voice on and dials until the call is connected.
    void connectCall()
    {
        tel->refreshDevices();
        ASSERT_EQ(tel->DeviceNames().size(), 1);
        tel->setSelectedDevice(tel->DeviceNames().first());
        tel->setEnableVoice(true);
        tel->PlaceCall(QStringLiteral("5551234"));
        ASSERT_TRUE(waitFor([this] { return connects == 1; })) << "the call was not connected";
    }

    // A mono 8000 Hz 16-bit WAV file of a sine, written once.
    QString waveFile(const QString& name, double seconds, int rate = 8000)
    {
        PcmSound sound{rate, 1, {}};
        sound.samples.resize(size_t(seconds * rate));
        for (size_t i = 0; i < sound.samples.size(); ++i)
            sound.samples[i] = qint16(8000 * std::sin(2 * M_PI * 440 * double(i) / rate) + (i % 7) * 300);
        const QString path = dir.filePath(name);
        writeWaveFile(path, sound, 16);
        return path;
    }

    int count(LineDevice::WaveMessage msg) const { return int(waves.count(msg)); }

    QTemporaryDir dir;
    SimulatedModem sim;
    QString port; // the modem's port as the driver is told it; empty: the terminal itself
    std::unique_ptr<VoiceModem> modem;
    std::unique_ptr<LineDevice> tel;
    QList<Status> statuses;
    int connects = 0;
    int fails = 0;
    QList<QChar> keys;
    QList<LineDevice::WaveMessage> waves;
    QStringList errors;
};
