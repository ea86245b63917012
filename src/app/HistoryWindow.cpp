#include "app/HistoryWindow.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>

#include <ctime>

HistoryWindow::HistoryWindow(FileOf fileOf, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_fileOf(std::move(fileOf))
    , m_buttons(new QButtonGroup(this))
    , m_graph(new QLabel(this))
{
    setObjectName(QStringLiteral("frmHistory"));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    for (const HistoryGraph::Range range : HistoryGraph::kRanges) {
        auto* button = new QToolButton(this);
        button->setObjectName(QStringLiteral("range") + HistoryGraph::optionName(range));
        button->setText(HistoryGraph::caption(range));
        button->setCheckable(true);
        button->setChecked(range == m_range);
        m_buttons->addButton(button, int(range));
        row->addWidget(button);
    }
    row->addStretch();
    layout->addLayout(row);
    m_graph->setObjectName(QStringLiteral("imgGraph"));
    m_graph->setAlignment(Qt::AlignCenter);
    m_graph->setMinimumSize(400, 200);
    layout->addWidget(m_graph, 1);
    connect(m_buttons, &QButtonGroup::idClicked, this, [this](int id) { setRange(HistoryGraph::Range(id)); });
}

void HistoryWindow::showFor(const QString& key)
{
    m_key = key;
    setWindowTitle(QStringLiteral("历史曲线 - %1").arg(key));
    redraw();
    show();
    raise();
    activateWindow();
}

void HistoryWindow::setRange(HistoryGraph::Range range)
{
    m_range = range;
    if (QAbstractButton* button = m_buttons->button(int(range)))
        button->setChecked(true);
    redraw();
}

void HistoryWindow::redraw()
{
    const QString path = m_fileOf(m_key);
    if (!QFileInfo::exists(path)) {
        m_graph->setPixmap({});
        m_graph->setText(QStringLiteral("“%1”还没有历史记录。").arg(m_key));
        return;
    }
    const HistoryGraph::Image image = HistoryGraph::draw(path, m_key, m_range, std::time(nullptr));
    QPixmap pixmap;
    if (image.png.isEmpty() || !pixmap.loadFromData(image.png, "PNG")) {
        m_graph->setPixmap({});
        m_graph->setText(QStringLiteral("无法绘制历史曲线：%1").arg(image.error));
        return;
    }
    m_graph->setPixmap(pixmap);
}
