#pragma once

#include <QString>
#include <QStringList>

// main() sets this as the application name, so that the per-user
// application data folder is ".../Nimbrel".
inline const QString ApplicationName = QStringLiteral("Nimbrel");

struct DataFolder
{
    QString path;  // absolute, exists when error is empty
    QString error; // a sentence for the user when the folder is unusable
    bool ok() const { return error.isEmpty(); }
};

// The value of "--data-dir DIR" or "--data-dir=DIR" in arguments (the
// program name first, as QCoreApplication::arguments() gives it); the last
// one wins, and "--" ends the options. Empty when absent. error is set when
// the option has no value.
QString DataDirArgument(const QStringList &arguments, QString *error = nullptr);

// The folder every file of the client lives in: --data-dir when given,
// otherwise the per-user application data folder. Created when missing.
DataFolder ResolveDataFolder(const QStringList &arguments);
