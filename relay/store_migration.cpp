#include "store_migration.h"

#include "relay_store.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

void print(FILE *f, const QString &text)
{
    std::fputs((text + u'\n').toLocal8Bit().constData(), f);
    std::fflush(f);
}

} // namespace

int RunMigrate(const QStringList &arguments, FILE *out, FILE *err)
{
    QString from, to;
    for (qsizetype i = 0; i + 1 < arguments.size(); i += 2) {
        if (arguments.at(i) == QLatin1String("--from"))
            from = arguments.at(i + 1);
        else if (arguments.at(i) == QLatin1String("--to"))
            to = arguments.at(i + 1);
        else
            from.clear();
    }
    if (arguments.size() != 4 || from.isEmpty() || to.isEmpty()) {
        print(err, QStringLiteral(
                       "usage: nimbrel-relay migrate --from FILE --to postgresql://USER@HOST:PORT/DBNAME"));
        return 2;
    }
    const auto fail = [&](const QString &why) {
        print(err, QStringLiteral("nimbrel-relay migrate: %1").arg(why));
        return 1;
    };
    if (IsDatabaseAddress(from) || !QFileInfo(from).isFile())
        return fail(QStringLiteral("%1 is no SQLite file of the relay").arg(from));
    if (!IsDatabaseAddress(to))
        return fail(QStringLiteral("--to takes a postgresql:// address"));
    RelayStore source, target;
    QString why;
    if (!source.open(from, &why))
        return fail(QStringLiteral("cannot open %1: %2").arg(from, why));
    if (!target.open(to, &why))
        return fail(QStringLiteral("cannot open %1: %2").arg(to, why));
    const int already = target.accountCount();
    if (already != 0)
        return fail(already < 0
                        ? QStringLiteral("cannot count the accounts in %1").arg(to)
                        : QStringLiteral("%1 holds %2 accounts already: nothing copied (copying is for "
                                         "a new database only)")
                              .arg(to)
                              .arg(already));
    const QList<AccountRecord> accounts = source.accounts();
    const QList<StoredReport> reports = source.reportsSince(QDateTime::fromMSecsSinceEpoch(0, Qt::UTC));
    if (!target.importAll(accounts, reports, &why))
        return fail(QStringLiteral("copy failed, nothing copied: %1").arg(why));
    print(out, QStringLiteral("copied %1 accounts and %2 reports from %3")
                   .arg(accounts.size())
                   .arg(reports.size())
                   .arg(from));
    return 0;
}
