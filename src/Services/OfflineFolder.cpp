#include "Services/OfflineFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace OfflineFolder {

namespace {

const QString kPartSuffix = QStringLiteral(".part");

bool isAudioFileName(const QString &name)
{
    for (const char *suffix : {".mp3", ".m4a", ".wav", ".audio"}) {
        if (name.endsWith(QLatin1String(suffix)))
            return true;
    }
    return false;
}

QStringList regularFiles(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
}

// Whether a lock on the file could be had now: no running download holds it.
bool isHeld(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

} // namespace

bool isPartFileName(const QString &name)
{
    return name.endsWith(kPartSuffix);
}

int createLocked(const QString &folder, const QString &name)
{
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
#ifdef O_TMPFILE
    // Unnamed until locked: no other store can take it for a leftover in between.
    int fd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::linkat(AT_FDCWD, self, AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW) == 0)
            return fd;
        ::close(fd);
    }
#endif
    const int named = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (named < 0)
        return -1;
    ::flock(named, LOCK_EX | LOCK_NB);
    return named;
}

bool removeUnlessHeld(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    // Held for the time of the removal, so that nobody takes the file meanwhile.
    const bool removed = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
        && ::unlink(native.constData()) == 0;
    ::close(fd);
    return removed;
}

int removeLeftoverParts(const QString &folder, const QSet<QString> &own)
{
    const QDir dir(folder);
    int removed = 0;
    for (const QString &name : regularFiles(folder)) {
        if (isPartFileName(name) && !own.contains(name) && removeUnlessHeld(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

void removeUnnamedFiles(const QString &folder, const QSet<QString> &named)
{
    const QDir dir(folder);
    for (const QString &name : regularFiles(folder)) {
        if (!isPartFileName(name) && !named.contains(name))
            removeUnlessHeld(dir.filePath(name));
    }
}

QList<OfflineTrackEntry> entriesFromFiles(const QString &folder, const QSet<QString> &named)
{
    const QDir dir(folder);
    QList<OfflineTrackEntry> entries;
    for (const QString &name : regularFiles(folder)) {
        const QString path = dir.filePath(name);
        if (named.contains(name) || !isAudioFileName(name) || !OfflineIndex::isPlainFileName(name) || isHeld(path))
            continue;
        const QFileInfo info(path);
        OfflineTrackEntry entry;
        entry.key = QStringLiteral("file|") + name;
        entry.title = QStringLiteral("بدون عنوان");
        entry.audioFileName = name;
        entry.sizeBytes = info.size();
        entry.downloadedAt = info.lastModified().toUTC();
        entries.append(std::move(entry));
    }
    OfflineIndex::sortNewestFirst(entries);
    return entries;
}

} // namespace OfflineFolder
