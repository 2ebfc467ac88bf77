#include "base/ui/list_editor_window.h"

#include "base/ui/scale_window.h"

#include "base/content_filters.h"
#include "base/ui/typing_filter.h"
#include "platform/dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

void ListEditorWindow::addEntry(const QString &text)
{
    new CaselessItem(text, List1);
}

void ListEditorWindow::tellUnsaved(const QString &notice)
{
    if (!notice.isEmpty())
        m_dialogs.messageBox(notice, windowTitle(), Dialogs::OkOnly, Dialogs::Warning);
}

ListEditorWindow::ListEditorWindow(const Rules &rules, const QStringList &entries, Dialogs &dialogs,
                                   QWidget *parent)
    : QDialog(parent), m_dialogs(dialogs), m_maxEntries(rules.maxEntries), m_fullMessage(rules.fullMessage)
{
    setObjectName(rules.objectName);
    setWindowTitle(rules.caption);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setTextFormat(Qt::PlainText);
    Label1->setText(rules.explanation);
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setSortingEnabled(rules.sorted);
    for (const QString &entry : entries)
        addEntry(entry);
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

    connect(Text1, &QLineEdit::returnPressed, this, &ListEditorWindow::Command2_Click);
    connect(Command2, &QPushButton::clicked, this, &ListEditorWindow::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(List1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        delete item;
        Text1->setFocus();
    });
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(380, 420));
}

void ListEditorWindow::Command2_Click()
{
    QStringList current = entries();
    switch (AddListEntry(current, Text1->text(), m_maxEntries)) {
    case ListEntryResult::Added:
        addEntry(Text1->text());
        Text1->clear();
        break;
    case ListEntryResult::Full:
        m_dialogs.messageBox(m_fullMessage, windowTitle(), Dialogs::OkOnly, Dialogs::Warning);
        break;
    case ListEntryResult::Blank:
        break;
    }
    Text1->setFocus();
}

void ListEditorWindow::Command1_Click()
{
    accept();
}

QStringList ListEditorWindow::entries() const
{
    QStringList out;
    out.reserve(List1->count());
    for (int i = 0; i < List1->count(); ++i)
        out << List1->item(i)->text();
    return out;
}
