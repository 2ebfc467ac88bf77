#pragma once

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "platform/sound_player.h"
#include "platform/window_actions.h"

#include <QFileInfo>
#include <QList>
#include <QQueue>
#include <QTimeZone>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

class FakeClock final : public Clock
{
public:
    // Local time is UTC plus offsetSeconds, or the zone's time once one is set.
    explicit FakeClock(QDateTime utc = QDateTime(QDate(2026, 12, 6), QTime(18, 0), Qt::UTC),
                       int offsetSeconds = -6 * 3600)
        : m_utc(utc), m_offset(offsetSeconds)
    {
    }
    QDateTime localNow() const override
    {
        QDateTime t = m_utc.toTimeZone(timeZone());
        return QDateTime(t.date(), t.time()); // as the local clock reads it
    }
    QDateTime utcNow() const override { return m_utc; }
    qint64 monotonicMs() const override { return m_monotonicMs; }
    QTimeZone timeZone() const override { return m_zone.isValid() ? m_zone : QTimeZone(m_offset); }
    // Time passes: both clocks move.
    void advance(qint64 seconds)
    {
        m_utc = m_utc.addSecs(seconds);
        m_monotonicMs += seconds * 1000;
    }
    // The wall clock is set: the monotonic clock does not move.
    void setUtc(const QDateTime &utc) { m_utc = utc; }
    void setOffsetSeconds(int s) { m_offset = s; }
    void setTimeZone(const QTimeZone &zone) { m_zone = zone; }

private:
    QDateTime m_utc;
    int m_offset;
    QTimeZone m_zone;
    qint64 m_monotonicMs = 1'000'000;
};

// Scripted answers; every box shown is recorded.
class FakeDialogs final : public Dialogs
{
public:
    struct Shown
    {
        QString text;
        QString title;
        Buttons buttons;
    };
    QList<Shown> shown;
    QQueue<Button> answers;                // default: Ok / Yes
    QQueue<std::optional<QString>> inputs; // default: cancelled
    QQueue<QString> files;                 // default: cancelled
    QQueue<std::optional<Font>> fonts;     // default: cancelled

    Button messageBox(const QString &text, const QString &title, Buttons buttons, Icon, Button) override
    {
        shown.append({text, title, buttons});
        if (!answers.isEmpty())
            return answers.dequeue();
        return buttons == YesNo || buttons == YesNoCancel ? Yes : Ok;
    }
    std::optional<QString> inputBox(const QString &prompt, const QString &title, const QString &) override
    {
        shown.append({prompt, title, OkCancel});
        return inputs.isEmpty() ? std::nullopt : inputs.dequeue();
    }
    QString openFile(const QString &, const QString &, const QString &) override
    {
        return files.isEmpty() ? QString() : files.dequeue();
    }
    std::optional<Font> chooseFont(const Font &) override
    {
        return fonts.isEmpty() ? std::nullopt : fonts.dequeue();
    }
    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().text; }
};

class FakeSoundPlayer final : public SoundPlayer
{
public:
    QStringList played;
    void play(const QString &wavPath) override { played.append(wavPath); }
    void stop() override {}
};

class FakeShell final : public Shell
{
public:
    QList<QUrl> opened;
    QStringList started;
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    bool startProgram(const QString &path, const QStringList &) override
    {
        started.append(path);
        return true;
    }
};

// Window actions and sounds written to one log, so that their order shows.
class FakeDesktopLog final : public WindowActions, public SoundPlayer
{
public:
    QStringList events; // "restore", "tray", "front", a sound's base name, "stop"
    bool minimised = false;
    bool inTray = false;
    bool isMinimised() const override { return minimised; }
    bool isInTray() const override { return inTray; }
    void restoreFromMinimised() override { events << u"restore"_s; }
    void showFromTray() override { events << u"tray"_s; }
    void bringToFront() override { events << u"front"_s; }
    void hideToTray() override {}
    void play(const QString &path) override { events << QFileInfo(path).completeBaseName(); }
    void stop() override { events << u"stop"_s; }
};
