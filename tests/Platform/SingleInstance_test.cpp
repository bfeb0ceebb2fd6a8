#include "Platform/LaunchArguments.h"
#include "Platform/SingleInstance.h"
#include "support/QuickHost.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QUuid>
#include <gtest/gtest.h>

#include <thread>

// One running application per session bus and the launch arguments.

namespace {

QString uniqueServiceName()
{
    return QStringLiteral("org.melodrift.Radio_test_")
        + QUuid::createUuid().toString(QUuid::Id128).left(12);
}

// A second connection to the session bus stands for the second launch, which in real life is
// another process.
QDBusConnection secondConnection(const QString &name)
{
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

} // namespace

TEST(SingleInstance, TheSecondLaunchHandsItsAddressesToTheFirst)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus (scripts/test.sh provides one)";
    const QString service = uniqueServiceName();
    SingleInstance first(service);
    ASSERT_TRUE(first.claim());
    EXPECT_TRUE(first.isPrimary());
    QSignalSpy activated(&first, &SingleInstance::activated);

    const QString connectionName = QStringLiteral("second-launch");
    {
        SingleInstance second(service, secondConnection(connectionName));
        EXPECT_FALSE(second.claim());
        EXPECT_FALSE(second.isPrimary());

        // The second launch blocks until the first has answered from its event loop, which in
        // this test runs on the main thread: the second launch calls from a thread of its own.
        bool answered = false;
        std::thread caller([&] { answered = second.forward({QStringLiteral("melodrift://shazam")}); });
        ASSERT_TRUE(quickhost::waitFor([&] { return activated.count() == 1; }, 10000));
        caller.join();
        EXPECT_TRUE(answered);
        EXPECT_EQ(activated.first().at(0).toStringList(), QStringList{QStringLiteral("melodrift://shazam")});

        // Without an address: only "come to the front".
        std::thread caller2([&] { answered = second.forward({}); });
        ASSERT_TRUE(quickhost::waitFor([&] { return activated.count() == 2; }, 10000));
        caller2.join();
        EXPECT_TRUE(answered);
        EXPECT_TRUE(activated.at(1).at(0).toStringList().isEmpty());
    }
    QDBusConnection::disconnectFromBus(connectionName);
}

TEST(SingleInstance, TheNameIsFreeAgainWhenTheFirstEnds)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus (scripts/test.sh provides one)";
    const QString service = uniqueServiceName();
    {
        SingleInstance first(service);
        ASSERT_TRUE(first.claim());
    }
    const QString connectionName = QStringLiteral("later-launch");
    {
        SingleInstance later(service, secondConnection(connectionName));
        EXPECT_TRUE(later.claim());
    }
    QDBusConnection::disconnectFromBus(connectionName);
}

TEST(SingleInstance, NobodyAnswersForAMissingInstance)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus (scripts/test.sh provides one)";
    SingleInstance orphan(uniqueServiceName());
    EXPECT_FALSE(orphan.forward({QStringLiteral("melodrift://shazam")}, 2000));
}

TEST(SingleInstance, ServiceNameTakesAnEnvironmentSuffix)
{
    qputenv("MELODRIFT_INSTANCE_SUFFIX", "t-1.x");
    EXPECT_EQ(SingleInstance::defaultServiceName(), QStringLiteral("org.melodrift.Radio_t_1_x"));
    qunsetenv("MELODRIFT_INSTANCE_SUFFIX");
    EXPECT_EQ(SingleInstance::defaultServiceName(), QStringLiteral("org.melodrift.Radio"));
}

TEST(LaunchArguments, WholeArgumentsOncePerRun)
{
    LaunchArguments args({QStringLiteral("--debug-player"), QStringLiteral("--no-cover=1"),
                          QStringLiteral("melodrift://shazam"), QStringLiteral("-x")});
    EXPECT_TRUE(args.contains(QStringLiteral("--debug-player")));
    EXPECT_FALSE(args.contains(QStringLiteral("--no-cover")));
    EXPECT_FALSE(args.contains(QStringLiteral("--debug")));
    EXPECT_TRUE(args.consume(QStringLiteral("--debug-player")));
    EXPECT_FALSE(args.consume(QStringLiteral("--debug-player")));
    EXPECT_TRUE(args.contains(QStringLiteral("--debug-player")));
    EXPECT_FALSE(args.consume(QStringLiteral("--autodl")));
    EXPECT_EQ(args.urls(), QStringList{QStringLiteral("melodrift://shazam")});

    args.setArguments({QStringLiteral("--debug-player")});
    EXPECT_TRUE(args.consume(QStringLiteral("--debug-player")));
}

