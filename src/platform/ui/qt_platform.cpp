#include "platform/ui/qt_platform.h"

#include <QAudioDevice>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputDialog>
#include <QMediaDevices>
#include <QMessageBox>
#include <QProcess>
#include <QSoundEffect>
#include <QSystemTrayIcon>
#include <QWidget>

Dialogs::Button QtDialogs::messageBox(const QString &text, const QString &title, Buttons buttons, Icon icon,
                                      Button defaultButton)
{
    QMessageBox box(m_parent);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setWindowTitle(title);
    static const QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Information,
                                              QMessageBox::Warning, QMessageBox::Critical,
                                              QMessageBox::Question};
    box.setIcon(icons[icon]);
    QMessageBox::StandardButtons std;
    switch (buttons) {
    case OkOnly:
        std = QMessageBox::Ok;
        break;
    case OkCancel:
        std = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case YesNo:
        std = QMessageBox::Yes | QMessageBox::No;
        break;
    case YesNoCancel:
        std = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    }
    box.setStandardButtons(std);
    auto toStd = [](Button b) {
        switch (b) {
        case Ok:
            return QMessageBox::Ok;
        case Cancel:
            return QMessageBox::Cancel;
        case Yes:
            return QMessageBox::Yes;
        case No:
            return QMessageBox::No;
        }
        return QMessageBox::Ok;
    };
    if (std.testFlag(toStd(defaultButton)))
        box.setDefaultButton(toStd(defaultButton));
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    case QMessageBox::Cancel:
        return Cancel;
    default:
        return buttons == YesNo ? No : (buttons == OkOnly ? Ok : Cancel);
    case QMessageBox::Ok:
        return Ok;
    }
}

std::optional<QString> QtDialogs::inputBox(const QString &prompt, const QString &title,
                                           const QString &defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString QtDialogs::openFile(const QString &title, const QString &directory, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, title, directory, filter);
}

std::optional<Dialogs::Font> QtDialogs::chooseFont(const Font &current)
{
    QFont initial(current.name, current.size);
    initial.setBold(current.bold);
    initial.setItalic(current.italic);
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, m_parent);
    if (!ok)
        return std::nullopt;
    return Font{f.family(), f.pointSize(), f.bold(), f.italic()};
}

QtSoundPlayer::QtSoundPlayer() = default;

QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::play(const QString &wavPath)
{
    if (m_effect)
        m_effect->stop();
    if (QMediaDevices::audioOutputs().isEmpty() || !QFileInfo::exists(wavPath))
        return;
    if (!m_effect)
        m_effect = std::make_unique<QSoundEffect>();
    m_effect->setSource(QUrl::fromLocalFile(wavPath));
    m_effect->play();
}

void QtSoundPlayer::stop()
{
    if (m_effect)
        m_effect->stop();
}

bool QtShell::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

bool QtShell::startProgram(const QString &path, const QStringList &arguments)
{
    return QProcess::startDetached(path, arguments);
}

bool QtWindowActions::isMinimised() const
{
    return m_window && m_window->isMinimized();
}

bool QtWindowActions::isInTray() const
{
    return m_window && m_window->isHidden();
}

void QtWindowActions::restoreFromMinimised()
{
    if (m_window)
        m_window->setWindowState(m_window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
}

void QtWindowActions::showFromTray()
{
    if (!m_window)
        return;
    m_window->show();
    if (m_tray)
        m_tray->hide();
    m_window->setWindowState((m_window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) |
                             Qt::WindowActive);
}

void QtWindowActions::bringToFront()
{
    restoreFromMinimised();
    if (!m_window || m_window->isHidden())
        return;
    m_window->raise();
    m_window->activateWindow();
}

void QtWindowActions::hideToTray()
{
    if (!m_window)
        return;
    if (m_tray && QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray->show();
        m_window->hide();
    } else {
        m_window->showMinimized();
    }
}
