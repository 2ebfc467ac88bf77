#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// One running copy per data folder. The lock lives in the folder; a lock left
// behind by a process that no longer exists is stale and taken over.
class SingleInstance final
{
public:
    explicit SingleInstance(const QString &dataDir);
    // False when another live copy holds the folder, or when the lock file
    // cannot be written (a full or read-only disk); error then says why and
    // stays empty for another copy.
    bool tryAcquire(QString *error = nullptr);
    bool isHeld() const;

    // The system's reason why nothing can be written in folder.
    static QString WhyNotWritable(const QString &folder);
    // A data folder the program cannot use: the window that says so.
    static inline const QString CannotStartTitle = QStringLiteral("Nimbrel cannot start");
    static inline const QString AlreadyRunningText = QStringLiteral("Nimbrel Program is already running!");
    static inline const QString AlreadyRunningTitle = QStringLiteral("Nimbrel program is already running!");

private:
    std::unique_ptr<QLockFile> m_lock;
};
