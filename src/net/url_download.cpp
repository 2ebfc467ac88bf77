#include "net/url_download.h"

#include "base/wire_codec.h"

#include <QCoreApplication>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>

#include <memory>

namespace UrlDownload {

QString invalidArgumentText()
{
    return QStringLiteral("Invalid procedure call or argument");
}
QString internetOpenText()
{
    return QStringLiteral("An error occurred calling InternetOpen function");
}
QString internetOpenUrlText()
{
    // The function name stays in the text: users quote this error in support requests as it stands.
    return QStringLiteral("An error occurred calling InternetOpenUrl function");
}
QString fileAccessText()
{
    return QStringLiteral("Path/File access error");
}

QString StateText(int state)
{
    switch (state) {
    case 1:
        return QStringLiteral("1 - Resolving host");
    case 2:
        return QStringLiteral("2 - Host resolved");
    case 3:
        return QStringLiteral("3 - Connecting");
    case 4:
        return QStringLiteral("4 - Connected");
    case 5:
        return QStringLiteral("5 - Requesting");
    case 6:
        return QStringLiteral("6 - Request sent");
    case 7:
        return QStringLiteral("7 - Receiving response");
    case 8:
        return QStringLiteral("8 - Response received");
    case 9:
        return QStringLiteral("9 - disconnecting");
    case 10:
        return QStringLiteral("10 - Disconnected");
    case 11:
        return QStringLiteral("11 - error, please verify Internet connection and try again.");
    case 12:
        return QStringLiteral("12 - response completed");
    default:
        return QString();
    }
}

QString UserAgent()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("nimbrel") : QStringLiteral("nimbrel/") + version;
}

bool IsWebAddress(QStringView path)
{
    return path.size() >= 5 && path.first(5).compare(u"HTTP:", Qt::CaseInsensitive) == 0;
}

} // namespace UrlDownload

namespace {

DownloadError internetError(const QString &detail)
{
    return {UrlDownload::InternetError, UrlDownload::internetOpenUrlText(), detail};
}

DownloadError fileAccessError(const QString &detail)
{
    return {UrlDownload::FileAccessError, UrlDownload::fileAccessText(), detail};
}

DownloadError invalidArgument()
{
    return {UrlDownload::InvalidArgument, UrlDownload::invalidArgumentText(), QString()};
}

// Only web pages are fetched: a file: or custom-scheme address from a list
// or the network must not read local files.
bool isFetchable(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// Why a transfer of url cannot start; ok() when it can.
DownloadError addressError(const QString &url)
{
    if (url.isEmpty())
        return invalidArgument();
    if (!isFetchable(QUrl(url)))
        return internetError(QStringLiteral("not a web address: %1").arg(url));
    return {};
}

} // namespace

struct UrlDownloader::Transfer
{
    enum class Kind { File, Text, GetFile };
    Kind kind = Kind::Text;
    QPointer<QNetworkReply> reply;
    QPointer<QObject> context;
    bool hasContext = false;
    std::unique_ptr<QSaveFile> file;
    QByteArray body;
    qint64 received = 0;
    bool receiving = false;
    FileDone fileDone;
    TextDone textDone;
    GetFileDone getFileDone;
};

UrlDownloader::UrlDownloader(QObject *parent) : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

UrlDownloader::~UrlDownloader()
{
    for (const quint64 id : m_transfers.keys())
        take(id, true);
}

void UrlDownloader::setDeadline(int ms)
{
    m_deadlineMs = ms;
}

void UrlDownloader::setTransferTimeout(int ms)
{
    m_timeoutMs = ms;
}
void UrlDownloader::setMaxBytes(qint64 bytes)
{
    m_maxBytes = bytes;
}

quint64 UrlDownloader::CopyURLToFile(const QString &url, const QString &fileName, FileDone done,
                                     QObject *context)
{
    const DownloadError error = fileName.isEmpty() ? invalidArgument() : addressError(url);
    if (!error.ok()) {
        if (done)
            done(error);
        return 0;
    }
    Transfer t;
    t.kind = Transfer::Kind::File;
    t.fileDone = std::move(done);
    t.file = std::make_unique<QSaveFile>(fileName);
    return start(QUrl(url), std::move(t), context);
}

void UrlDownloader::GetFile(const QString &pathOrAddress, GetFileDone done, QObject *context)
{
    auto reply = [&](const QString &text) {
        if (done)
            done(text);
    };
    if (pathOrAddress.isEmpty())
        return reply(QString());
    if (UrlDownload::IsWebAddress(pathOrAddress)) {
        if (m_getFileId != 0 && m_transfers.contains(m_getFileId)) {
            // One fetch at a time: the earlier one is given up, not waited for.
            finishTransfer(m_getFileId, internetError(QStringLiteral("cancelled")));
            return reply(QString());
        }
        const QUrl address(pathOrAddress);
        if (!isFetchable(address))
            return reply(QString());
        Transfer t;
        t.kind = Transfer::Kind::GetFile;
        t.getFileDone = std::move(done);
        m_getFileId = start(address, std::move(t), context);
        return;
    }
    QFile file(pathOrAddress);
    if (!file.open(QIODevice::ReadOnly))
        return reply(QString());
    // Read one byte past the cap: a device that reports no size is bounded too.
    const QByteArray bytes = file.read(m_maxBytes + 1);
    if (bytes.size() > m_maxBytes)
        return reply(QString());
    reply(WireCodec::decode(bytes));
}

quint64 UrlDownloader::fetchText(const QString &url, TextDone done, QObject *context)
{
    const DownloadError error = addressError(url);
    if (!error.ok()) {
        if (done)
            done(error, QString());
        return 0;
    }
    Transfer t;
    t.kind = Transfer::Kind::Text;
    t.textDone = std::move(done);
    return start(QUrl(url), std::move(t), context);
}

void UrlDownloader::abort(quint64 id)
{
    take(id, true);
}

std::unique_ptr<UrlDownloader::Transfer> UrlDownloader::take(quint64 id, bool cancelFile)
{
    std::unique_ptr<Transfer> t(m_transfers.take(id));
    if (!t)
        return t;
    if (id == m_getFileId)
        m_getFileId = 0;
    if (t->reply) {
        t->reply->disconnect(this);
        if (t->reply->isRunning())
            t->reply->abort();
        t->reply->deleteLater();
    }
    if (t->file && cancelFile)
        t->file->cancelWriting();
    return t;
}

quint64 UrlDownloader::start(const QUrl &url, Transfer &&transfer, QObject *context)
{
    const quint64 id = m_nextId++;
    auto *t = new Transfer(std::move(transfer));
    t->context = context;
    t->hasContext = context != nullptr;
    if (t->file && !t->file->open(QIODevice::WriteOnly)) {
        const QString detail = t->file->errorString();
        FileDone done = std::move(t->fileDone);
        const bool live = !t->hasContext || t->context;
        delete t;
        if (done && live)
            done(fileAccessError(detail));
        return 0;
    }
    QNetworkRequest request(url);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setTransferTimeout(m_timeoutMs);
    request.setHeader(QNetworkRequest::UserAgentHeader, UrlDownload::UserAgent());
    m_transfers.insert(id, t);
    if (t->kind != Transfer::Kind::File)
        emit progress(5, UrlDownload::StateText(5));
    QNetworkReply *reply = m_manager->get(request);
    t->reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, id] { onReadyRead(id); });
    connect(reply, &QNetworkReply::finished, this, [this, id] { onFinished(id); });
    // The inactivity time-out alone lets a host that trickles bytes keep a
    // transfer open for ever.
    QTimer::singleShot(m_deadlineMs, reply, [this, id] {
        fail(id, internetError(QStringLiteral("no complete answer within %1 ms").arg(m_deadlineMs)));
    });
    return id;
}

