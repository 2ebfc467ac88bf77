#pragma once

#include "base/rgb.h"

#include <QString>
#include <QStringList>
#include <QTime>

#include <optional>

// One observer notice as the client reads it.
struct ObserverNotice
{
    QString line; // "STATE  COUNTY  ZIP  name"
    QString user;
    QString count; // GOB only; may be empty
};

// Upper-cased place, two spaces between the parts, the name as received.
QString ObserverLine(const QString &state, const QString &county, const QString &zip, const QString &user);
ObserverNotice ReadObserverNotice(const QString &message);

// What a GOB or DOB makes the client do.
struct ObserverDecision
{
    QString statusLine; // held and flashed white on `back`; empty: none
    std::optional<Rgb> back;
    QString monitorLine;     // "h:nn AMPM", CR LF, the status line
    bool newArrival = false; // an announced sign-on
    std::optional<QString> countTooltip;
    int insertedAt = -1;    // row added to the open list
    QList<int> removedRows; // rows taken from the open list, last first
};

// The Observer List being collected and the announcements around it.
class ObserverList
{
public:
    static QString TotalText(int rows);

    // True when a request must go out: a second click while collecting
    // only shows the window again.
    bool StartListing();
    void StopListing() { m_listing = false; }
    bool listing() const { return m_listing; }
    const QStringList &rows() const { return m_rows; }

    ObserverDecision HandleObserverSignOn(const QString &message, const QString &userName, const QTime &now);
    ObserverDecision HandleObserverSignOff(const QString &message, const QTime &now);

private:
    bool m_listing = false;
    QStringList m_rows;
};

// The name at the end of a list row, after its last space; empty without one.
QString ObserverRowName(const QString &row);
