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
    // False when another live copy holds the folder.
    bool tryAcquire();
    bool isHeld() const;

    static inline const QString AlreadyRunningText = QStringLiteral("Nimbrel Program is already running!");
    static inline const QString AlreadyRunningTitle = QStringLiteral("Nimbrel program is already running!");

private:
    std::unique_ptr<QLockFile> m_lock;
};