void UrlDownloader::onReadyRead(quint64 id)
{
    Transfer *t = m_transfers.value(id);
    if (!t || !t->reply)
        return;
    if (!t->receiving) {
        t->receiving = true;
        if (t->kind != Transfer::Kind::File)
            emit progress(7, UrlDownload::StateText(7));
    }
    // An error page is not the resource: its body is never kept.
    const int status = t->reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray chunk = t->reply->readAll();
    // An error page counts against the cap too, though it is never kept.
    t->received += chunk.size();
    if (t->received > m_maxBytes) {
        fail(id, internetError(QStringLiteral("response larger than %1 bytes").arg(m_maxBytes)));
        return;
    }
    if (status >= 400)
        return;
    if (t->file) {
        if (t->file->write(chunk) != chunk.size())
            fail(id, fileAccessError(t->file->errorString()));
    } else {
        t->body.append(chunk);
    }
}

void UrlDownloader::onFinished(quint64 id)
{
    Transfer *t = m_transfers.value(id);
    if (!t || !t->reply)
        return;
    QNetworkReply *reply = t->reply;
    if (reply->bytesAvailable() > 0)
        onReadyRead(id);
    t = m_transfers.value(id);
    if (!t)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError) {
        fail(id, internetError(reply->errorString()));
        return;
    }
    if (status >= 400) {
        fail(id, internetError(QStringLiteral("HTTP status %1").arg(status)));
        return;
    }
    if (t->file && !t->file->commit()) {
        fail(id, fileAccessError(t->file->errorString()));
        return;
    }
    if (t->kind != Transfer::Kind::File) {
        emit progress(8, UrlDownload::StateText(8));
        emit progress(12, UrlDownload::StateText(12));
    }
    finishTransfer(id, DownloadError());
}

void UrlDownloader::fail(quint64 id, const DownloadError &error)
{
    Transfer *t = m_transfers.value(id);
    if (t && t->kind != Transfer::Kind::File)
        emit progress(UrlDownload::ErrorState, UrlDownload::StateText(UrlDownload::ErrorState));
    finishTransfer(id, error);
}

void UrlDownloader::finishTransfer(quint64 id, const DownloadError &error)
{
    const std::unique_ptr<Transfer> t = take(id, !error.ok());
    if (!t || (t->hasContext && !t->context))
        return;
    const QString text = error.ok() ? WireCodec::decode(t->body) : QString();
    switch (t->kind) {
    case Transfer::Kind::File:
        if (t->fileDone)
            t->fileDone(error);
        break;
    case Transfer::Kind::Text:
        if (t->textDone)
            t->textDone(error, text);
        break;
    case Transfer::Kind::GetFile:
        if (t->getFileDone)
            t->getFileDone(text);
        break;
    }
}
