#pragma once

#include "Models/AppError.h"

#include <QDateTime>
#include <QDir>
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
// "story-YYYY-MM-DD-HHMMSS.mp4", with "-2", "-3", … before the extension while that name is taken,
// so a save never overwrites an earlier story.
QString freeFileName(const QDir &folder, const QDateTime &when);
// Copies the video into the folder (on a worker thread) and returns the new file's path. The
// copy is written under a temporary name and named only once whole. Throws SaveError.
QCoro::Task<QString> saveVideo(QString path);
// Copies everything `source` holds into `target` (both open). Throws SaveError saying what
// failed: reading the video, writing, or a full disk.
void copyContents(QFileDevice &source, QFileDevice &target);

} // namespace PhotoLibrary
