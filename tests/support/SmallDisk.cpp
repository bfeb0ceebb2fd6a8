#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>
#include <sys/statvfs.h>

namespace testing_support {

namespace {

const char *const kFillerName = ".filler";

} // namespace

SmallDisk::SmallDisk(QString folder, qint64 bytes)
    : m_folder(std::move(folder))
{
    if (!QDir().mkpath(m_folder))
        return;
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
    m_mounted = ::mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                        options.constData())
        == 0;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
}

qint64 SmallDisk::freeBytes() const
{
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(m_folder).constData(), &fs) != 0)
        return -1;
    return qint64(fs.f_bavail) * qint64(fs.f_frsize);
}

bool SmallDisk::fill(qint64 spare)
{
    if (!m_mounted)
        return false;
    QFile filler(QDir(m_folder).filePath(QString::fromLatin1(kFillerName)));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, '\0');
    while (freeBytes() > spare) {
        const qint64 want = std::min<qint64>(block.size(), freeBytes() - spare);
        if (filler.write(block.constData(), want) <= 0)
            break;
    }
    return freeBytes() <= spare;
}

void SmallDisk::release()
{
    QFile::remove(QDir(m_folder).filePath(QString::fromLatin1(kFillerName)));
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    if (::getrlimit(RLIMIT_FSIZE, &m_previous) != 0 || ::sigaction(SIGXFSZ, &ignore, &m_previousAction) != 0)
        return;
    struct rlimit limit = m_previous;
    limit.rlim_cur = rlim_t(bytes);
    m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    if (!m_set)
        ::sigaction(SIGXFSZ, &m_previousAction, nullptr);
}

FileSizeLimit::~FileSizeLimit()
{
    if (!m_set)
        return;
    ::setrlimit(RLIMIT_FSIZE, &m_previous);
    ::sigaction(SIGXFSZ, &m_previousAction, nullptr);
}

} // namespace testing_support
