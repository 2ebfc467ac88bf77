#pragma once

#include "base/rgb.h"
#include "base/status_style.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

// The main window's one status line: its text and colours, the four-second
// flash of a report's colours, and the lines a subsystem shows that must
// stay for one full supervision interval. The window only draws it.
class StatusLine final : public QObject
{
    Q_OBJECT
public:
    static constexpr int FlashMs = 4'000;

    explicit StatusLine(QObject *parent = nullptr);

    // Red turns the background red, ButtonFace back to normal; Normal
    // leaves the colours as they are.
    void show(const QString &text, StatusStyle style = StatusStyle::Normal);
    // A subsystem's own line: the link restarts its supervision interval,
    // so its next state line does not overwrite this one at once.
    void showHeld(const QString &text);
    // Colours for four seconds, then the normal ones.
    void flash(const Rgb &fore, const Rgb &back);
    void endFlash();

    QString text() const { return m_text; }
    // Unset: the window's normal colour.
    std::optional<Rgb> fore() const { return m_fore; }
    std::optional<Rgb> back() const { return m_back; }
    bool flashing() const { return m_flash.isActive(); }

signals:
    void changed();
    void heldLineShown();
    // tmrStatusFlash's tick: the colours are back to normal.
    void flashEnded();

private:
    QString m_text;
    std::optional<Rgb> m_fore;
    std::optional<Rgb> m_back;
    QTimer m_flash;
};
