#include "net/server_notices.h"

#include "base/client_state.h"
#include "net/dispatcher.h"
#include "net/protocol.h"
#include "net/server_link.h"
#include "net/url_download.h"
#include "platform/shell.h"

#include <QFile>
#include <QUrl>

ServerNotices::ServerNotices(ClientState &state, ServerLink &link, UrlDownloader &downloader,
                             std::function<void()> saveSettings, QObject *parent)
    : QObject(parent), m_state(state), m_serverLink(link), m_downloader(downloader),
      m_saveSettings(std::move(saveSettings))
{
}

void ServerNotices::registerOn(Dispatcher &dispatcher)
{
    dispatcher.setHandler(u"HUB", [this](const QString &m) { HandleServerRedirect(m); });
    dispatcher.setHandler(u"GAD", [this](const QString &m) { HandleGraphicAnnouncement(m); });
    dispatcher.setHandler(u"BAN", [this](const QString &m) { HandleBan(m); });
    dispatcher.setHandler(u"C12", [this](const QString &m) { HandleTerminate(m); });
}

QString ServerNotices::AnnouncementFileName(QStringView imageAddress)
{
    // The type comes from the address's path only, and only a known picture
    // type is used, so the address can never name a file elsewhere or of
    // another kind.
    const QString path = QUrl(imageAddress.toString()).path();
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0 || path.indexOf(u'/', dot) >= 0)
        return QString();
    const QString type = path.mid(dot + 1).toLower();
    static const QStringList known = {QStringLiteral("gif"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                      QStringLiteral("png"), QStringLiteral("bmp")};
    if (!known.contains(type))
        return QString();
    return QStringLiteral("add.") + type;
}

bool ServerNotices::NameMatches(const QString &ownName, const QString &name)
{
    return ownName.isEmpty() || ownName.toUpper() == name.toUpper();
}

QString ServerNotices::BanText()
{
    return QStringLiteral("You are no longer eligible to use this service.");
}

void ServerNotices::HandleServerRedirect(const QString &message)
{
    const QStringList fields = SplitFields(message);
    m_serverLink.connectTo(FieldAt(fields, 0), FieldAt(fields, 1));
}

void ServerNotices::HandleGraphicAnnouncement(const QString &message)
{
    const QStringList fields = SplitFields(message);
    const QString image = FieldAt(fields, 0);
    const QString toolTip = FieldAt(fields, 1);
    const QString link = FieldAt(fields, 2);
    // The link the announcement opens when clicked: empty when none or not
    // a web page.
    const QString safeLink = IsSafeNetworkUrl(QUrl(link)) ? link : QString();

    // A newer announcement replaces one whose picture is still on its way.
    if (m_download != 0) {
        m_downloader.abort(m_download);
        m_download = 0;
    }
    const QString name = AnnouncementFileName(image);
    if (name.isEmpty() || !IsSafeNetworkUrl(QUrl(image))) {
        emit announcementReady(QString(), toolTip, safeLink);
        return;
    }
    const QString file = m_state.filePath(name);
    m_download = m_downloader.CopyURLToFile(
        image, file,
        [this, file, toolTip, safeLink](const DownloadError &error) {
            m_download = 0;
            emit announcementReady(error.ok() && QFile::exists(file) ? file : QString(), toolTip, safeLink);
        },
        this);
}

void ServerNotices::HandleBan(const QString &message)
{
    if (!NameMatches(m_state.settings.UserName, FieldAt(SplitFields(message), 0)))
        return;
    m_state.settings.Ineligible = 1;
    if (m_saveSettings)
        m_saveSettings();
    emit banned(BanText(), BanText());
}

void ServerNotices::HandleTerminate(const QString &message)
{
    if (NameMatches(m_state.settings.UserName, FieldAt(SplitFields(message), 0)))
        emit terminateRequested();
}
