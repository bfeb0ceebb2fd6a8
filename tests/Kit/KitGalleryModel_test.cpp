#include "KitGalleryModel.h"
#include "support/QuickHost.h"

#include <QQuickWindow>
#include <QSignalSpy>
#include <gtest/gtest.h>

// The example screen model: it answers the recognition manager's open request by taking it back
// and raising its own sheet flag, the way the home screen will.

TEST(KitGalleryModel, TakesTheOpenRequestAndPresentsItsSheet)
{
    ShazamManager &shazam = ShazamManager::shared();
    shazam.setOpenRequest(false);
    KitGalleryModel model;
    EXPECT_EQ(model.shazam(), &shazam);
    EXPECT_FALSE(model.showRecognition());

    shazam.requestOpen(true);
    EXPECT_TRUE(model.showRecognition());
    EXPECT_FALSE(shazam.openRequest());
    EXPECT_TRUE(shazam.autoStartOnOpen()); // left for the sheet to read

    // The sheet is dismissed; a second request presents it again.
    model.setShowRecognition(false);
    shazam.requestOpen(false);
    EXPECT_TRUE(model.showRecognition());
    shazam.setAutoStartOnOpen(false);
}

TEST(KitGalleryModel, ARequestMadeBeforeTheScreenExistedIsTakenOnCreation)
{
    ShazamManager::shared().requestOpen(false);
    KitGalleryModel model;
    EXPECT_TRUE(model.showRecognition());
    EXPECT_FALSE(ShazamManager::shared().openRequest());
}

TEST(KitGalleryModel, WithoutAManagerItDoesNothing)
{
    KitGalleryModel model;
    model.setShazam(nullptr);
    ShazamManager::shared().requestOpen(false);
    EXPECT_FALSE(model.showRecognition());
    EXPECT_TRUE(ShazamManager::shared().openRequest());
    ShazamManager::shared().setOpenRequest(false);
}

TEST(KitGalleryModel, TheGallerysRecognitionSheetOpensOnARequest)
{
    quickhost::MessageTrap trap;
    {
        auto engine = quickhost::makeEngine();
        auto hosted = quickhost::HostedScreen::load(*engine, quickhost::moduleFile(QStringLiteral("KitGallery")));
        ASSERT_TRUE(hosted.isValid()) << qPrintable(hosted.error());
        auto *model = hosted.screen()->findChild<KitGalleryModel *>();
        ASSERT_TRUE(model);
        ShazamManager::shared().requestOpen(false);
        EXPECT_TRUE(model->showRecognition());
        EXPECT_TRUE(quickhost::waitFor([&] {
            for (QObject *popup : hosted.screen()->findChildren<QObject *>())
                if (popup->inherits("QQuickPopup") && popup->property("flag").toString() == "showRecognition")
                    return popup->property("opened").toBool();
            return false;
        }));
    }
    EXPECT_TRUE(trap.messages().isEmpty()) << qPrintable(trap.messages().join('\n'));
}
