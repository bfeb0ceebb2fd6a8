#pragma once

#include <QString>

#include <sys/resource.h>

#include <csignal>

namespace testing_support {

// A real small file system for tests of full disks: a tmpfs of `bytes` mounted on `folder` (made
// if missing), unmounted again when the object goes. Mounting needs root; isMounted() says
// whether it worked, so that a test can skip.
//     SmallDisk disk(dir.filePath("disk"), 64 * 1024);
//     if (!disk.isMounted()) GTEST_SKIP() << "needs root";
class SmallDisk
{
public:
    SmallDisk(QString folder, qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_folder; }
    qint64 freeBytes() const;
    // Takes all the free space (a filler file of its own) but `spare` bytes; true when the disk
    // is then that full.
    bool fill(qint64 spare = 0);
    // Gives the filler's space back.
    void release();

private:
    QString m_folder;
    bool m_mounted = false;
};

// Files this process writes may not grow beyond `bytes` while the object lives (RLIMIT_FSIZE,
// with SIGXFSZ ignored, so that such a write fails with EFBIG instead of ending the process).
// Needs no privilege.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isSet() const { return m_set; }

private:
    struct rlimit m_previous {};
    struct sigaction m_previousAction {};
    bool m_set = false;
};

} // namespace testing_support
