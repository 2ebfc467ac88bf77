#include "community/observers.h"

#include "community/messages.h"
#include "net/protocol.h"

#include <algorithm>

using namespace Qt::StringLiterals;

QString ObserverLine(const QString &state, const QString &county, const QString &zip, const QString &user)
{
    return (state + u"  "_s + county + u"  "_s + zip).toUpper() + u"  "_s + user;
}

ObserverNotice ReadObserverNotice(const QString &message)
{
    const QStringList f = SplitFields(message);
    const QString user = FieldAt(f, 3);
    return {ObserverLine(CleanIncoming(FieldAt(f, 0)), CleanIncoming(FieldAt(f, 1)),
                         CleanIncoming(FieldAt(f, 2)), user),
            user, FieldAt(f, 4)};
}

QString ObserverList::TotalText(int rows)
{
    return u"Total = "_s + QString::number(rows);
}

bool ObserverList::StartListing()
{
    if (m_listing)
        return false;
    m_rows.clear();
    m_listing = true;
    return true;
}

namespace {
ObserverDecision announce(const QString &status, const Rgb &back, const QTime &now)
{
    ObserverDecision d;
    d.statusLine = status;
    d.back = back;
    d.monitorLine = MessageTime(now) + u"\r\n"_s + status;
    return d;
}
} // namespace

ObserverDecision ObserverList::HandleObserverSignOn(const QString &message, const QString &userName,
                                                    const QTime &now)
{
    const ObserverNotice n = ReadObserverNotice(message);
    ObserverDecision d;
    if (m_listing) {
        // Sorted like a sorted list box: by the text, letter case aside.
        auto at =
            std::lower_bound(m_rows.begin(), m_rows.end(), n.line, [](const QString &a, const QString &b) {
                return a.compare(b, Qt::CaseInsensitive) < 0;
            });
        d.insertedAt = int(at - m_rows.begin());
        m_rows.insert(at, n.line);
    } else if (n.user != userName) {
        d = announce(u"New Observer!  -  "_s + n.line, {0, 0, 0}, now);
        d.newArrival = true;
    }
    if (!n.count.isEmpty())
        d.countTooltip = u"There are "_s + n.count + u" observers currently connected."_s;
    return d;
}

ObserverDecision ObserverList::HandleObserverSignOff(const QString &message, const QTime &now)
{
    const ObserverNotice n = ReadObserverNotice(message);
    ObserverDecision d = announce(u"Observer Disconnected  -  "_s + n.line, {128, 128, 128}, now);
    if (m_listing) {
        for (int i = int(m_rows.size()) - 1; i >= 0; --i) {
            if (m_rows[i] == n.line) {
                m_rows.removeAt(i);
                d.removedRows << i;
            }
        }
    }
    return d;
}

QString ObserverRowName(const QString &row)
{
    const int space = int(row.lastIndexOf(u' '));
    return space < 0 ? QString() : row.mid(space + 1);
}
