#pragma once

#include "records/HistoryGraph.h"

#include <QWidget>

#include <functional>

class QButtonGroup;
class QLabel;

// "历史曲线": the latency graph of one address, in a window of its own that leaves the monitor
// window usable, with a button for each range. It draws anew when asked (after every cycle).
class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    // Gives the history file of an entry key.
    using FileOf = std::function<QString(const QString& key)>;

    HistoryWindow(FileOf fileOf, QWidget* parent = nullptr);

    void showFor(const QString& key);
    void redraw();

    const QString& key() const { return m_key; }
    HistoryGraph::Range range() const { return m_range; }
    void setRange(HistoryGraph::Range range);

private:
    FileOf m_fileOf;
    QString m_key;
    HistoryGraph::Range m_range = HistoryGraph::Range::Hours3;
    QButtonGroup* m_buttons;
    QLabel* m_graph;
};
