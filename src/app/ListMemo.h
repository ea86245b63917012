#pragma once

#include <QString>

#include <functional>

class QPlainTextEdit;

// One of the three lists edited in place (addresses, alarm receivers, telephone numbers): read-only
// until the operator unlocks it, written back to its GBK file when it is left after a change.
class ListMemo {
public:
    struct Texts {
        QString listName; // as the operator knows it, e.g. "IP地址表"
        QString unlocked; // line written when the list becomes editable
        QString saved;    // line written whenever the list is left
    };

    ListMemo(QPlainTextEdit* memo, QString path, Texts texts, std::function<void(const QString&)> addInfo);

    // Replaces the lines by the file's, keeping its final line break for the next save. A missing,
    // unreadable or non-GBK file leaves a line in the information pane saying so; a missing or
    // unreadable one (a FIFO, a device, one over 64 MiB among them) leaves the list empty.
    void load();

    // Double click or "设置为可修改": the list becomes editable.
    void unlock();

    // Leaving the list or "保存": read-only again; the file is written when the operator has changed the
    // text (the modified mark stays set, so later exits write again). Raises AppError when the file
    // cannot be written; the list keeps its lines and stays read-only.
    void lockAndSave();

    QPlainTextEdit* memo() const { return m_memo; }
    const QString& path() const { return m_path; }

private:
    void lock();

    QPlainTextEdit* m_memo;
    QString m_path;
    Texts m_texts;
    std::function<void(const QString&)> m_addInfo;
};
