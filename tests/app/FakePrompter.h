#pragma once

#include "app/Prompter.h"

#include <QStringList>

// Records every message box; answers questions and file dialogs as told.
class FakePrompter : public Prompter {
public:
    void message(const QString& caption, const QString& text, Icon) override { messages.append(caption + u'|' + text); }
    bool question(const QString& caption, const QString& text) override
    {
        messages.append(caption + u'|' + text);
        return nextAnswer;
    }
    QString openFile(const QString&, const QString&) override { return nextFile; }

    QStringList messages;
    bool nextAnswer = false;
    QString nextFile;
};
