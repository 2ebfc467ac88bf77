#include "reports/ui/phrase_windows.h"

#include "base/client_state.h"
#include "base/ui/scale_window.h"
#include "base/ui/show_and_raise.h"
#include "base/ui/text_filter.h"
#include "platform/dialogs.h"
#include "reports/report_tools.h"
#include "reports/ui/report_panel.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

QLabel *PhraseTitleLabel(QWidget *parent, const QString &name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setToolTip(QStringLiteral("Click the blue title to edit this list."));
    l->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));
    l->setCursor(Qt::PointingHandCursor);
    return l;
}

int PhraseKeyRow(int current, int count, int key)
{
    int row = -1;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        row = current;
        break;
    case Qt::Key_Up:
        row = current < 0 ? 0 : current - 1;
        break;
    case Qt::Key_Down:
        row = current + 1;
        break;
    case Qt::Key_Home:
        row = 0;
        break;
    case Qt::Key_End:
        row = count - 1;
        break;
    default:
        return -1;
    }
    return row >= 0 && row < count ? row : -1;
}

frmEditList::frmEditList(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmEditList"));
    auto *filter = new TextFilter(ReportTools::StripEditorText, this);
    auto *titleLabel = new QLabel(QStringLiteral("Title:"), this);
    txtTitle = new QLineEdit(this);
    txtTitle->setObjectName(QStringLiteral("txtTitle"));
    txtTitle->setValidator(filter);
    titleLabel->setBuddy(txtTitle);
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setToolTip(QStringLiteral("Double-click a phrase to remove it."));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setValidator(filter);
    Text1->installEventFilter(this);
    Command1 = new QPushButton(QStringLiteral("&Add"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    Command2 = new QPushButton(QStringLiteral("&Done"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);

    connect(Command1, &QPushButton::clicked, this, &frmEditList::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QDialog::accept);
    connect(List1, &QListWidget::itemDoubleClicked, this, [](QListWidgetItem *item) { delete item; });

    auto *title = new QHBoxLayout;
    title->addWidget(titleLabel);
    title->addWidget(txtTitle, 1);
    auto *add = new QHBoxLayout;
    add->addWidget(Text1, 1);
    add->addWidget(Command1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(title);
    layout->addWidget(List1, 1);
    layout->addLayout(add);
    layout->addWidget(Command2, 0, Qt::AlignRight);
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(420, 380));
}

void frmEditList::Command1_Click()
{
    if (!Text1->text().trimmed().isEmpty()) {
        List1->addItem(Text1->text());
        List1->scrollToBottom();
    }
    Text1->clear();
    Text1->setFocus();
}

bool frmEditList::eventFilter(QObject *watched, QEvent *event)
{
    // Enter in the entry box adds the phrase instead of closing the editor.
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Command1_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

frmLists::frmLists(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmLists"));
    setWindowTitle(QStringLiteral("Lists"));
    static constexpr const char *labelNames[] = {"Lbl1", "Lbl2", "Lbl3", "Lbl4", "Lbl5"};
    // The capital L of Lst3 to Lst5 is in the documented names; keep the case.
    static constexpr const char *listNames[] = {"lst1", "lst2", "Lst3", "Lst4", "Lst5"};
    auto *grid = new QGridLayout;
    for (int i = 0; i < 5; ++i) {
        titles[std::size_t(i)] = PhraseTitleLabel(this, QString::fromLatin1(labelNames[i]));
        titles[std::size_t(i)]->installEventFilter(this);
        auto *list = new QListWidget(this);
        list->setObjectName(QString::fromLatin1(listNames[i]));
        lists[std::size_t(i)] = list;
        list->installEventFilter(this);
        connect(list, &QListWidget::itemClicked, this, [this, list](QListWidgetItem *item) {
            const QString phrase = item->text();
            list->clearSelection();
            emit phraseClicked(phrase, QGuiApplication::keyboardModifiers());
        });
        // Three lists on the first row, two and the Done button below.
        const int row = i < 3 ? 0 : 2;
        const int column = i < 3 ? i : i - 3;
        grid->addWidget(titles[std::size_t(i)], row, column);
        grid->addWidget(list, row + 1, column);
    }
    Command1 = new QPushButton(QStringLiteral("&Done"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    connect(Command1, &QPushButton::clicked, this, &QWidget::hide);
    grid->addWidget(Command1, 3, 2, Qt::AlignRight | Qt::AlignBottom);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(760, 420));
}

bool frmLists::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto it = std::find(lists.begin(), lists.end(), watched);
        auto *key = static_cast<QKeyEvent *>(event);
        if (it != lists.end()) {
            QListWidget *list = *it;
            if (const int row = PhraseKeyRow(list->currentRow(), list->count(), key->key()); row >= 0) {
                list->setCurrentRow(row);
                list->clearSelection();
                emit phraseClicked(list->item(row)->text(), key->modifiers());
                return true;
            }
        }
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 0; i < 5; ++i)
            if (watched == titles[std::size_t(i)]) {
                emit titleClicked(i + 1);
                return true;
            }
    }
    return QWidget::eventFilter(watched, event);
}

PhraseLists::PhraseLists(ClientState &state, Dialogs &dialogs, QObject *parent)
    : QObject(parent), runEditor([](frmEditList &e) { e.exec(); }), m_state(state), m_dialogs(dialogs)
{
}

PhraseLists::~PhraseLists()
{
    delete m_lists;
}

void PhraseLists::attach(ReportPanel *panel, QWidget *window)
{
    m_panel = panel;
    m_window = window;
}

void PhraseLists::ShowLists()
{
    ensureLists();
    showAndRaise(m_lists);
}

void PhraseLists::ensureLists()
{
    if (!m_lists) {
        m_lists = new frmLists(m_window);
        for (int n = 1; n <= 5; ++n)
            refresh(n);
        connect(m_lists, &frmLists::titleClicked, this, &PhraseLists::EditList);
        connect(m_lists, &frmLists::phraseClicked, this,
                [this](const QString &phrase, Qt::KeyboardModifiers modifiers) {
                    if (m_panel)
                        m_panel->PickPhrase(phrase, modifiers);
                });
    }
}

void PhraseLists::refresh(int n)
{
    const PhraseList &list = m_state.phraseLists[std::size_t(n - 1)];
    if (n >= 6) {
        if (m_panel)
            m_panel->ReloadPhraseLists();
        return;
    }
    if (!m_lists)
        return;
    m_lists->titles[std::size_t(n - 1)]->setText(list.title);
    QListWidget *box = m_lists->lists[std::size_t(n - 1)];
    box->clear();
    box->addItems(list.phrases);
}

void PhraseLists::EditList(int n)
{
    if (n < 1 || n > PhraseListCount)
        return;
    if (n <= 5)
        ensureLists();
    PhraseList &list = m_state.phraseLists[std::size_t(n - 1)];
    frmEditList editor(m_lists && n <= 5 ? static_cast<QWidget *>(m_lists) : m_window.data());
    editor.setWindowTitle(QStringLiteral("Edit ") + list.title);
    editor.txtTitle->setText(list.title);
    editor.List1->addItems(list.phrases);
    runEditor(editor);

    list.title = editor.txtTitle->text();
    list.phrases.clear();
    for (int i = 0; i < editor.List1->count(); ++i)
        list.phrases << editor.List1->item(i)->text();
    refresh(n);
    // The edit stays in the windows for this run either way; the user must
    // know it will be gone at the next start.
    QString why;
    if (!SavePhraseListFile(m_state, n, &why))
        m_dialogs.messageBox(QStringLiteral("The list could not be saved to %1: %2\n\nYour changes stay in "
                                            "effect until the program is closed.")
                                 .arg(PhraseListFileName(n), why),
                             QStringLiteral("Edit Lists"), Dialogs::OkOnly, Dialogs::Warning);
}
