#include "Platform/AppGroupSuite.h"
#include "Services/ShazamManager.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr double Now = 1'700'000'000.25;

// Each test gets its own app-group suite and a fixed clock, and leaves the manager as it found it.
class ShazamManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        AppGroupSuite::setLocation(dir.filePath(QStringLiteral("melodrift/group.ini")));
        manager().setClockForTesting([] { return Now; });
        manager().setOpenRequest(false);
        manager().setAutoStartOnOpen(false);
    }
    void TearDown() override
    {
        manager().setClockForTesting(nullptr);
        manager().setOpenRequest(false);
        manager().setAutoStartOnOpen(false);
        AppGroupSuite::setLocation(QString());
    }

    static ShazamManager &manager() { return ShazamManager::shared(); }

    // What the shortcut command does: stamp the request time into the suite.
    static void writeStamp(const QVariant &value)
    {
        auto suite = AppGroupSuite::open();
        ASSERT_TRUE(suite);
        suite->setValue(QLatin1String(ShazamManager::RequestAtKey), value);
        suite->sync();
    }
    static bool stampPresent()
    {
        return AppGroupSuite::open()->contains(QLatin1String(ShazamManager::RequestAtKey));
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(ShazamManagerTest, RequestOpenPublishesEveryRequest)
{
    QSignalSpy changed(&manager(), &ShazamManager::openRequestChanged);
    manager().requestOpen(false);
    EXPECT_TRUE(manager().openRequest());
    EXPECT_FALSE(manager().autoStartOnOpen());
    manager().requestOpen(true);
    EXPECT_TRUE(manager().openRequest());
    EXPECT_TRUE(manager().autoStartOnOpen());
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(ShazamManagerTest, ARecentShortcutRequestIsConsumedAndOpensWithAutoStart)
{
    writeStamp(Now - 119.0);
    manager().checkPendingExternalRequest();
    EXPECT_TRUE(manager().openRequest());
    EXPECT_TRUE(manager().autoStartOnOpen());
    EXPECT_FALSE(stampPresent());

    // Consumed: a second activation opens nothing more.
    manager().setOpenRequest(false);
    manager().checkPendingExternalRequest();
    EXPECT_FALSE(manager().openRequest());
}

TEST_F(ShazamManagerTest, RequestsOf120SecondsAndOlderAreKeptAndIgnored)
{
    for (double age : {120.0, 120.5, 3600.0}) {
        writeStamp(Now - age);
        manager().checkPendingExternalRequest();
        EXPECT_FALSE(manager().openRequest()) << age;
        EXPECT_TRUE(stampPresent()) << age;
    }
}

TEST_F(ShazamManagerTest, MissingZeroNegativeAndGarbageStampsOpenNothing)
{
    manager().checkPendingExternalRequest(); // no key at all
    EXPECT_FALSE(manager().openRequest());
    for (const QVariant &value : {QVariant(0.0), QVariant(-5.0), QVariant(QStringLiteral("soon"))}) {
        writeStamp(value);
        manager().checkPendingExternalRequest();
        EXPECT_FALSE(manager().openRequest()) << value.toString().toStdString();
    }
}

TEST_F(ShazamManagerTest, AStampFromTheFutureCountsAsPending)
{
    writeStamp(Now + 30.0);
    manager().checkPendingExternalRequest();
    EXPECT_TRUE(manager().openRequest());
    EXPECT_FALSE(stampPresent());
}

TEST_F(ShazamManagerTest, AStampWrittenByAnotherProcessAsTextIsRead)
{
    // The shortcut command may write the INI line by hand; the suite is re-read on every check.
    QFile file(AppGroupSuite::location());
    ASSERT_TRUE(AppGroupSuite::open()); // makes the folder
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[General]\nshazamRequestAt=" + QByteArray::number(Now - 10.5, 'f', 3) + "\n");
    file.close();
    manager().checkPendingExternalRequest();
    EXPECT_TRUE(manager().openRequest());
}

TEST_F(ShazamManagerTest, WithoutTheSuiteOnlyALineIsLogged)
{
    // A regular file where the suite's folder should be: the suite cannot be opened.
    QFile blocker(dir.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    AppGroupSuite::setLocation(dir.filePath(QStringLiteral("blocked/group.ini")));
    EXPECT_FALSE(AppGroupSuite::open());

    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &context, const QString &message) {
            if (QLatin1String(context.category) == QLatin1String("shazam"))
                logged.append(message);
        });
    manager().checkPendingExternalRequest();
    qInstallMessageHandler(previous);

    EXPECT_FALSE(manager().openRequest());
    EXPECT_EQ(logged, QStringList{QStringLiteral("checkPendingExternalRequest: suite is nil")});
}
