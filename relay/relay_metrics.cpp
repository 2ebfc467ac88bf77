#include "relay_metrics.h"

#include <QMutexLocker>
#include <QStringList>

#include <cmath>

namespace {

// Label values come from the wire (message codes) or from code: quote
// what the format requires and nothing else.
QByteArray escapeLabel(const QByteArray &value)
{
    QByteArray out;
    for (const char c : value) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

QByteArray number(double v)
{
    if (std::isnan(v))
        return "NaN";
    if (v == std::floor(v) && std::fabs(v) < 1e15)
        return QByteArray::number(qint64(v));
    return QByteArray::number(v, 'g', 10);
}

} // namespace

RelayMetrics::RelayMetrics()
{
    describe(MessagesIn, "counter", "Messages received from clients, by code.", "code");
    describe(DeliveriesOut, "counter", "Messages handed to clients, by code.", "code");
    describe(Refusals, "counter", "Connections or requests refused, by reason.", "reason");
    describe(StoreRetries, "counter", "Store operations retried after the database failed.");
    describe(StoreDropped, "counter", "Store writes dropped because their queue was full.");
    describe(Connections, "gauge", "Client connections open.");
    describe(SignedOn, "gauge", "Clients signed on.");
    describe(StoreQueue, "gauge", "Store operations waiting for the database.");
    describe(BusLag, "gauge", "How far this relay's bus reading is behind the cluster, in seconds.");
}

void RelayMetrics::describe(const char *name, const char *type, const char *help, const char *labelName)
{
    QMutexLocker lock(&m_mutex);
    Family &f = m_families[name];
    f.type = type;
    f.help = help;
    f.labelName = labelName;
    // A figure without a label prints from the start.
    if (f.labelName.isEmpty() && !f.values.contains(QByteArray()))
        f.values.insert(QByteArray(), 0);
}

void RelayMetrics::add(const char *name, qint64 by, const QByteArray &label)
{
    QMutexLocker lock(&m_mutex);
    m_families[name].values[label] += double(by);
}

void RelayMetrics::set(const char *name, double value, const QByteArray &label)
{
    QMutexLocker lock(&m_mutex);
    m_families[name].values[label] = value;
}

double RelayMetrics::value(const char *name, const QByteArray &label) const
{
    QMutexLocker lock(&m_mutex);
    const auto f = m_families.constFind(name);
    return f == m_families.cend() ? 0 : f->values.value(label);
}

void RelayMetrics::raise(const char *condition, const QString &reason)
{
    QString line = reason;
    line.replace(u'\n', u' ').replace(u'\r', u' ');
    QMutexLocker lock(&m_mutex);
    m_conditions.insert(condition, line);
}

void RelayMetrics::clear(const char *condition)
{
    QMutexLocker lock(&m_mutex);
    m_conditions.remove(condition);
}

QString RelayMetrics::unhealthyReason() const
{
    QMutexLocker lock(&m_mutex);
    QStringList reasons;
    for (const QString &r : m_conditions)
        reasons.append(r);
    return reasons.join(QStringLiteral("; "));
}

QByteArray RelayMetrics::exposition() const
{
    QMutexLocker lock(&m_mutex);
    QByteArray out;
    for (auto f = m_families.cbegin(); f != m_families.cend(); ++f) {
        const QByteArray &name = f.key();
        if (!f->help.isEmpty())
            out += "# HELP " + name + ' ' + f->help + '\n';
        out += "# TYPE " + name + ' ' + (f->type.isEmpty() ? QByteArray("untyped") : f->type) + '\n';
        for (auto v = f->values.cbegin(); v != f->values.cend(); ++v) {
            out += name;
            if (!v.key().isEmpty())
                out += '{' + (f->labelName.isEmpty() ? QByteArray("label") : f->labelName) + "=\"" +
                       escapeLabel(v.key()) + "\"}";
            out += ' ' + number(v.value()) + '\n';
        }
    }
    return out;
}
