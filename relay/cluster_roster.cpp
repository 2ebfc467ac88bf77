#include "cluster_roster.h"

#include "relay_store.h"

#include "base/wire_codec.h"

#include <QSet>

QByteArray ClusterObserver::record() const
{
    return WireCodec::encode(
        QStringList{conn, node, user, state, county, zip, address, QString::number(port)}.join(u'|'));
}

std::optional<ClusterObserver> ClusterObserver::fromRecord(const QByteArray &record)
{
    const QStringList f = WireCodec::decode(record).split(u'|');
    if (f.size() != 8 || !f.at(0).contains(u'#') || f.at(2).isEmpty())
        return std::nullopt;
    return ClusterObserver{f.at(0), f.at(1), f.at(2), f.at(3),
                           f.at(4), f.at(5), f.at(6), quint16(f.at(7).toUInt())};
}

std::optional<ClusterObserver> ClusterRoster::signOn(const ClusterObserver &o)
{
    const QString key = AccountKey(o.user);
    std::optional<ClusterObserver> previous;
    const auto it = m_byUser.find(key);
    if (it != m_byUser.end()) {
        previous = it->observer;
        m_order.erase(it->order);
        m_byUser.erase(it);
    }
    const quint64 order = m_next++;
    m_byUser.insert(key, {order, o});
    m_order.emplace(order, key);
    return previous;
}

std::optional<ClusterObserver> ClusterRoster::signOff(const QString &userKey, const QString &conn)
{
    const auto it = m_byUser.find(userKey);
    if (it == m_byUser.end() || it->observer.conn != conn)
        return std::nullopt;
    ClusterObserver gone = it->observer;
    m_order.erase(it->order);
    m_byUser.erase(it);
    return gone;
}

QList<ClusterObserver> ClusterRoster::dropOrigin(const QString &origin)
{
    QList<ClusterObserver> gone;
    for (auto it = m_order.begin(); it != m_order.end();) {
        const auto entry = m_byUser.find(it->second);
        if (entry->observer.origin() != origin) {
            ++it;
            continue;
        }
        gone.append(entry->observer);
        m_byUser.erase(entry);
        it = m_order.erase(it);
    }
    return gone;
}

const ClusterObserver *ClusterRoster::find(const QString &userKey) const
{
    const auto it = m_byUser.constFind(userKey);
    return it == m_byUser.cend() ? nullptr : &it->observer;
}

QList<ClusterObserver> ClusterRoster::all() const
{
    QList<ClusterObserver> out;
    out.reserve(qsizetype(m_order.size()));
    for (const auto &[order, key] : m_order)
        out.append(m_byUser.value(key).observer);
    return out;
}

QStringList ClusterRoster::origins() const
{
    QSet<QString> set;
    for (const Entry &e : m_byUser)
        set.insert(e.observer.origin());
    return set.values();
}
