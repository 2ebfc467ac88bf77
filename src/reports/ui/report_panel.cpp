#include "reports/ui/report_panel.h"

#include "base/client_state.h"
#include "base/ui/colour.h"
#include "base/ui/typing_filter.h"
#include "reports/report_composer.h"
#include "reports/report_list_model.h"
#include "reports/ui/phrase_windows.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QListWidget *phraseList(QWidget *parent, const QString &name)
{
    auto *l = new QListWidget(parent);
    l->setObjectName(name);
    l->setUniformItemSizes(true);
    return l;
}

} // namespace

ReportPanel::ReportPanel(ReportListModel &model, ReportComposer &composer, ClientState &state,
                         QWidget *parent)
    : QWidget(parent), m_model(model), m_composer(composer), m_state(state)
{
    setObjectName(QStringLiteral("ReportPanel"));
    m_model.setForegroundProvider(ForegroundBrush);

    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setModel(&m_model);
    ListView1->header()->setStretchLastSection(false);
    QList<int> widths;
    for (int c = 0; c < m_model.columnCount(); ++c)
        widths << ReportListModel::DefaultWidthTwips(c);
    SetColumnWidthsTwips(widths);

    ListView1->viewport()->installEventFilter(this);
    ListView1->header()->setSectionsClickable(true);
    connect(ListView1->header(), &QHeaderView::sectionClicked, this, &ReportPanel::SortByColumn);

    lblListTotal = new QLabel(ReportListModel::ListTotalText(0), this);
    lblListTotal->setObjectName(QStringLiteral("lblListTotal"));
    lblListTotal->setTextFormat(Qt::PlainText);
    connect(&m_model, &ReportListModel::listTotalChanged, lblListTotal, &QLabel::setText);

    Lbl1 = PhraseTitleLabel(this, QStringLiteral("Lbl1"));
    lst1 = phraseList(this, QStringLiteral("lst1"));
    Lbl2 = PhraseTitleLabel(this, QStringLiteral("Lbl2"));
    lst2 = phraseList(this, QStringLiteral("lst2"));
    Lbl1->installEventFilter(this);
    Lbl2->installEventFilter(this);
    ReloadPhraseLists();
    for (QListWidget *list : {lst1, lst2}) {
        connect(list, &QListWidget::itemClicked, this, [this, list](QListWidgetItem *item) {
            PhraseClicked(list, list->row(item), QGuiApplication::keyboardModifiers());
        });
    }

    lblReport = new QLabel(QStringLiteral("Report:"), this);
    lblReport->setObjectName(QStringLiteral("lblReport"));
    txtData = new QLineEdit(this);
    txtData->setObjectName(QStringLiteral("txtData"));
    txtData->setMaxLength(ReportComposer::MaxLength);
    txtData->installEventFilter(this);
    // A report always starts with a capital letter.
    InstallCapitalKeys(txtData, CapitalKeys::First);
    connect(txtData, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (text.isEmpty())
            txtData->setMaxLength(ReportComposer::MaxLength);
    });
    lblReport->setBuddy(txtData);
    chkSevere = new QCheckBox(QStringLiteral("Check if Severe"), this);
    chkSevere->setObjectName(QStringLiteral("chkSevere"));
    cmdSend = new QPushButton(QStringLiteral("&Send"), this);
    cmdSend->setObjectName(QStringLiteral("cmdSend"));
    connect(cmdSend, &QPushButton::clicked, this, &ReportPanel::cmdSend_Click);
    // Outside a dialog a button has no default: Enter on Send must send, or
    // a phrase picked and confirmed by Enter goes nowhere.
    cmdSend->installEventFilter(this);
    lst1->installEventFilter(this);
    lst2->installEventFilter(this);
    connect(chkSevere, &QCheckBox::clicked, txtData, [this] { txtData->setFocus(); });

    cmdGetLast = new QPushButton(QStringLiteral("&Get Historical Data"), this);
    cmdGetLast->setObjectName(QStringLiteral("cmdGetLast"));
    connect(cmdGetLast, &QPushButton::clicked, this, &ReportPanel::historicalDataRequested);
    cmdClear = new QPushButton(QStringLiteral("&Clear"), this);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    connect(cmdClear, &QPushButton::clicked, this, [this] {
        m_model.Clear();
        txtData->setFocus();
    });
    cmdMoreLists = new QPushButton(QStringLiteral("More Lists"), this);
    cmdMoreLists->setObjectName(QStringLiteral("cmdMoreLists"));
    connect(cmdMoreLists, &QPushButton::clicked, this, [this] {
        txtData->setFocus();
        emit moreListsRequested();
    });

    auto *listColumn1 = new QVBoxLayout;
    listColumn1->addWidget(Lbl1);
    listColumn1->addWidget(lst1);
    auto *listColumn2 = new QVBoxLayout;
    listColumn2->addWidget(Lbl2);
    listColumn2->addWidget(lst2);
    auto *phrases = new QHBoxLayout;
    phrases->addLayout(listColumn1);
    phrases->addLayout(listColumn2);
    // No spacer: with the lists hidden the row must be empty, so the report
    // list takes its height.
    phrases->addWidget(cmdMoreLists, 0, Qt::AlignBottom);

    auto *totalRow = new QHBoxLayout;
    totalRow->addWidget(lblListTotal, 1);
    totalRow->addWidget(cmdGetLast);
    totalRow->addWidget(cmdClear);

    auto *sendRow = new QHBoxLayout;
    sendRow->addWidget(lblReport);
    sendRow->addWidget(txtData, 1);
    sendRow->addWidget(chkSevere);
    sendRow->addWidget(cmdSend);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ListView1, 3);
    layout->addLayout(totalRow);
    layout->addLayout(phrases, 1);
    layout->addLayout(sendRow);
}

