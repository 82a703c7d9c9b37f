#include "SettingsLeftovers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Timestamps are coarse, and a test or a restore may set the two files down in either order.
constexpr qint64 SlackMs = 1000;

qint64 modifiedMs(const struct stat &info)
{
    return qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
}

// A live QLockFile holder keeps an exclusive flock() on its lock file for as long as it holds
// it; a lock left by a dead process is held by nobody, whatever it names. Removes such a lock
// and gives its modification time.
bool removeIfNotHeld(const QString &path, qint64 *modified = nullptr)
{
    const QByteArray native = QFile::encodeName(path);
    // Non-blocking, so that a FIFO under that name cannot stall the open.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    bool removed = false;
    struct stat opened = {};
    struct stat named = {};
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        // Only the file we hold: another process may have replaced it in the meantime.
        ::lstat(native.constData(), &named) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino) {
        removed = ::unlink(native.constData()) == 0;
        if (modified)
            *modified = modifiedMs(opened);
    }
    ::close(fd);
    return removed;
}

QString lockOf(const QString &file)
{
    return file + QStringLiteral(".lock");
}

// QLockFile's own guard while it removes a stale lock.
QString guardOf(const QString &file)
{
    return lockOf(file) + QStringLiteral(".rmlock");
}

} // namespace

QStringList SettingsLeftovers::removeStaleLocks(const QString &file)
{
    QStringList removed;
    for (const QString &lock : {lockOf(file), guardOf(file)}) {
        if (removeIfNotHeld(lock))
            removed << lock;
    }
    return removed;
}

QStringList SettingsLeftovers::removeAll(const QString &file)
{
    QStringList removed;
    const QString lockPath = lockOf(file);
    qint64 lockModified = 0;
    const bool lockLeft = removeIfNotHeld(lockPath, &lockModified);
    if (lockLeft)
        removed << lockPath;
    if (removeIfNotHeld(guardOf(file)))
        removed << guardOf(file);

    // A write's temporary exists only while the write holds the lock, so without a leftover lock
    // no temporary is ours.
    if (!lockLeft)
        return removed;
    // Held while looking, so that no writer in another process is halfway through.
    QLockFile lock(lockPath);
    if (!lock.tryLock(0))
        return removed;

    const QFileInfo info(file);
    const QDir dir = info.absoluteDir();
    // QSaveFile's temporary: the file name, a dot and six random letters or digits.
    const QRegularExpression temporary(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(info.fileName())));
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (!temporary.match(name).hasMatch())
            continue;
        const QString path = dir.filePath(name);
        const QByteArray native = QFile::encodeName(path);
        struct stat entry = {};
        // Ours: a plain file of this user, written after the write took the lock.
        if (::lstat(native.constData(), &entry) != 0 || !S_ISREG(entry.st_mode) ||
            entry.st_uid != ::geteuid() || modifiedMs(entry) < lockModified - SlackMs)
            continue;
        if (::unlink(native.constData()) == 0)
            removed << path;
    }
    return removed;
}
