#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// What a caller of a download sees when it fails. number 0 means success;
// otherwise number and description are the values this program has always
// reported for the failure, and detail says what actually went wrong.
struct DownloadError
{
    qint64 number = 0;
    QString description;
    QString detail;

    bool ok() const { return number == 0; }
};

namespace UrlDownload {

// An empty address or file name.
inline constexpr qint64 InvalidArgument = 5;
// The session or the address could not be opened (hexadecimal 800403E8).
inline constexpr qint64 InternetError = -2147220504;
// The target file could not be written.
inline constexpr qint64 FileAccessError = 75;

QString invalidArgumentText(); // "Invalid procedure call or argument"
QString internetOpenText();    // "An error occurred calling InternetOpen function"
QString internetOpenUrlText(); // "An error occurred calling InternetOpenUrl function"
QString fileAccessText();      // "Path/File access error"

// The status-line caption of a transfer state 1..12; empty for any other.
QString StateText(int state);
// State 11 also turns the status line red.
inline constexpr int ErrorState = 11;

// A path is a web address when its first five characters are "HTTP:" in any
// letter case.
bool IsWebAddress(QStringView path);

// "nimbrel/<version>": what every request names itself.
QString UserAgent();

} // namespace UrlDownload

// The program's one HTTP client. Every transfer is asynchronous and ends in a
// continuation on the caller's thread; nothing ever blocks or spins a nested
// event loop. Only http and https addresses are fetched, redirects are
// followed only to addresses no less safe and at most MaxRedirects times, a
// transfer that stalls longer than the transfer time-out is abandoned, and a
// response larger than maxBytes() is refused.
//
// A continuation given a context object is dropped when that object is
// destroyed first. A continuation may run before the call returns (empty
// arguments, local files).
class UrlDownloader final : public QObject
{
    Q_OBJECT

public:
    using FileDone = std::function<void(const DownloadError &error)>;
    using TextDone = std::function<void(const DownloadError &error, const QString &text)>;
    using GetFileDone = std::function<void(const QString &text)>;

    static constexpr int MaxRedirects = 5;
    static constexpr int DefaultTransferTimeoutMs = 30'000;
    static constexpr qint64 DefaultMaxBytes = 16 * 1024 * 1024;
    // Every transfer ends by then, however slowly bytes keep coming.
    static constexpr int DefaultDeadlineMs = 120'000;

    explicit UrlDownloader(QObject *parent = nullptr);
    ~UrlDownloader() override;

    void setTransferTimeout(int ms);
    void setDeadline(int ms);
    void setMaxBytes(qint64 bytes);
    qint64 maxBytes() const { return m_maxBytes; }

    // Copies the resource at url into fileName. The file is replaced only
    // when the whole resource arrived; a failed transfer (an HTTP error
    // status included) leaves any earlier file untouched. Returns an id for
    // abort(), or 0 when the call ended at once.
    quint64 CopyURLToFile(const QString &url, const QString &fileName, FileDone done,
                          QObject *context = nullptr);

    // The whole text at pathOrAddress: fetched when it is a web address,
    // read from disk otherwise; empty text when there is nothing to return.
    // A web fetch still running from an earlier GetFile is cancelled (its
    // caller gets empty text) and this call returns empty text too.
    void GetFile(const QString &pathOrAddress, GetFileDone done, QObject *context = nullptr);

    // The body of a small text resource (the server address file).
    quint64 fetchText(const QString &url, TextDone done, QObject *context = nullptr);

    // Drops a transfer without calling its continuation.
    void abort(quint64 id);

    // True while any transfer is in flight.
    bool busy() const { return !m_transfers.isEmpty(); }

signals:
    // Progress of the fetches GetFile and fetchText make, as the status line
    // shows it: state 1..12 and its caption (see StateText).
    void progress(int state, const QString &text);

private:
    struct Transfer;
    quint64 start(const QUrl &url, Transfer &&transfer, QObject *context);
    void onReadyRead(quint64 id);
    void onFinished(quint64 id);
    void fail(quint64 id, const DownloadError &error);
    void finishTransfer(quint64 id, const DownloadError &error);
    // Takes a transfer out of the table and stops its reply; its file is
    // given up when cancelFile is set.
    std::unique_ptr<Transfer> take(quint64 id, bool cancelFile);

    QNetworkAccessManager *m_manager;
    QHash<quint64, Transfer *> m_transfers;
    quint64 m_nextId = 1;
    quint64 m_getFileId = 0;
    int m_timeoutMs = DefaultTransferTimeoutMs;
    int m_deadlineMs = DefaultDeadlineMs;
    qint64 m_maxBytes = DefaultMaxBytes;
};
