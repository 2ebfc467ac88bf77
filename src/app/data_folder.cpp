#include "app/data_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString kOption = QStringLiteral("--data-dir");
}

QString DataDirArgument(const QStringList &arguments, QString *error)
{
    QString value;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--"))
            break;
        if (a == kOption) {
            if (i + 1 >= arguments.size()) {
                if (error)
                    *error = QStringLiteral("Missing value after '--data-dir'.");
                return QString();
            }
            value = arguments[++i];
        } else if (a.startsWith(kOption + QLatin1Char('='))) {
            value = a.mid(kOption.size() + 1);
        }
    }
    return value;
}

DataFolder ResolveDataFolder(const QStringList &arguments)
{
    DataFolder result;
    QString dir = DataDirArgument(arguments, &result.error);
    if (!result.ok())
        return result;
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty()) {
        result.error = QStringLiteral("No folder for the program's files could be found.");
        return result;
    }
    result.path = QDir::cleanPath(QDir::current().absoluteFilePath(dir));
    // The nearest part of the path that exists says why it cannot be made.
    QFileInfo info(result.path);
    while (!info.exists() && info.absolutePath() != info.absoluteFilePath())
        info.setFile(info.absolutePath());
    if (info.exists() && !info.isDir())
        result.error = QStringLiteral("The data folder %1 cannot be used: %2 is a file, not a folder.")
                           .arg(result.path, info.absoluteFilePath());
    else if (!QDir().mkpath(result.path))
        result.error = QStringLiteral("The data folder %1 could not be created: %2 cannot be written to.")
                           .arg(result.path, info.absoluteFilePath());
    else if (!QFileInfo(result.path).isWritable())
        result.error = QStringLiteral("The data folder %1 cannot be written to.").arg(result.path);
    return result;
}
