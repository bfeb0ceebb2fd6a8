#include "ShellFixture.h"

#include "AppWindowModel.h"
#include "Platform/AppGroupSuite.h"
#include "Services/ShazamManager.h"

#include <QDateTime>
#include <QSignalSpy>

// The main window's scene: the recognition address, the start-up load and what the application
// becoming active does.

using quickhost::waitFor;

TEST(RecognitionURL, OnlyTheExactSchemeAndHost)
{
    for (const char *yes : {"melodrift://shazam", "melodrift://shazam/", "melodrift://shazam?start=1",
                            "melodrift://shazam#x", "melodrift://shazam/listen"})
        EXPECT_TRUE(AppWindowModel::isRecognitionURL(QString::fromUtf8(yes))) << yes;
    for (const char *no : {"melodrift://other", "MELODRIFT://shazam", "melodrift://SHAZAM", "Melodrift://shazam",
                           "melodrift:shazam", "melodrift:/shazam", "melodrift://", "melodrift:", "shazam",
                           "//shazam", "://shazam", "http://shazam", "melodrift://shazamx", "melodrift://xshazam",
                           "melodrift ://shazam", "", "melodrift://sha zam"})
        EXPECT_FALSE(AppWindowModel::isRecognitionURL(QString::fromUtf8(no))) << no;
}

TEST(RecognitionURL, OpeningItAsksForTheSheetListening)
{
    ShazamManager &shazam = ShazamManager::shared();
    shazam.setOpenRequest(false);
    shazam.setAutoStartOnOpen(false);
    QSignalSpy requests(&shazam, &ShazamManager::openRequestChanged);

    EXPECT_FALSE(AppWindowModel::openURL(u"melodrift://other", shazam));
    EXPECT_FALSE(AppWindowModel::openURL(u"MELODRIFT://shazam", shazam));
    EXPECT_EQ(requests.count(), 0);

    EXPECT_TRUE(AppWindowModel::openURL(u"melodrift://shazam", shazam));
    EXPECT_TRUE(shazam.openRequest());
    EXPECT_TRUE(shazam.autoStartOnOpen());
    shazam.setOpenRequest(false);
}

namespace {

class AppWindowModelTest : public ShellFixture
{
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        ASSERT_TRUE(suiteDir.isValid());
        AppGroupSuite::setLocation(suiteDir.filePath(QStringLiteral("group.ini")));
        ShazamManager::shared().setOpenRequest(false);
    }
    void TearDown() override
    {
        AppGroupSuite::setLocation(QString());
        ShazamManager::shared().setOpenRequest(false);
        ShellFixture::TearDown();
    }

    int catalogueRequests() const { return server.countRequests(QStringLiteral("/api/stations")); }

    QTemporaryDir suiteDir;
};

} // namespace

TEST_F(AppWindowModelTest, StartUpLoadRunsOncePerWindow)
{
    AppWindowModel scene(store.get(), &ShazamManager::shared());
    scene.windowAppeared();
    ASSERT_TRUE(waitFor([&] { return !store->stations().isEmpty(); }));
    scene.windowAppeared();
    quickhost::settle(50);
    EXPECT_EQ(catalogueRequests(), 1);
}

TEST_F(AppWindowModelTest, ActivationLoadsOnlyWithAnEmptyCatalogue)
{
    AppWindowModel scene(store.get(), &ShazamManager::shared());

    // A first load that failed is retried when the listener comes back to the window.
    server.script("GET", QStringLiteral("/api/stations"), standin::Reply::withStatus(503), 1);
    scene.becameActive();
    ASSERT_TRUE(waitFor([&] { return catalogueRequests() == 1 && !store->isLoading(); }));
    EXPECT_TRUE(store->stations().isEmpty());
    EXPECT_TRUE(store->errorMessage().has_value());

    scene.becameActive();
    ASSERT_TRUE(waitFor([&] { return !store->stations().isEmpty(); }));
    EXPECT_EQ(catalogueRequests(), 2);

    // With a catalogue held, activation starts no load.
    scene.becameActive();
    scene.becameActive();
    quickhost::settle(100);
    EXPECT_EQ(catalogueRequests(), 2);
}

TEST_F(AppWindowModelTest, ActivationAnswersAShortcutsRecentRequestOnly)
{
    AppWindowModel scene(store.get(), &ShazamManager::shared());
    loadCatalogue();
    ShazamManager &shazam = ShazamManager::shared();
    const double now = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;

    // Three minutes old: left in place, nothing opens.
    {
        auto suite = AppGroupSuite::open();
        suite->setValue(QLatin1String(ShazamManager::RequestAtKey), now - 180);
        suite->sync();
    }
    scene.becameActive();
    EXPECT_FALSE(shazam.openRequest());
    EXPECT_TRUE(AppGroupSuite::open()->contains(QLatin1String(ShazamManager::RequestAtKey)));

    // Ten seconds old: taken, and the sheet is asked for, listening.
    {
        auto suite = AppGroupSuite::open();
        suite->setValue(QLatin1String(ShazamManager::RequestAtKey), now - 10);
        suite->sync();
    }
    scene.becameActive();
    EXPECT_TRUE(shazam.openRequest());
    EXPECT_TRUE(shazam.autoStartOnOpen());
    EXPECT_FALSE(AppGroupSuite::open()->contains(QLatin1String(ShazamManager::RequestAtKey)));
    EXPECT_EQ(catalogueRequests(), 1);
}
