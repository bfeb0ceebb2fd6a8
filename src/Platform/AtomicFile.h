#pragma once

#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

#include <memory>

class QSaveFile;

// A file replaced in one step: the new bytes go to a temporary file beside it, which takes the
// file's name only once every byte is on disk; on any failure the old file stays as it was and
// the temporary one goes. QSaveFile alone is not enough: its commit() still renames when the
// bytes it holds in its buffer could not be written (a full disk), leaving an empty file and
// reporting success; the buffer is flushed and synced here, and checked, before it renames.
//     AtomicFile file(path);
//     if (!file.open() || !file.write(bytes) || !file.commit()) report(file.failure());
class AtomicFile
{
public:
    enum class Failure {
        None,
        DiskFull,    // no space (or quota) left on the disk
        TooLarge,    // larger than a file may be here (the file size limit)
        NameTooLong, // the name, or the path, is longer than the file system takes
        NotAllowed,  // no permission, or a read-only file system
        Other,
    };

    explicit AtomicFile(QString path);
    ~AtomicFile(); // an uncommitted write is cancelled
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    bool open();
    // Writes all of `bytes`, or fails (and cancels).
    bool write(QByteArrayView bytes);
    // Flush, sync, rename; false (and the old file as it was) when any step fails.
    bool commit();
    // Drops what was written; the old file stays.
    void cancel();

    Failure failure() const { return m_failure; }
    // The system's description of the failure (English), for logs.
    QString errorString() const { return m_errorString; }

    // The whole new content of `path` in one step. False with the failure in `failure`.
    static bool writeWhole(const QString &path, QByteArrayView bytes, Failure *failure = nullptr);
    // Brings what `file` holds to disk: flushes its buffer and syncs it. For files that are
    // written over time and renamed into place later. False with the failure in `failure`.
    static bool syncToDisk(QFileDevice &file, Failure *failure = nullptr);
    // Whether `name` is longer than the file system of `folder` takes for one name (in bytes;
    // usually 255).
    static bool isNameTooLong(const QString &folder, const QString &name);
    // The failure of a file operation that ended with `errorNumber` (errno) and `error`.
    static Failure failureOf(int errorNumber, QFileDevice::FileError error = QFileDevice::UnspecifiedError);

private:
    bool fail(int errorNumber);

    QString m_path;
    std::unique_ptr<QSaveFile> m_file;
    Failure m_failure = Failure::None;
    QString m_errorString;
};
