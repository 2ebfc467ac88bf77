#pragma once

#include "platform/notifier.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

class Clock;

// What arrived that a spotter must not miss: a report or warning that passed
// the alert screening at the sound level, or a message for him.
struct Arrival
{
    enum Kind { Report, Warning, Message };
    Kind kind = Report;
    QString sender;
    QString where; // the report's place, or the message's addressee
    QString text;
    QString time; // the report's time as listed: finds its row again
    bool severe = false;

    QString summary() const;
    QString body() const;
};

// Turns arrivals into desktop notifications, at most one a second. The first
// arrival after a quiet second gets its own notification; what comes in the
// second after it waits and is folded into one "N new reports" notification
// that replaces the burst's previous one, so a flood never floods the desktop.
// Counts what arrived since the window was last shown, for the tray.
class DesktopAlerts final : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MinIntervalMs = 1'000;
    // Bodies are cut like every field from the network.
    static constexpr qsizetype MaxBodyLength = 2'000;
    static inline const QString TrayTitle = QStringLiteral("Nimbrel Program");

    // notifier may be null: then only the counts are kept.
    DesktopAlerts(const Clock &clock, Notifier *notifier, QObject *parent = nullptr);

    void setEnabled(bool on) { m_enabled = on; }
    bool enabled() const { return m_enabled; }

    void add(const Arrival &arrival);
    // The main window was shown: the counts start again.
    void windowShown();
    QString trayToolTip() const;

    // "3 new reports, 1 new message"
    static QString CountText(int reports, int messages);

signals:
    void trayToolTipChanged(const QString &text);
    // A notification was clicked; arrival is what it showed last.
    void activated(const Arrival &arrival);

private:
    struct Burst
    {
        int reports = 0;
        int messages = 0;
        bool severe = false;
        quint32 id = 0; // the service's id for the burst's notification
        int generation = 0;
    };
    void show(const DesktopNotification &n, const Arrival &latest);
    void showFold();
    void onTimer();
    void remember(quint32 id, int generation, const Arrival &latest);
    void clickedId(quint32 id);

    const Clock &m_clock;
    Notifier *m_notifier;
    bool m_enabled = true;
    Burst m_burst;
    bool m_waiting = false; // arrivals folded but not shown yet
    Arrival m_latest;
    qint64 m_lastShownMs = 0;
    bool m_shownOnce = false;
    QTimer m_timer;
    // What each recent notification showed last, for its click.
    QHash<quint32, Arrival> m_shown;
    QList<quint32> m_shownOrder;
    int m_reportsSinceShown = 0;
    int m_messagesSinceShown = 0;
};

// "Show desktop notifications" lives in a file of its own in the data folder:
// Settings.dat has a fixed set of fields that other clients read too.
namespace NotifySetting {
inline const QString FileName = QStringLiteral("Notify.txt");
// On unless the file's first line is "0".
bool Read(const QString &path);
// The reason when it could not be written.
std::optional<QString> Write(const QString &path, bool on);
} // namespace NotifySetting
