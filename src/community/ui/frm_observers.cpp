#include "community/ui/frm_observers.h"

#include "base/ui/scale_window.h"
#include "base/ui/show_and_raise.h"
#include "community/observers.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

frmObservers::frmObservers(ObserverList &observers, QWidget *parent)
    : QWidget(parent, Qt::Window), m_observers(observers)
{
    setObjectName(u"frmObservers"_s);
    setWindowTitle(u"Observer List"_s);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(u"List of currently connected observers:"_s, this));
    List1 = new QListWidget(this);
    List1->setObjectName(u"List1"_s);
    layout->addWidget(List1, 1);
    auto *bottom = new QHBoxLayout;
    lblTotal = new QLabel(ObserverList::TotalText(0), this);
    lblTotal->setObjectName(u"lblTotal"_s);
    bottom->addWidget(lblTotal, 1);
    auto *done = new QPushButton(u"Done"_s, this);
    done->setObjectName(u"Command1"_s);
    bottom->addWidget(done);
    layout->addLayout(bottom);
    connect(done, &QPushButton::clicked, this, &frmObservers::Done);
    connect(List1, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        const QString name = ObserverRowName(item->text());
        if (!name.isEmpty())
            emit addressChosen(name);
        Done();
    });
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(380, 420));
}

void frmObservers::reload()
{
    List1->clear();
    List1->addItems(m_observers.rows());
    updateTotal();
}

void frmObservers::rowInserted(int at)
{
    List1->insertItem(at, m_observers.rows().at(at));
    updateTotal();
}

void frmObservers::rowsRemoved(const QList<int> &rows)
{
    for (int row : rows)
        delete List1->takeItem(row);
    updateTotal();
}

void frmObservers::updateTotal()
{
    lblTotal->setText(ObserverList::TotalText(List1->count()));
}

void frmObservers::Done()
{
    m_observers.StopListing();
    hide();
}

void frmObservers::closeEvent(QCloseEvent *event)
{
    m_observers.StopListing();
    event->accept();
}

frmNewObserverAlert::frmNewObserverAlert(QWidget *parent) : QDialog(parent)
{
    setObjectName(u"frmNewObserverAlert"_s);
    setWindowTitle(u"New Observer!"_s);
    auto *layout = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label1->setObjectName(u"Label1"_s);
    Label1->setTextFormat(Qt::PlainText);
    layout->addWidget(Label1);
    auto *ok = new QPushButton(u"OK"_s, this);
    ok->setObjectName(u"Command1"_s);
    ok->setDefault(true);
    layout->addWidget(ok, 0, Qt::AlignCenter);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setModal(false);
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(360, 160));
}

void frmNewObserverAlert::showArrival(const QString &observerLine)
{
    Label1->setText(u"A new observer has signed in:\n\n"_s + observerLine);
    adjustSize();
    showAndRaise(this, false);
}
