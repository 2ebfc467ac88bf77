#pragma once

#include <QDialog>
#include <QWidget>

class ObserverList;
class QLabel;
class QListWidget;

// The Observer List: the rows the core collects while listing, mirrored.
// However the window is closed, the listing ends, so later arrivals are
// announced again instead of going silently into a hidden list.
class frmObservers final : public QWidget
{
    Q_OBJECT
public:
    explicit frmObservers(ObserverList &observers, QWidget *parent = nullptr);

    // Mirrors the core's rows after a request empties them.
    void reload();
    void rowInserted(int at);
    void rowsRemoved(const QList<int> &rows);
    void Done();

    QListWidget *List1 = nullptr;
    QLabel *lblTotal = nullptr;

signals:
    void addressChosen(const QString &user);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateTotal();

    ObserverList &m_observers;
};

// Shown on an announced arrival while "Alert on New Observer Sign In" is on.
class frmNewObserverAlert final : public QDialog
{
    Q_OBJECT
public:
    explicit frmNewObserverAlert(QWidget *parent = nullptr);
    void showArrival(const QString &observerLine);

    QLabel *Label1 = nullptr;
};
