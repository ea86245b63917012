#pragma once

#include <QListView>

// A pane of the information pane's group box (mInfor, mRep): one row per line of its LineStore.
// Rows share one height, so that a pane of a million lines stays small and quick, but not the width
// of one sample line: every row is as wide as the widest line shown so far, so that no line is cut
// and the horizontal scroll bar reaches the end of every line on screen.
class PaneView : public QListView {
public:
    explicit PaneView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

private:
    class RowDelegate;
    RowDelegate* m_delegate;
};
