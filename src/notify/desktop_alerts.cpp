#include "notify/desktop_alerts.h"

#include "base/file_lines.h"
#include "platform/clock.h"

#include <QPointer>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qsizetype MaxRemembered = 64;

QString plural(int n, const QString &word)
{
    return QString::number(n) + u" new "_s + word + (n == 1 ? QString() : u"s"_s);
}

// One line: the desktop lays out the body, and a flood of line breaks from
// the network must not stretch it.
QString oneLine(QString s)
{
    s.replace(u'\r', u' ').replace(u'\n', u' ');
    return s;
}

} // namespace

QString Arrival::summary() const
{
    switch (kind) {
    case Message:
        return u"Message from "_s + sender + u" to "_s + where;
    case Warning:
    case Report:
        break;
    }
    return (kind == Warning ? u"Warning from "_s : u"Report from "_s) + sender +
           (where.isEmpty() ? QString() : u" at "_s + where);
}

QString Arrival::body() const
{
    return oneLine(text.left(DesktopAlerts::MaxBodyLength));
}

DesktopAlerts::DesktopAlerts(const Clock &clock, Notifier *notifier, QObject *parent)
    : QObject(parent), m_clock(clock), m_notifier(notifier)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DesktopAlerts::onTimer);
    if (m_notifier)
        m_notifier->clicked = [this](quint32 id) { clickedId(id); };
}

QString DesktopAlerts::CountText(int reports, int messages)
{
    QStringList parts;
    if (reports > 0)
        parts << plural(reports, u"report"_s);
    if (messages > 0)
        parts << plural(messages, u"message"_s);
    return parts.join(u", "_s);
}

QString DesktopAlerts::trayToolTip() const
{
    const QString counts = CountText(m_reportsSinceShown, m_messagesSinceShown);
    return counts.isEmpty() ? TrayTitle
                            : TrayTitle + u"\n"_s + counts + u" since the window was last shown"_s;
}

void DesktopAlerts::windowShown()
{
    if (m_reportsSinceShown == 0 && m_messagesSinceShown == 0)
        return;
    m_reportsSinceShown = m_messagesSinceShown = 0;
    emit trayToolTipChanged(trayToolTip());
}

void DesktopAlerts::add(const Arrival &arrival)
{
    const bool message = arrival.kind == Arrival::Message;
    ++(message ? m_messagesSinceShown : m_reportsSinceShown);
    emit trayToolTipChanged(trayToolTip());
    if (!m_enabled || !m_notifier)
        return;

    const qint64 now = m_clock.monotonicMs();
    const bool due = !m_shownOnce || now - m_lastShownMs >= MinIntervalMs;
    if (!m_waiting && due) {
        // A quiet second before it: a burst of its own.
        m_burst = Burst{message ? 0 : 1, message ? 1 : 0, arrival.severe, 0, m_burst.generation + 1};
        m_lastShownMs = now;
        m_shownOnce = true;
        show({arrival.summary(), arrival.body(), arrival.severe, 0}, arrival);
        return;
    }
    ++(message ? m_burst.messages : m_burst.reports);
    m_burst.severe = m_burst.severe || arrival.severe;
    m_latest = arrival;
    m_waiting = true;
    if (due)
        showFold();
    else if (!m_timer.isActive())
        m_timer.start(int(MinIntervalMs - (now - m_lastShownMs)));
}

void DesktopAlerts::onTimer()
{
    if (!m_waiting)
        return;
    const qint64 now = m_clock.monotonicMs();
    if (now - m_lastShownMs >= MinIntervalMs)
        showFold();
    else
        m_timer.start(int(MinIntervalMs - (now - m_lastShownMs)));
}

void DesktopAlerts::showFold()
{
    m_timer.stop();
    m_waiting = false;
    m_lastShownMs = m_clock.monotonicMs();
    if (!m_enabled)
        return;
    const QString latest = m_latest.summary() + u": "_s + m_latest.body();
    show({CountText(m_burst.reports, m_burst.messages), u"Latest: "_s + latest.left(MaxBodyLength),
          m_burst.severe, m_burst.id},
         m_latest);
}

void DesktopAlerts::show(const DesktopNotification &n, const Arrival &latest)
{
    const int generation = m_burst.generation;
    // The reply may come after the client is gone.
    m_notifier->notify(n, [self = QPointer<DesktopAlerts>(this), generation, latest](quint32 id) {
        if (self)
            self->remember(id, generation, latest);
    });
}

void DesktopAlerts::remember(quint32 id, int generation, const Arrival &latest)
{
    if (generation == m_burst.generation)
        m_burst.id = id;
    if (!m_shown.contains(id)) {
        m_shownOrder.append(id);
        if (m_shownOrder.size() > MaxRemembered)
            m_shown.remove(m_shownOrder.takeFirst());
    }
    m_shown.insert(id, latest);
}

void DesktopAlerts::clickedId(quint32 id)
{
    const auto it = m_shown.constFind(id);
    if (it != m_shown.constEnd())
        emit activated(*it);
}

bool NotifySetting::Read(const QString &path)
{
    const std::optional<QByteArray> bytes = FileLines::readFile(path);
    if (!bytes)
        return true;
    const QList<QByteArrayView> lines = FileLines::split(*bytes);
    return lines.isEmpty() || FileLines::trimmed(lines.first()) != "0";
}

std::optional<QString> NotifySetting::Write(const QString &path, bool on)
{
    QString why;
    if (FileLines::writeAtomically(path, on ? QByteArray("1\r\n") : QByteArray("0\r\n"), std::nullopt, &why))
        return std::nullopt;
    return why;
}
