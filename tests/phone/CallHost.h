#pragma once

#include "phone/AlarmCallSequence.h"

#include <QString>
#include <QStringList>

// What the alarm call sequence reads from the window and writes to it, held by a test: the pane's
// lines, the telephone list, the alarm sound list and its index, the key fields.
struct CallHost {
    AlarmCallSequence::Host host()
    {
        AlarmCallSequence::Host host;
        host.addInfo = [this](const QString& line) { pane.append(line); };
        host.phoneLines = [this] { return numbers; };
        host.soundList = [this]() -> const QStringList& { return sounds; };
        host.soundIndex = [this] { return soundIndex; };
        host.setSoundIndex = [this](int index) { soundIndex = index; };
        host.testRecording = [this] { return testRecording; };
        host.maxTimeMinutes = [this] { return maxTime; };
        host.keyField = [this](AlarmCallSequence::Key key) { return keyFields[key]; };
        host.togglePause = [this] { ++pauses; };
        return host;
    }
    bool logged(const QString& line) const { return pane.contains(line); }

    QStringList pane;
    QStringList numbers{"5550001", "5550002"};
    QStringList sounds;
    int soundIndex = 0;
    QString testRecording;
    int maxTime = 2;
    QStringList keyFields{"0", "1", "2", "3"};
    int pauses = 0;
};
