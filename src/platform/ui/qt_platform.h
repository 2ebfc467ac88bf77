#pragma once

#include "platform/dialogs.h"
#include "platform/shell.h"
#include "platform/sound_player.h"
#include "platform/window_actions.h"

#include <QPointer>

#include <memory>

class QSoundEffect;
class QSystemTrayIcon;
class QWidget;

class QtDialogs final : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    Button messageBox(const QString &text, const QString &title, Buttons buttons, Icon icon,
                      Button defaultButton) override;
    std::optional<QString> inputBox(const QString &prompt, const QString &title,
                                    const QString &defaultText) override;
    QString openFile(const QString &title, const QString &directory, const QString &filter) override;
    std::optional<Font> chooseFont(const Font &current) override;

private:
    QPointer<QWidget> m_parent;
};

// QSoundEffect with PCM wave files; silent, without waiting, where there is
// no audio output.
class QtSoundPlayer final : public SoundPlayer
{
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    void play(const QString &wavPath) override;
    void stop() override;

private:
    std::unique_ptr<QSoundEffect> m_effect;
};

class QtShell final : public Shell
{
public:
    bool openUrl(const QUrl &url) override;
    bool startProgram(const QString &path, const QStringList &arguments) override;
};

// The main window as the tray and the alert stage move it. Hidden means in
// the tray; coming back removes the tray icon.
class QtWindowActions final : public WindowActions
{
public:
    QtWindowActions(QWidget *window, QSystemTrayIcon *tray) : m_window(window), m_tray(tray) {}
    bool isMinimised() const override;
    bool isInTray() const override;
    // Normal size: neither minimised nor maximised.
    void restoreFromMinimised() override;
    void showFromTray() override;
    // Normal size, then in front of other programs without staying on top.
    // A window hidden in the tray stays hidden.
    void bringToFront() override;
    void hideToTray() override;

private:
    QPointer<QWidget> m_window;
    QSystemTrayIcon *m_tray;
};
