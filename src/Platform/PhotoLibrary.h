#pragma once

#include "Models/AppError.h"
#include "Platform/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QString>
#include <QCoroTask>

// Where saved story videos go in place of a phone's photo library: the user's Videos folder
// (XDG_VIDEOS_DIR), in a "Melodrift" folder of its own.
namespace PhotoLibrary {

// A save that did not happen, with the reason in Persian.
class SaveError : public AppError
{
public:
    explicit SaveError(QString message) : m_message(std::move(message)) {}
    QString errorDescription() const override { return m_message; }

private:
    QString m_message;
};

QDir folder();
// A path or file name as it stands inside a right-to-left line: isolated left to right, so that
// its slashes stay where they are.
QString isolated(const QString &path);
// "story-YYYY-MM-DD-HHMMSS.mp4", with "-2", "-3", … before the extension while that name is taken,
// so a save never overwrites an earlier story.
QString freeFileName(const QDir &folder, const QDateTime &when);
// Copies the video into the folder (on a worker thread) and returns the new file's path. The
// copy is written under a temporary name and named only once whole. Throws SaveError.
QCoro::Task<QString> saveVideo(QString path);
// Copies the video at `source` to `target`, a file the listener chose (replacing a file there,
// which the listener agreed to), with the user's usual file mode; the copy is written under a
// temporary name and named only once whole. Blocks: call it off the GUI thread. Throws SaveError
// naming what failed: the video gone or unreadable, the destination folder (missing, not
// writable), a folder under the name, a name too long for the file system, or a full disk.
void saveCopy(const QString &source, const QString &target);
QCoro::Task<> saveCopyOffThread(QString source, QString target);
// Copies everything `source` holds into `target` (both open) and brings it to disk. Throws
// SaveError saying what failed: reading the video, writing (`cannotWrite`), or a full disk.
void copyContents(QFileDevice &source, QFileDevice &target, const QString &cannotWrite = {});
// The failure of a write: a full disk, a file too large, a name too long, or else `cannotWrite`
// (by default, that the Videos folder takes no writing).
SaveError writeFailure(AtomicFile::Failure failure, const QString &cannotWrite = {});

// A copy in progress: a new hidden file ".<name>-XXXXXX.part" in `folder` (the name cut short,
// so that a long one still leaves room), created exclusively (never through a link) with the
// user's usual mode, 0666 less the umask. Removed again unless the copy was given its name.
class PartFile
{
public:
    PartFile(const QDir &folder, const QString &name);
    ~PartFile();
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    QFile &file() { return m_file; }
    // Closes the copy and names it `destination`, replacing a file there only when `replace`.
    bool moveTo(const QString &destination, bool replace);
    // Why the file could not be made, or moved.
    AtomicFile::Failure failure() const { return m_failure; }

private:
    QFile m_file;
    bool m_moved = false;
    AtomicFile::Failure m_failure = AtomicFile::Failure::None;
};

} // namespace PhotoLibrary
