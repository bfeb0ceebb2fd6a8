#include "AppTestFixture.h"

#include "support/QuickHost.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QQuickWindow>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Sets an environment variable for the processes started while it exists.
class ScopedVariable
{
public:
    ScopedVariable(const char *name, const QString &value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value.toLocal8Bit());
    }
    ~ScopedVariable()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

class RecognitionQuit : public AppTestFixture
{
};

// The recognition sheet opened by its address starts listening by itself; the source is a pipe
// nobody writes into, so the recording never starts. Closing the application still ends it.
TEST_F(RecognitionQuit, AQuitWhileTheRecordingSourceBlocksEndsInTime)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString fifo = tmp.filePath(u"microphone.fifo"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const ScopedVariable source("MELODRIFT_RECORDING_SOURCE", u"filesrc location=\"%1\" ! decodebin"_s.arg(fifo));
    const ScopedVariable temporary("TMPDIR", tmp.path());

    auto app = launch({u"melodrift://shazam"_s});
    ASSERT_TRUE(app->waitForOutput(u"recording from filesrc"_s, 60000)) << qPrintable(app->standardError());
    quickhost::settle(500); // the start is now waiting for the pipe
    ASSERT_TRUE(app->isRunning());

    QElapsedTimer clock;
    clock.start();
    app->terminate();
    EXPECT_TRUE(app->waitForFinished(5000)) << "still running " << clock.elapsed() << " ms after SIGTERM";
    EXPECT_EQ(app->exitStatus(), QProcess::NormalExit);
    // The recording file went with it.
    EXPECT_EQ(QDir(tmp.path()).entryList({u"shazam_snippet_*"_s, u"melodrift-recording-*"_s},
                                         QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              QStringList());

    // Lets a start left blocked in a process that did not end go.
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
        ::close(writer);
}
