#include "Platform/AtomicFile.h"
#include "support/SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using testing_support::FileSizeLimit;
using testing_support::SmallDisk;
using Failure = AtomicFile::Failure;

namespace {

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

const QByteArray kOld("[{\"the\":\"old index\"}]");

} // namespace

TEST(AtomicFile, ReplacesTheFileInOneStep)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("index.json");
    ASSERT_TRUE(AtomicFile::writeWhole(path, kOld));
    Failure failure = Failure::Other;
    ASSERT_TRUE(AtomicFile::writeWhole(path, "new", &failure));
    EXPECT_EQ(failure, Failure::None);
    EXPECT_EQ(contentsOf(path), "new");
    EXPECT_EQ(namesIn(dir.path()), QStringList{"index.json"});

    // Cancelled, or abandoned half-way: the old file stays, nothing else is left.
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.open());
        ASSERT_TRUE(file.write("half"));
    }
    AtomicFile cancelled(path);
    ASSERT_TRUE(cancelled.open());
    ASSERT_TRUE(cancelled.write("dropped"));
    cancelled.cancel();
    EXPECT_FALSE(cancelled.commit());
    EXPECT_EQ(contentsOf(path), "new");
    EXPECT_EQ(namesIn(dir.path()), QStringList{"index.json"});

    const QString longName = dir.filePath(QString(300, QChar(0x0645))); // 600 bytes of UTF-8
    EXPECT_FALSE(AtomicFile::writeWhole(longName, "x", &failure));
    EXPECT_EQ(failure, Failure::NameTooLong);
}

// A real full disk: the last bytes of a write do not fit. Small writes sit in the file's buffer
// until the commit (where a plain QSaveFile would rename an empty file over the old one); large
// ones fail as they are written.
TEST(AtomicFile, AFullDiskKeepsTheOldFile)
{
    QTemporaryDir dir;
    SmallDisk disk(dir.filePath("disk"), 64 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString path = QDir(disk.path()).filePath("offline_index.json");
    ASSERT_TRUE(AtomicFile::writeWhole(path, kOld));
    ASSERT_TRUE(disk.fill());

    for (const int size : {100, 4000, 200'000}) {
        SCOPED_TRACE(size);
        Failure failure = Failure::None;
        EXPECT_FALSE(AtomicFile::writeWhole(path, QByteArray(size, 'n'), &failure));
        EXPECT_EQ(failure, Failure::DiskFull);
        EXPECT_EQ(contentsOf(path), kOld);
        EXPECT_EQ(namesIn(disk.path()), (QStringList{".filler", "offline_index.json"}));
    }

    // A file written over time: its buffered bytes fail to reach the disk.
    QFile part(QDir(disk.path()).filePath("x.part"));
    ASSERT_TRUE(part.open(QIODevice::WriteOnly));
    ASSERT_EQ(part.write(QByteArray(100, 'p')), 100);
    Failure failure = Failure::None;
    EXPECT_FALSE(AtomicFile::syncToDisk(part, &failure));
    EXPECT_EQ(failure, Failure::DiskFull);
    part.close();
    part.remove();

    disk.release();
    EXPECT_TRUE(AtomicFile::writeWhole(path, "fits again"));
    EXPECT_EQ(contentsOf(path), "fits again");
}

// The file size limit of the process (what `prlimit --fsize` sets): the write fails with EFBIG.
TEST(AtomicFile, AFileAboveTheSizeLimitKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("offline_index.json");
    ASSERT_TRUE(AtomicFile::writeWhole(path, kOld));
    FileSizeLimit limit(16 * 1024);
    ASSERT_TRUE(limit.isSet());
    for (const int size : {20'000, 300'000}) {
        SCOPED_TRACE(size);
        AtomicFile file(path);
        ASSERT_TRUE(file.open());
        const bool written = file.write(QByteArray(size, 'n'));
        EXPECT_FALSE(written && file.commit());
        EXPECT_EQ(file.failure(), Failure::TooLarge);
        EXPECT_FALSE(file.errorString().isEmpty());
        EXPECT_EQ(contentsOf(path), kOld);
        EXPECT_EQ(namesIn(dir.path()), QStringList{"offline_index.json"});
    }
    EXPECT_TRUE(AtomicFile::writeWhole(path, QByteArray(8000, 's')));
}
