#include "phone/ModemStream.h"
#include "phone/TapiError.h"
#include "phone/VoiceFormat.h"
#include "platform/UucpLock.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using Event = ModemStream::Event;

TEST(ModemStream, SplitsLinesCodesAndKeysWhereverTheyArrive)
{
    struct Case {
        const char* name;
        QByteArray input;
        QList<Event> events;
    };
    const QByteArray dle(1, 0x10);
    const QList<Case> cases{
        {"framed results, empty lines skipped", "\r\nOK\r\n\r\n5601\r\n", {{Event::Line, "OK"}, {Event::Line, "5601"}}},
        {"a DLE pair inside a line", "BU" + dle + "bSY\r", {{Event::Code, {}, 'b'}, {Event::Line, "BUSY"}}},
        {"bracketed key repeats are one press",
         dle + "/" + dle + "5" + dle + "5" + dle + "~" + dle + "/" + dle + "5" + dle + "\x7f",
         {{Event::Key, {}, '5'}, {Event::Key, {}, '5'}}},
        {"unbracketed keys all count",
         dle + "1" + dle + "1" + dle + "#",
         {{Event::Key, {}, '1'}, {Event::Key, {}, '1'}, {Event::Key, {}, '#'}}},
        {"an unknown code passes as a code", dle + "Q", {{Event::Code, {}, 'Q'}}},
        {"garbage without line end is dropped",
         QByteArray(ModemStream::kMaxLine + 10, 'x') + "\rOK\r",
         {{Event::Line, "OK"}}},
    };
    for (const Case& c : cases) {
        ModemStream stream;
        QList<Event> events;
        // Byte by byte: a DLE split from its code must still pair.
        for (char b : c.input)
            events += stream.feed(QByteArray(1, b));
        EXPECT_EQ(events, c.events) << c.name;
    }
}

