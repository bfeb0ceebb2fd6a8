#include "Platform/WebBanner/WebBannerHostKeeper.h"
#include "support/PlaybackTestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

// The keeper of a banner's web host between two banners, with a host that only waits for the end
// of its input (as the real one does).

namespace {

const char *WaitingHost = "#!/bin/sh\nwhile read -r line; do :; done\n";

class WebBannerHostKeeperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile script(dir.filePath(QStringLiteral("waiting-host")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(WaitingHost);
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        WebBannerProcess::setHostProgramForTesting(script.fileName());
        ASSERT_TRUE(keeper);
    }
    void TearDown() override
    {
        // Nothing kept outlives a test.
        if (keeper)
            (void)keeper->take(page);
        WebBannerProcess::setHostProgramForTesting({});
    }

    static std::unique_ptr<WebBannerProcess> runningHost(const QStringList &arguments)
    {
        auto process = std::make_unique<WebBannerProcess>();
        process->start(arguments);
        return process;
    }
    static bool ends(qint64 pid)
    {
        const QString entry = QStringLiteral("/proc/%1").arg(pid);
        return testsupport::waitUntil([&] { return !QFileInfo::exists(entry); }, 10000);
    }

    QTemporaryDir dir;
    WebBannerHostKeeper *keeper = WebBannerHostKeeper::shared();
    const QStringList page{QStringLiteral("--page"), QStringLiteral("one")};
};

} // namespace

TEST_F(WebBannerHostKeeperTest, HandsTheHostToTheNextBannerOfTheSamePageOnly)
{
    auto host = runningHost(page);
    ASSERT_TRUE(testsupport::waitUntil([&] { return host->processId() > 0; }, 5000));
    const qint64 pid = host->processId();
    keeper->keep(std::move(host), page, 60000);
    EXPECT_EQ(keeper->keptProcessId(), pid);

    EXPECT_EQ(keeper->take({QStringLiteral("--page"), QStringLiteral("two")}), nullptr);
    std::unique_ptr<WebBannerProcess> taken = keeper->take(page);
    ASSERT_TRUE(taken);
    EXPECT_TRUE(taken->isRunning());
    EXPECT_EQ(taken->processId(), pid);
    EXPECT_EQ(keeper->keptProcessId(), 0);
    EXPECT_EQ(keeper->take(page), nullptr);
}

TEST_F(WebBannerHostKeeperTest, EndsAHostNobodyTakesBack)
{
    const struct {
        const char *what;
        int keepMs;
        bool endedBeforeTimeUp; // the host ends by itself while kept
    } rows[] = {
        {"kept for no time", 0, false},
        {"kept briefly", 100, false},
        {"ends by itself while kept", 60000, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        auto host = runningHost(page);
        ASSERT_TRUE(testsupport::waitUntil([&] { return host->processId() > 0; }, 5000));
        const qint64 pid = host->processId();
        keeper->keep(std::move(host), page, row.keepMs);
        if (row.endedBeforeTimeUp) {
            EXPECT_EQ(keeper->keptProcessId(), pid);
            ::kill(pid_t(pid), SIGTERM);
            EXPECT_TRUE(testsupport::waitUntil([&] { return keeper->keptProcessId() == 0; }, 10000));
        }
        EXPECT_TRUE(ends(pid));
        EXPECT_EQ(keeper->take(page), nullptr);
    }
}
