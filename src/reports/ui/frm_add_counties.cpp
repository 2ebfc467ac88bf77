#include "reports/ui/frm_add_counties.h"

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

frmAddCounties::frmAddCounties(ClientState &state, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_state(state), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmAddCounties"));
    setWindowTitle(QStringLiteral("Additional Counties"));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setText(QStringLiteral("Enter the State abbreviation, a single space and then County such as:"
                                   "\n\nMD HARFORD"));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->addItems(m_state.additionalCounties);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    InstallTypingFilter(Text1, ListEntryDiscarded, true);
    Command2 = new QPushButton(QStringLiteral("&Add"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    Command1 = new QPushButton(QStringLiteral("&Done"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);

    auto *row = new QHBoxLayout;
    row->addWidget(Text1, 1);
    row->addWidget(Command2);
    row->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(List1, 1);
    layout->addLayout(row);

    connect(Text1, &QLineEdit::returnPressed, this, &frmAddCounties::Command2_Click);
    connect(Command2, &QPushButton::clicked, this, &frmAddCounties::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &frmAddCounties::Command1_Click);
    connect(List1, &QListWidget::itemDoubleClicked, this, [](QListWidgetItem *item) { delete item; });
}

void frmAddCounties::Command2_Click()
{
    QStringList entries;
    for (int i = 0; i < List1->count(); ++i)
        entries << List1->item(i)->text();
    switch (AddListEntry(entries, Text1->text(), ContentFilters::MaxAdditionalCounties)) {
    case ListEntryResult::Added:
        List1->addItem(Text1->text());
        Text1->clear();
        break;
    case ListEntryResult::Full:
        m_dialogs.messageBox(AdditionalCountiesFullMessage(), windowTitle(), Dialogs::OkOnly,
                             Dialogs::Warning);
        break;
    case ListEntryResult::Blank:
        break;
    }
    Text1->setFocus();
}

bool frmAddCounties::StoreEntries()
{
    m_state.additionalCounties.clear();
    for (int i = 0; i < List1->count() && i < ContentFilters::MaxAdditionalCounties; ++i)
        m_state.additionalCounties << List1->item(i)->text();
    return SaveAdditionalCountiesFile(m_state);
}

void frmAddCounties::Command1_Click()
{
    accept();
}
