#include "app/startup.h"

#include "base/settings.h"
#include "net/protocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace Startup {

QStringList DefaultFileNames()
{
    return {QStringLiteral("Terms.txt"),
            QStringLiteral("Help.txt"),
            QStringLiteral("Nimbrel.wav"),
            QStringLiteral("Routine.wav"),
            QStringLiteral("WXMsg.wav"),
            QStringLiteral("qc.wav"),
            QStringLiteral("help/help.htm"),
            QStringLiteral("help/guidelines.htm"),
            QStringLiteral("help/softwarefaq.htm"),
            QStringLiteral("help/donate.htm")};
}

QStringList CopyMissingDefaults(const QString &sourceDir, const QString &dataDir, const QStringList &names)
{
    QStringList copied;
    QDir().mkpath(dataDir);
    for (const QString &name : names) {
        const QString target = QDir(dataDir).filePath(name);
        if (QFileInfo::exists(target))
            continue;
        QDir().mkpath(QFileInfo(target).path()); // the help pages have their own folder
        QFile source(QDir(sourceDir).filePath(name));
        if (!source.open(QIODevice::ReadOnly))
            continue;
        QSaveFile out(target);
        if (!out.open(QIODevice::WriteOnly))
            continue;
        out.write(source.readAll());
        if (out.commit())
            copied.append(name);
    }
    return copied;
}

QString NightlyTime(int minute)
{
    return QStringLiteral("3:%1 AM").arg(minute, 2, 10, QLatin1Char('0'));
}

QString SignOffMessage(const SettingsRecord &s)
{
    return UpperCaseWire(ServerMessage(u"DOB", {EscapeOutgoing(s.UserState), EscapeOutgoing(s.UserCounty),
                                                EscapeOutgoing(s.UserZip), s.UserName}));
}

bool IsMaintainerName(const QString &userName)
{
    return userName.contains(QStringLiteral("QX9ZQ"), Qt::CaseSensitive);
}

QString ReadTextFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.readAll());
}

} // namespace Startup
