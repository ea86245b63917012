#pragma once

#include <QHash>
#include <QObject>

#include <functional>

class QWidget;

// The control events the monitor's handlers hang on that Qt has no signal for: a control being left
// (OnExit), a label clicked, a memo double-clicked. Leaving means the focus went to another control
// of the window: a window losing the activation or a pop-up menu opening is not leaving.
class ControlEvents : public QObject {
public:
    using Handler = std::function<void()>;

    explicit ControlEvents(QObject* parent = nullptr)
        : QObject(parent)
    {}

    void onExit(QWidget* control, Handler handler);
    void onClick(QWidget* control, Handler handler);
    void onDoubleClick(QWidget* control, Handler handler);
    // Runs what leaving the control does, for a step that has left it in the monitor's eyes while
    // the window system may never report it (a dialog that took the focus away and gave it back).
    void leave(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void focusLeft(QObject* watched);

    QHash<QObject*, Handler> m_exit;
    QHash<QObject*, Handler> m_click;
    QHash<QObject*, Handler> m_doubleClick;
};
