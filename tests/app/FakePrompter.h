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
    QString openFile(const QString& folder, const QString& filter) override
    {
        dialogs.append(folder + u'|' + filter);
        return nextFile;
    }

    QStringList messages;
    QStringList dialogs; // the folder and filter of every file dialog
    bool nextAnswer = false;
    QString nextFile;
};