void ReportPanel::SetColumnWidthsTwips(const QList<int> &twips)
{
    const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    for (int c = 0; c < twips.size() && c < m_model.columnCount(); ++c)
        if (twips.at(c) >= 0)
            ListView1->setColumnWidth(c, ReportListModel::TwipsToPixels(twips.at(c), dpi));
}

void ReportPanel::PlaceUnderList(QWidget *panel)
{
    if (auto *box = qobject_cast<QVBoxLayout *>(layout()))
        box->insertWidget(box->indexOf(ListView1) + 1, panel, 2);
}

void ReportPanel::focusReportBox()
{
    txtData->setFocus();
}

void ReportPanel::showPhraseLists(bool shown)
{
    for (QWidget *w : std::initializer_list<QWidget *>{Lbl1, lst1, Lbl2, lst2, cmdMoreLists})
        w->setVisible(shown);
}

void ReportPanel::applyListFont(const QFont &font)
{
    ListView1->setFont(font);
}

void ReportPanel::ReloadPhraseLists()
{
    const PhraseList &severe = m_state.phraseLists[5];
    const PhraseList &other = m_state.phraseLists[6];
    Lbl1->setText(severe.title);
    Lbl2->setText(other.title);
    lst1->clear();
    lst1->addItems(severe.phrases);
    lst2->clear();
    lst2->addItems(other.phrases);
}

void ReportPanel::cmdSend_Click()
{
    const ReportComposer::Result r = m_composer.Send(txtData->text(), chkSevere->isChecked());
    setBoxText(r.boxText);
    chkSevere->setChecked(r.severe);
    if (r.outcome == ReportComposer::Outcome::Sent)
        txtData->setFocus();
    if (r.outcome == ReportComposer::Outcome::NotSignedOn)
        emit signOnRequested();
}

void ReportPanel::SendRoutine(const QString &text)
{
    setBoxText(text);
    chkSevere->setChecked(false);
    cmdSend_Click();
}

void ReportPanel::setBoxText(const QString &text)
{
    if (text.size() > txtData->maxLength())
        txtData->setMaxLength(int(text.size()));
    txtData->setText(text);
}

void ReportPanel::PhraseClicked(QListWidget *list, int row, Qt::KeyboardModifiers modifiers)
{
    if (row < 0 || row >= list->count())
        return;
    list->clearSelection();
    PickPhrase(list->item(row)->text(), modifiers);
}

void ReportPanel::PickPhrase(const QString &phrase, Qt::KeyboardModifiers modifiers)
{
    const bool append = (modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier;
    txtData->setText(ReportComposer::WithPhrase(txtData->text(), phrase, append));
    chkSevere->setChecked(true);
    // Picked in another window, the keyboard must come back here: focus in
    // a window that is not active goes nowhere.
    window()->activateWindow();
    cmdSend->setFocus();
}

void ReportPanel::SortByColumn(int column)
{
    m_sortAscending = !m_sortAscending;
    const Qt::SortOrder order = m_sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder;
    m_model.sort(column, order);
    ListView1->header()->setSortIndicator(column, order);
    ListView1->header()->setSortIndicatorShown(true);
}

QList<int> ReportPanel::ColumnWidthsTwips() const
{
    const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
    QList<int> out;
    for (int c = 0; c < m_model.columnCount(); ++c)
        out << int(qint64(ListView1->columnWidth(c)) * 1440 / dpi);
    return out;
}

bool ReportPanel::EscapePressed()
{
    const bool wasEmpty = txtData->text().isEmpty();
    txtData->clear();
    chkSevere->setChecked(false);
    return wasEmpty;
}

bool ReportPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && (watched == Lbl1 || watched == Lbl2)) {
        emit phraseTitleClicked(watched == Lbl1 ? 6 : 7);
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && watched == ListView1->viewport()) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        const auto held = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
        const QModelIndex at = ListView1->indexAt(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && !(mouse->modifiers() & held) && at.isValid())
            emit reportClicked(at.row());
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (watched == cmdSend && enter) {
        cmdSend->click();
        return true;
    }
    if (watched == lst1 || watched == lst2) {
        auto *list = static_cast<QListWidget *>(watched);
        if (int row = PhraseKeyRow(list->currentRow(), list->count(), key->key()); row >= 0) {
            list->setCurrentRow(row);
            PhraseClicked(list, row, key->modifiers());
            return true;
        }
    }
    if (watched == txtData) {
        if (enter) {
            cmdSend_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
