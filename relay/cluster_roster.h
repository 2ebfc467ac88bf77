#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <map>
#include <optional>

// One signed-on observer somewhere in the cluster.
struct ClusterObserver
{
    // "ORIGIN#N": the relay run (name/boot) and its connection number, so
    // that one sign-on is told from a later one of the same user.
    QString conn;
    QString node; // the relay's name, for operators
    QString user;
    QString state;
    QString county;
    QString zip;
    QString address; // the client's address, without its port
    quint16 port = 0;

    QString origin() const { return conn.left(conn.lastIndexOf(u'#')); }
    // One line with "|" between the fields: none of them can hold one,
    // since each came out of a wire message.
    QByteArray record() const;
    static std::optional<ClusterObserver> fromRecord(const QByteArray &record);
};

// Who is signed on where, as every relay sees it after applying the
// cluster's events in the cluster's order: the same on every relay.
class ClusterRoster
{
public:
    // A sign-on replaces the user's earlier one, wherever it was; that one
    // is returned.
    std::optional<ClusterObserver> signOn(const ClusterObserver &o);
    // Only while that very sign-on still holds the user.
    std::optional<ClusterObserver> signOff(const QString &userKey, const QString &conn);
    // Everyone a relay run held, in order of sign-on.
    QList<ClusterObserver> dropOrigin(const QString &origin);

    const ClusterObserver *find(const QString &userKey) const;
    // In order of sign-on.
    QList<ClusterObserver> all() const;
    int size() const { return int(m_byUser.size()); }
    QStringList origins() const;

private:
    struct Entry
    {
        quint64 order;
        ClusterObserver observer;
    };
    QHash<QString, Entry> m_byUser;
    std::map<quint64, QString> m_order;
    quint64 m_next = 0;
};