TEST(VoiceFormat, PicksTheBestFormatAt8000Hz)
{
    struct Case {
        const char* modem;
        QList<QByteArray> lines;
        std::optional<int> id;
        VoiceFormat::Coding coding;
        int lineBytesPerSecond = 0;
    };
    const QList<Case> cases{
        {"USR on a UART at 115200: one byte a sample",
         {"133,\"LINEAR\",16,0,(8000),(0),(0)", "131,\"ULAW\",8,0,(8000),(0),(0)"},
         131,
         VoiceFormat::ULaw,
         11520},
        {"16 bits only on a UART: all the modem has",
         {"133,\"LINEAR\",16,0,(8000),(0),(0)"},
         133,
         VoiceFormat::Linear16,
         11520},
        {"USR: 16-bit linear first",
         {"1,\"UNSIGNED PCM\",8,0,(7200,8000),(0),(0)", "+VSM: 131,\"ULAW\",8,0,(8000),(0),(0)",
          "133,\"LINEAR\",16,0,(8000),(0),(0)"},
         133,
         VoiceFormat::Linear16},
        {"Conexant: unsigned PCM over ADPCM",
         {"1,\"UNSIGNED PCM\",8,0,8000,0,0", "129,\"IMA ADPCM\",4,0,8000,0,0"},
         1,
         VoiceFormat::Unsigned8},
        {"ELSA: u-law over A-law",
         {"129,\"IMA ADPCM\",4,0,(8000),(0),(0)", "132,\"ALAW\",8,0,(8000),(0),(0)", "131,\"ULAW\",8,0,(8000),(0),(0)"},
         131,
         VoiceFormat::ULaw},
        {"16 bits only at 11025 Hz is no choice",
         {"129,\"16-BIT LINEAR\",16,0,(11025),(0),(0)", "130,\"G.711A\",8,0,(8000),(0),(0)"},
         130,
         VoiceFormat::ALaw},
        {"a range of rates", {"129,\"16-BIT LINEAR\",16,0,(7200-11025),(0),(0)"}, 129, VoiceFormat::Linear16},
        {"signed 8-bit and ADPCM only",
         {"0,\"SIGNED PCM\",8,0,(8000),(0),(0)", "140,\"2 Bit ADPCM\",2,0,8000,0,0"},
         std::nullopt,
         {}},
        {"garbage", {"ERROR", "\"\",,"}, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        const auto best = VoiceFormat::best(c.lines, c.lineBytesPerSecond);
        ASSERT_EQ(best.has_value(), c.id.has_value()) << c.modem;
        if (best) {
            EXPECT_EQ(best->id, *c.id) << c.modem;
            EXPECT_EQ(best->coding, c.coding) << c.modem;
        }
    }
}

TEST(VoiceFormat, EncodesSamplesAsTheModemTakesThem)
{
    const qint16 samples[] = {0, -1, 0x1010, -32768, 32767};
    const VoiceFormat linear{0, VoiceFormat::Linear16};
    const VoiceFormat unsigned8{0, VoiceFormat::Unsigned8};
    EXPECT_EQ(linear.encode(samples, 3), QByteArray("\x00\x00\xff\xff\x10\x10", 6));
    EXPECT_EQ(unsigned8.encode(samples, 5), QByteArray("\x80\x7f\x90\x00\xff", 5));
    // G.711 silence and full scale.
    EXPECT_EQ(VoiceData::uLaw(0), 0xFF);
    EXPECT_EQ(VoiceData::uLaw(32767), 0x80);
    EXPECT_EQ(VoiceData::uLaw(-32768), 0x00);
    EXPECT_EQ(VoiceData::aLaw(0), 0xD5);
    EXPECT_EQ(VoiceData::aLaw(32767), 0xAA);
    EXPECT_EQ(VoiceData::aLaw(-32768), 0x2A);
}

TEST(VoiceData, ShieldingSurvivesAnySplit)
{
    const QByteArray data("\x10\x01\x10\x10\x02\x10", 6);
    const QByteArray shielded = VoiceData::shield(data);
    EXPECT_EQ(shielded, QByteArray("\x10\x10\x01\x10\x10\x10\x10\x02\x10\x10", 10));
    for (int split = 0; split <= shielded.size(); ++split) {
        bool pending = false;
        QByteArray codes;
        QByteArray back = VoiceData::unshield(shielded.left(split), &pending, &codes);
        back += VoiceData::unshield(shielded.mid(split) + "\x10\x03", &pending, &codes);
        EXPECT_EQ(back, data) << "split at " << split;
        EXPECT_EQ(codes, QByteArray("\x03")) << "split at " << split;
    }
}

TEST(DialString, KeepsWhatAModemCanDialAndRefusesTheRest)
{
    struct Case {
        QString number;
        QByteArray dialled; // empty: refused
    };
    const QList<Case> cases{
        {"5551234", "5551234"},
        {"(010) 555-12 34", "0105551234"},
        {"9w,5551234#", "9W,5551234#"},
        {"555;ATZ", ""},
        {"555\r", ""},
        {"一二三", ""},
        {"", ""},
        {"--", ""},
        {"+861012345", ""},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_EQ(DialString::clean(c.number, &error), c.dialled) << c.number.toStdString();
        EXPECT_EQ(error.isEmpty(), !c.dialled.isEmpty()) << c.number.toStdString();
    }
    EXPECT_EQ(DialString::toneList(QStringLiteral("4 2x#")), QByteArray("4,2,#"));
}

TEST(TapiErrors, CodesCarryTheirClassNames)
{
    EXPECT_EQ(TapiErrors::codeOf(TapiErrors::kOperationFailed), -13872);
    const TapiError busy = TapiErrors::make(TapiErrors::kBusy);
    EXPECT_EQ(busy.className(), QStringLiteral("ETapiBusy"));
    EXPECT_EQ(TapiErrors::make(TapiErrors::kCallUnavail).className(), QStringLiteral("ETapiCallUnavail"));
    EXPECT_EQ(TapiErrors::make(TapiErrors::kWaveFileMissing, QStringLiteral("x")).text(), QStringLiteral("x"));
}

TEST(UucpLock, TakesFreeAndStaleLocksAndRefusesLiveOnes)
{
    QTemporaryDir dir;
    const QString device = QStringLiteral("/dev/ttyACM0");
    EXPECT_EQ(UucpLock::fileName(device), QStringLiteral("LCK..ttyACM0"));
    EXPECT_EQ(UucpLock::fileName(QStringLiteral("/dev/pts/7")), QStringLiteral("LCK..pts_7"));
    const QString lockPath = dir.filePath(QStringLiteral("LCK..ttyACM0"));
    auto writeLock = [&](const QByteArray& content) {
        QFile file(lockPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    };
    QString error;
    {
        UucpLock lock(device, dir.path());
        ASSERT_TRUE(lock.acquire(&error)) << error.toStdString();
        QFile file(lockPath);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray::number(qint64(getpid())).rightJustified(10, ' ') + '\n');
        UucpLock second(device, dir.path());
        EXPECT_FALSE(second.acquire(&error)) << "a second user of the port in this process";
    }
    EXPECT_FALSE(QFile::exists(lockPath)) << "released at the end";

    writeLock("    999999\n"); // no such process
    UucpLock stale(device, dir.path());
    EXPECT_TRUE(stale.acquire(&error)) << error.toStdString();
    stale.release();

    writeLock("         1\n"); // init lives
    UucpLock live(device, dir.path());
    EXPECT_FALSE(live.acquire(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("process 1"))) << error.toStdString();
}
