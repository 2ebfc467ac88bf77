#include "community/ui/frm_filter.h"

#include "app/client_state.h"
#include "app/list_files.h"
#include "community/content_filters.h"
#include "community/ui/typing_filter.h"
#include "platform/dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

frmFilter::frmFilter(ClientState &state, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_state(state), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmFilter"));
    setWindowTitle(QStringLiteral("Filter Reports and Messages"));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setText(QStringLiteral("Use this form to block reports and messages from a specific user.  "
                                   "To block a user, type the user name and press enter.\r\n\r\n"
                                   "To remove a user from your filter list so that you can receive their "
                                   "reports and messages, double click the user name in the list."));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setSortingEnabled(true);
    List1->addItems(m_state.filterList);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    InstallTypingFilter(Text1, ListEntryDiscarded, true);
    Command2 = new QPushButton(QStringLiteral("&Add"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    Command1 = new QPushButton(QStringLiteral("&Done"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Text1, 1);
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(List1, 1);
    layout->addLayout(buttons);

    connect(Text1, &QLineEdit::returnPressed, this, &frmFilter::Command2_Click);
    connect(Command2, &QPushButton::clicked, this, &frmFilter::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &frmFilter::Command1_Click);
    connect(List1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        delete item;
        Text1->setFocus();
    });
}

void frmFilter::Command2_Click()
{
    QStringList entries;
    for (int i = 0; i < List1->count(); ++i)
        entries << List1->item(i)->text();
    switch (AddListEntry(entries, Text1->text(), ContentFilters::MaxFilterEntries)) {
    case ListEntryResult::Added:
        List1->addItem(Text1->text());
        Text1->clear();
        break;
    case ListEntryResult::Full:
        m_dialogs.messageBox(FilterListFullMessage(), windowTitle(), Dialogs::OkOnly, Dialogs::Warning);
        break;
    case ListEntryResult::Blank:
        break;
    }
    Text1->setFocus();
}

bool frmFilter::SaveFilterList()
{
    m_state.filterList.clear();
    for (int i = 0; i < List1->count(); ++i)
        m_state.filterList << List1->item(i)->text();
    return SaveFilterListFile(m_state);
}

void frmFilter::Command1_Click()
{
    SaveFilterList();
    accept();
}
