#pragma once

#include <QString>
#include <QStringList>

struct SettingsRecord;

namespace Startup {

// The files a first start copies into the data folder when they are missing,
// so a user can replace them.
QStringList DefaultFileNames(); // Terms.txt, Help.txt, the four sounds and the help pages
// Copies each of names from sourceDir (a resource folder such as ":/") into
// dataDir unless a file of that name exists there. Returns the names copied.
QStringList CopyMissingDefaults(const QString &sourceDir, const QString &dataDir, const QStringList &names);

// "3:" + minute 00..30 + " AM", the nightly summary time of this run.
QString NightlyTime(int minute);

// The sign-off (DOB) message sent at exit: the whole message upper-cased.
QString SignOffMessage(const SettingsRecord &settings);

// The raw receive view opens only for maintainers' user names.
bool IsMaintainerName(const QString &userName);

// The text of a whole file, empty when it is missing.
QString ReadTextFile(const QString &path);

} // namespace Startup
