#pragma once

#include <QString>

class QWidget;

// Message boxes and the file-open dialog, behind one seam: the window shows real dialogs, the headless
// monitor writes "[caption] text" to standard error and takes the default answer, and tests record.
class Prompter {
public:
    enum class Icon { Information, Error };

    virtual ~Prompter() = default;
    virtual void message(const QString& caption, const QString& text, Icon icon) = 0;
    // A Yes/No question; the default answer is No.
    virtual bool question(const QString& caption, const QString& text) = 0;
    // The chosen file's full path, or empty when the dialog was cancelled.
    virtual QString openFile(const QString& folder, const QString& filter) = 0;
};

class WidgetPrompter : public Prompter {
public:
    explicit WidgetPrompter(QWidget* parent = nullptr)
        : m_parent(parent)
    {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void message(const QString& caption, const QString& text, Icon icon) override;
    bool question(const QString& caption, const QString& text) override;
    QString openFile(const QString& folder, const QString& filter) override;

private:
    QWidget* m_parent;
};

class StreamPrompter : public Prompter {
public:
    void message(const QString& caption, const QString& text, Icon icon) override;
    bool question(const QString& caption, const QString& text) override;
    QString openFile(const QString& folder, const QString& filter) override;
};
