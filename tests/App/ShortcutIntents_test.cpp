#include "AppTestFixture.h"

#include "Services/ShazamIntents.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSettings>
#include <QTest>

// The recognition shortcuts as the desktop runs them: `melodrift-radio --intent NAME` stamps the
// request into the app-group suite, and the application (this launch, or the running instance
// brought to the front) reads it back and opens the recognition sheet listening.

using namespace Qt::StringLiterals;

TEST(ShazamIntentsRecords, TheDestinationAndItsQuery)
{
    const MelodriftDestination destination;
    EXPECT_EQ(destination.id, u"shazam"_s);
    EXPECT_EQ(destination.urlRepresentation(), u"melodrift://shazam"_s);
    EXPECT_EQ(MelodriftDestination{u"other"_s}.urlRepresentation(), u"melodrift://shazam"_s);
    EXPECT_EQ(destination.displayTitle(), u"ملودریفت"_s);
    EXPECT_EQ(MelodriftDestination::typeDisplayName(), u"ملودریفت"_s);
    const MelodriftDestinationQuery query;
    for (const QStringList &asked : {QStringList{}, QStringList{u"shazam"_s}, QStringList{u"a"_s, u"b"_s}})
        EXPECT_EQ(query.entities(asked), QList<MelodriftDestination>{destination});
    EXPECT_EQ(query.suggestedEntities(), QList<MelodriftDestination>{destination});
    EXPECT_EQ(ShazamAppIntent::title(), u"تشخیص آهنگ با ملودریفت"_s);
    EXPECT_EQ(ShazamOpenIntent::title(), ShazamAppIntent::title());
    EXPECT_TRUE(ShazamAppIntent::openAppWhenRun);
    EXPECT_EQ(ShazamOpenIntent().target, destination);
}

namespace {

class ShortcutIntents : public AppTestFixture
{
protected:
    void SetUp() override
    {
        AppTestFixture::SetUp();
        // The launches' microphone: a test tone.
        qputenv("MELODRIFT_RECORDING_SOURCE", "audiotestsrc is-live=true freq=440");
    }
    void TearDown() override { qunsetenv("MELODRIFT_RECORDING_SOURCE"); }

    // The app-group suite the launches share (under their XDG config folder).
    bool stampPresent() const
    {
        QSettings suite(home.filePath(u"config/melodrift/group.ini"_s), QSettings::IniFormat);
        return suite.contains(u"shazamRequestAt"_s);
    }
};

} // namespace

TEST_F(ShortcutIntents, AnIntentBringsTheRunningInstanceForwardListening)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus (scripts/test.sh provides one)";
    auto first = launch({});
    ASSERT_TRUE(server.waitForRequest(u"/api/stations"_s, 60000)) << qPrintable(first->standardError());

    for (const QString &intent : {u"--intent"_s, u"--intent=ShazamAppIntent"_s}) {
        SCOPED_TRACE(intent.toStdString());
        const int opened = first->standardError().count(u"checkPendingExternalRequest: opening shazam sheet"_s);
        auto shortcut = launch(intent == u"--intent"_s ? QStringList{intent, u"ShazamOpenIntent"_s} : QStringList{intent});
        ASSERT_TRUE(shortcut->waitForFinished(30000));
        EXPECT_EQ(shortcut->exitCode(), 0) << qPrintable(shortcut->standardError());

        // The running instance read the other process's stamp, consumed it and opened the sheet,
        // which starts listening by itself.
        ASSERT_TRUE(first->waitForOutput(u"another launch asks for the window (0 addresses)"_s, 20000));
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return first->standardError().count(u"checkPendingExternalRequest: opening shazam sheet"_s) == opened + 1;
        }, 20000)) << qPrintable(first->standardError());
        EXPECT_FALSE(stampPresent());
    }
    // The launcher's action asked over D-Bus does the same.
    const int opened = first->standardError().count(u"checkPendingExternalRequest: opening shazam sheet"_s);
    QDBusMessage action = QDBusMessage::createMethodCall(u"org.melodrift.Radio_"_s + suffix, u"/org/melodrift/Radio"_s,
                                                         u"org.freedesktop.Application"_s, u"ActivateAction"_s);
    action << u"recognise-song"_s << QVariantList{} << QVariantMap{};
    EXPECT_NE(QDBusConnection::sessionBus().call(action, QDBus::Block, 10000).type(), QDBusMessage::ErrorMessage);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return first->standardError().count(u"checkPendingExternalRequest: opening shazam sheet"_s) == opened + 1;
    }, 20000)) << qPrintable(first->standardError());
    EXPECT_TRUE(first->waitForOutput(u"recognition requested: presenting its sheet"_s, 20000));
    EXPECT_TRUE(first->waitForOutput(u"recording from audiotestsrc"_s, 20000)) << qPrintable(first->standardError());
    EXPECT_TRUE(first->isRunning());
}

TEST_F(ShortcutIntents, AnIntentStartsTheApplicationWhenNoneRuns)
{
    auto app = launch({u"--intent"_s, u"ShazamAppIntent"_s});
    ASSERT_TRUE(app->waitForOutput(u"checkPendingExternalRequest: opening shazam sheet"_s, 60000))
        << qPrintable(app->standardError());
    ASSERT_TRUE(app->waitForOutput(u"recognition requested: presenting its sheet"_s, 20000));
    EXPECT_TRUE(app->waitForOutput(u"recording from audiotestsrc"_s, 20000)) << qPrintable(app->standardError());
    EXPECT_FALSE(stampPresent());
    // The intent's name is not an address.
    EXPECT_FALSE(app->standardError().contains(u"ignored address"_s));
}

TEST_F(ShortcutIntents, AnUnknownIntentIsRefusedAndWritesNothing)
{
    for (const QStringList &arguments : {QStringList{u"--intent"_s, u"Nonsense"_s}, QStringList{u"--intent"_s}}) {
        auto app = launch(arguments);
        ASSERT_TRUE(app->waitForFinished(30000));
        EXPECT_EQ(app->exitCode(), 2) << qPrintable(arguments.join(u' '));
        EXPECT_TRUE(app->standardError().contains(u"ShazamAppIntent, ShazamOpenIntent"_s));
        EXPECT_FALSE(stampPresent());
    }
    EXPECT_EQ(server.countRequests(u"/api/stations"_s), 0);
}
