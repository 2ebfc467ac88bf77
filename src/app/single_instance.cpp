#include "app/single_instance.h"

#include <QDir>
#include <QFileInfo>

SingleInstance::SingleInstance(const QString &dataDir)
{
    QDir().mkpath(dataDir);
    m_lock = std::make_unique<QLockFile>(QDir(dataDir).filePath(QStringLiteral("nimbrel.lock")));
    // A live holder is never stale however old its lock is; only a dead
    // holder's lock (checked by process id) is taken over.
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::tryAcquire(QString *error)
{
    if (m_lock->isLocked())
        return true;
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError && m_lock->removeStaleLockFile() && m_lock->tryLock(0))
        return true;
    // Only a lock held by a live copy means another copy; a lock file that
    // cannot be written (a full or read-only disk) must be told as such.
    if (m_lock->error() != QLockFile::LockFailedError && error)
        *error = WhyNotWritable(QFileInfo(m_lock->fileName()).absolutePath());
    return false;
}

QString SingleInstance::WhyNotWritable(const QString &folder)
{
    // The lock gives no reason of its own: a small write beside it finds the
    // system's ("No space left on device", "Read-only file system").
    QFile probe(folder + QStringLiteral("/nimbrel.lock.probe"));
    QString why;
    if (!probe.open(QIODevice::WriteOnly)) {
        why = probe.errorString();
    } else {
        if (probe.write("x", 1) != 1 || !probe.flush())
            why = probe.errorString();
        probe.close();
        probe.remove();
    }
    return why.isEmpty() ? QStringLiteral("the lock file could not be written") : why;
}

bool SingleInstance::isHeld() const
{
    return m_lock->isLocked();
}
