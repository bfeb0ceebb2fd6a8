#include "Platform/AtomicFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

// fsync answers these for files that cannot be synced at all (pipes, some special file
// systems): nothing more can be done for them, and nothing was lost.
bool syncNotSupported(int errorNumber)
{
    return errorNumber == EINVAL || errorNumber == EROFS || errorNumber == ENOTSUP;
}

} // namespace

AtomicFile::AtomicFile(QString path)
    : m_path(std::move(path))
{
}

AtomicFile::~AtomicFile()
{
    cancel();
}

AtomicFile::Failure AtomicFile::failureOf(int errorNumber, QFileDevice::FileError error)
{
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return Failure::DiskFull;
    case EFBIG:
        return Failure::TooLarge;
    case ENAMETOOLONG:
        return Failure::NameTooLong;
    case EACCES:
    case EPERM:
    case EROFS:
        return Failure::NotAllowed;
    default:
        break;
    }
    // Qt keeps the kind for a full disk even where errno was overwritten on the way.
    return error == QFileDevice::ResourceError ? Failure::DiskFull : Failure::Other;
}

bool AtomicFile::isNameTooLong(const QString &folder, const QString &name)
{
    const long longest = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return QFile::encodeName(name).size() > (longest > 0 ? longest : 255);
}

bool AtomicFile::fail(int errorNumber)
{
    const QFileDevice::FileError error = m_file ? m_file->error() : QFileDevice::UnspecifiedError;
    m_failure = failureOf(errorNumber, error);
    m_errorString = m_file && !m_file->errorString().isEmpty() && error != QFileDevice::NoError
        ? m_file->errorString()
        : QString::fromLocal8Bit(std::strerror(errorNumber));
    cancel();
    return false;
}

bool AtomicFile::open()
{
    cancel();
    m_failure = Failure::None;
    m_errorString.clear();
    m_file = std::make_unique<QSaveFile>(m_path);
    errno = 0;
    if (!m_file->open(QIODevice::WriteOnly))
        return fail(errno);
    return true;
}

bool AtomicFile::write(QByteArrayView bytes)
{
    if (!m_file)
        return false;
    qsizetype done = 0;
    // A short write carries no error of its own: the next one tells why.
    while (done < bytes.size()) {
        errno = 0;
        const qint64 written = m_file->write(bytes.data() + done, bytes.size() - done);
        if (written <= 0)
            return fail(errno);
        done += written;
    }
    return true;
}

bool AtomicFile::syncToDisk(QFileDevice &file, Failure *failure)
{
    errno = 0;
    if (!file.flush()) {
        if (failure)
            *failure = failureOf(errno, file.error());
        return false;
    }
    const int fd = file.handle();
    if (fd >= 0 && ::fsync(fd) != 0 && !syncNotSupported(errno)) {
        if (failure)
            *failure = failureOf(errno);
        return false;
    }
    if (failure)
        *failure = Failure::None;
    return true;
}

bool AtomicFile::commit()
{
    if (!m_file)
        return false;
    if (!syncToDisk(*m_file))
        return fail(errno);
    errno = 0;
    if (!m_file->commit())
        return fail(errno);
    m_file.reset();
    return true;
}

void AtomicFile::cancel()
{
    if (!m_file)
        return;
    m_file->cancelWriting();
    // The destructor removes the temporary file.
    m_file.reset();
}

bool AtomicFile::writeWhole(const QString &path, QByteArrayView bytes, Failure *failure)
{
    AtomicFile file(path);
    const bool ok = file.open() && file.write(bytes) && file.commit();
    if (failure)
        *failure = file.failure();
    return ok;
}
