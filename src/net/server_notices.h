#pragma once

#include <QObject>
#include <QString>
#include <QStringView>

#include <functional>

struct ClientState;
class Dispatcher;
class ServerLink;
class UrlDownloader;

// The server steering this client: HUB, GAD, BAN and C12. Decisions are
// made here; the window only applies the signals.
class ServerNotices final : public QObject
{
    Q_OBJECT

public:
    // How long an announcement stays after its last GAD (Timer3).
    static constexpr int AnnouncementMs = 20'000;

    ServerNotices(ClientState &state, ServerLink &link, UrlDownloader &downloader,
                  std::function<void()> saveSettings, QObject *parent = nullptr);

    void registerOn(Dispatcher &dispatcher);

    void HandleServerRedirect(const QString &message);      // HUB
    void HandleGraphicAnnouncement(const QString &message); // GAD
    void HandleBan(const QString &message);                 // BAN
    void HandleTerminate(const QString &message);           // C12

    // "add." + the picture type of the image address, or empty when the
    // address names no known picture type (gif, jpg, jpeg, png, bmp).
    static QString AnnouncementFileName(QStringView imageAddress);
    // An empty own name matches every name; otherwise both upper-cased.
    static bool NameMatches(const QString &ownName, const QString &name);
    static QString BanText(); // also the box's title

signals:
    // Show the announcement over the quick-chat area for AnnouncementMs from
    // now. imageFile is the freshly downloaded picture, or empty when the
    // previous picture stays. toolTip is plain text from the network.
    void announcementReady(const QString &imageFile, const QString &toolTip, const QString &link);
    // Show BanText() as text and title, then end the program.
    void banned(const QString &text, const QString &title);
    // End the program at once: no message, nothing sent, nothing saved.
    void terminateRequested();

private:
    ClientState &m_state;
    ServerLink &m_serverLink;
    UrlDownloader &m_downloader;
    std::function<void()> m_saveSettings;
    quint64 m_download = 0;
};
