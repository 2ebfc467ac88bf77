#pragma once

#include "base/alert_sounds.h"

#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class PaneWriter;
class QPlainTextEdit;
class QTimer;
class Shell;

// The area below the report list: quick chat, or in its place the server's
// announcement picture (ImageAdd) for twenty seconds at a time.
class QuickChatPanel final : public QWidget
{
    Q_OBJECT
public:
    QuickChatPanel(Shell &shell, AlertSounds sounds, QWidget *parent = nullptr);

    void ShowAnnouncement(const QString &imagePath, const QString &tooltip, const QString &link);
    void HideAnnouncement();
    void ImageAdd_Click();
    void Timer3_Timer();
    // The picture shows from load until Timer3's first tick.
    void startAnnouncementTimer();
    bool quickChatShown() const;
    // Escape with every typing box empty: quick chat gives way to the
    // picture for twenty seconds, or the picture to quick chat at once.
    void switchPlace();
    bool sendBoxEmpty() const;
    void clearSendBox();
    void AddQuickChatLine(const QString &line);
    // The status line's flash ended (its next tick): the received box is
    // black on white again.
    void EndHighlight();
    void setSendText(const QString &text);

signals:
    // Enter with text in the send box; the sender empties the box.
    void sendRequested(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setQuickChatShown(bool shown);

    Shell &m_shell;
    AlertSounds m_sounds;
    QLabel *m_label = nullptr;
    QCheckBox *m_audio = nullptr;
    QPlainTextEdit *m_received = nullptr;
    PaneWriter *m_writer = nullptr;
    bool m_highlighted = false;
    QPlainTextEdit *m_send = nullptr;
    QLabel *m_image = nullptr;
    QTimer *m_timer3 = nullptr;
    QString m_announcementLink;
};
