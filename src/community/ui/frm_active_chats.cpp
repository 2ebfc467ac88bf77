#include "community/ui/frm_active_chats.h"

#include "base/ui/scale_window.h"
#include "community/active_chats.h"

#include <QHeaderView>

#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::StringLiterals;

frmActiveChats::frmActiveChats(ActiveChatsModel &model, QWidget *parent)
    : QWidget(parent, Qt::Window), m_model(model)
{
    setObjectName(u"frmActiveChats"_s);
    setWindowTitle(u"Active Chats"_s);
    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(
        u"The following are messages sent to groups and individuals since you started this program for "
        u"the last 2 hours.  Remember, you must have the group name in the group message list of your "
        u"message form to receive the actual message text addressed to any of the listed groups."_s,
        this);
    label->setObjectName(u"Label1"_s);
    label->setWordWrap(true);
    layout->addWidget(label);
    ListView1 = new QTreeView(this);
    ListView1->setObjectName(u"ListView1"_s);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setModel(&m_model);
    ListView1->header()->setStretchLastSection(false);
    for (int c = 0; c < 3; ++c)
        ListView1->setColumnWidth(c, 2000 / 15);
    layout->addWidget(ListView1, 1);
    auto *done = new QPushButton(u"&Done"_s, this);
    done->setObjectName(u"Command1"_s);
    layout->addWidget(done, 0, Qt::AlignRight);
    connect(done, &QPushButton::clicked, this, &QWidget::hide);
    connect(ListView1, &QTreeView::clicked, this, [this](const QModelIndex &index) {
        if (m_model.rowCount() == 0 || !index.isValid())
            return;
        hide();
        emit addressChosen(m_model.fromAt(index.row()));
    });
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(480, 360));
    // The whole time must show, whatever the font.
    const int timeWidth = ListView1->fontMetrics().horizontalAdvance(u"0000-00-00 00:00:00"_s) + 16;
    ListView1->setColumnWidth(ActiveChatsModel::TimeColumn,
                              std::max(ListView1->columnWidth(ActiveChatsModel::TimeColumn), timeWidth));
}
