#include "Platform/AudioRecorder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <future>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Victim = "a file that is not the recorder's";

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(AudioRecorderFile, NothingUnderTheNameIsFollowedOrReplaced)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString victim = tmp.filePath(u"victim"_s);
    const QString nowhere = tmp.filePath(u"nowhere"_s);
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Victim);
    }
    const struct {
        const char *name;
        std::function<bool(const QString &)> plant; // null: nothing under the name
    } rows[] = {
        {"nothing", nullptr},
        {"link to a file", [&](const QString &at) { return QFile::link(victim, at); }},
        {"link to nowhere", [&](const QString &at) { return QFile::link(nowhere, at); }},
        {"link to itself", [&](const QString &at) { return QFile::link(at, at); }},
        {"a file left behind", [&](const QString &at) { return QFile::copy(victim, at); }},
        {"a folder", [&](const QString &at) { return QDir().mkdir(at); }},
        {"a pipe", [&](const QString &at) { return ::mkfifo(QFile::encodeName(at).constData(), 0600) == 0; }},
    };
    int index = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = tmp.filePath(u"shazam_snippet_%1.m4a"_s.arg(++index));
        if (row.plant) {
            ASSERT_TRUE(row.plant(path));
        }
        QString error;
        bool exists = false;
        const int fd = AudioRecorder::createExclusively(path, &error, &exists);
        if (fd >= 0)
            ::close(fd);
        EXPECT_EQ(fd >= 0, !row.plant);
        EXPECT_EQ(exists, bool(row.plant));
        EXPECT_EQ(error.isEmpty(), !row.plant) << qPrintable(error);
        if (!row.plant) {
            struct stat made {};
            ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &made), 0);
            EXPECT_TRUE(S_ISREG(made.st_mode));
            EXPECT_EQ(made.st_mode & 0777, 0600u);
            EXPECT_EQ(made.st_size, 0);
        }
        EXPECT_EQ(contents(victim), Victim);
        EXPECT_FALSE(QFileInfo::exists(nowhere));
    }
    // A folder that cannot be written into is a failure, not a name that is taken.
    bool exists = true;
    QString error;
    EXPECT_LT(AudioRecorder::createExclusively(tmp.filePath(u"no/such/folder.m4a"_s), &error, &exists), 0);
    EXPECT_FALSE(exists);
    EXPECT_FALSE(error.isEmpty());
}

TEST(AudioRecorderStart, ASourceThatBlocksWhileOpeningNeverHoldsUpItsCaller)
{
    // A pipe nobody writes into: opening it blocks until a writer comes.
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString fifo = tmp.filePath(u"microphone.fifo"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString source = u"filesrc location=\"%1\" ! decodebin"_s.arg(fifo);

    const struct {
        const char *name;
        int startTimeoutMs;
        bool cancel; // from another thread, while the start waits
        const char *error;
    } rows[] = {
        {"the time limit passes", 300, false, "the source did not start within 300 ms"},
        {"cancelled while it waits", 60'000, true, "cancelled"},
    };
    int index = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = tmp.filePath(u"recording-%1.m4a"_s.arg(++index));
        const int fd = AudioRecorder::createExclusively(path);
        ASSERT_GE(fd, 0);
        AudioRecorder::Settings settings;
        settings.startTimeoutMs = row.startTimeoutMs;
        AudioRecorder recorder(fd, path, settings, source);
        QElapsedTimer clock;
        clock.start();
        auto started = std::async(std::launch::async, [&] {
            QString error;
            const bool ok = recorder.record(&error);
            return std::make_pair(ok, error);
        });
        if (row.cancel) {
            EXPECT_EQ(started.wait_for(std::chrono::milliseconds(500)), std::future_status::timeout);
            recorder.cancel(); // must not wait for the pipe
        }
        ASSERT_EQ(started.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        const auto [ok, error] = started.get();
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, QString::fromLatin1(row.error));
        EXPECT_LT(clock.elapsed(), 10'000);
    }
    // A writer lets the abandoned starts go: they end and release what they held.
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
        ::close(writer);
}
