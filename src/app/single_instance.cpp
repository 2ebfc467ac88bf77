#include "app/single_instance.h"

#include <QDir>

SingleInstance::SingleInstance(const QString &dataDir)
{
    QDir().mkpath(dataDir);
    m_lock = std::make_unique<QLockFile>(QDir(dataDir).filePath(QStringLiteral("nimbrel.lock")));
    // A live holder is never stale however old its lock is; only a dead
    // holder's lock (checked by process id) is taken over.
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::tryAcquire()
{
    if (m_lock->isLocked())
        return true;
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError && m_lock->removeStaleLockFile())
        return m_lock->tryLock(0);
    return false;
}

bool SingleInstance::isHeld() const
{
    return m_lock->isLocked();
}
