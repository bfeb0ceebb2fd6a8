#include "LyricsSheetModel.h"
#include "Platform/UrlOpener.h"
#include "Services/APIClient.h"
#include "Services/Equalizer.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "support/AccountRoutes.h"
#include "support/DemoCatalogue.h"
#include "support/StandInAudio.h"
#include "support/AccessibleTree.h"
#include "support/CatalogueStation.h"
#include "support/QmlWindowFixture.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

// The lyrics sheet, the equaliser sheet and the player footer in a real Qt Quick window
// (offscreen) with the shared stores and the real player, against the stand-in backend. Every
// test also fails on any QML warning.

using namespace quickhost;

namespace {

class PlayerSheetsQml : public QmlWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        standin::installDemoCatalogue(server);
        standin::installAudioRoutes(server);
        standin::installAccountRoutes(server);
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        UrlOpener::setHandlerForTesting([this](const QUrl &url) {
            opened.append(url);
            return true;
        });
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        RadioPlayer *player = RadioPlayer::shared();
        if (player->isPlaying())
            player->togglePlayPause();
        UrlOpener::setHandlerForTesting(nullptr);
        APIClient::shared().setBaseURL(previousBase);
    }

    // Plays a rotation of the stand-in's catalogue on the shared player.
    void playRotation(const QString &genre)
    {
        ASSERT_TRUE(testsupport::selectCatalogueStation(genre));
        ASSERT_TRUE(waitFor([] { return RadioPlayer::shared()->isPlaying(); }, 10000));
    }
    QQuickItem *item(const QString &name) const
    {
        return itemNamed(qobject_cast<QQuickItem *>(hosted.screen()), name);
    }
    void click(QQuickItem *target, QPointF at = {-1, -1})
    {
        ASSERT_TRUE(target);
        if (at.x() < 0)
            at = QPointF(target->width() / 2, target->height() / 2);
        QTest::mouseClick(hosted.window(), Qt::LeftButton, {}, target->mapToScene(at).toPoint());
    }
    static QString accessibleName(QQuickItem *target)
    {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(target);
        return a ? a->text(QAccessible::Name) : QString();
    }
    // Every control a screen reader is shown carries a name.
    void expectControlsNamed() const
    {
        const QList<QAccessible::Role> controls{QAccessible::Button, QAccessible::CheckBox, QAccessible::Slider,
                                                QAccessible::ListItem, QAccessible::ButtonMenu};
        int seen = 0;
        for (QAccessibleInterface *node : accessibletree::shownNodes(hosted.window())) {
            if (!controls.contains(node->role()))
                continue;
            ++seen;
            EXPECT_FALSE(node->text(QAccessible::Name).isEmpty()) << "role " << int(node->role());
        }
        EXPECT_GT(seen, 0);
    }
    static void press(QQuickItem *target)
    {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(target);
        ASSERT_TRUE(a && a->actionInterface());
        a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }

    standin::StandInServer server;
    QUrl previousBase;
    QList<QUrl> opened;
    accessibletree::Session accessibility;
};

// The visible delegate of the list whose text is `text`.
QQuickItem *rowWithText(QQuickItem *list, const QString &text)
{
    QQuickItem *content = list->property("contentItem").value<QQuickItem *>();
    for (QQuickItem *row : content->childItems()) {
        if (row->property("text").toString() == text && row->isVisible())
            return row;
    }
    return nullptr;
}

} // namespace

TEST_F(PlayerSheetsQml, LyricsFollowThePlayerAndATapSeeks)
{
    playRotation(QStringLiteral("persian"));
    loadQml("LyricsSheet { station: RadioPlayer.currentStation }");
    auto *model = hosted.screen()->findChild<LyricsSheetModel *>();
    ASSERT_TRUE(model);
    QQuickItem *list = item(QStringLiteral("lyricsList"));
    ASSERT_TRUE(list);
    ASSERT_TRUE(waitFor([&] { return list->isVisible() && list->property("count").toInt() > 2; }, 10000));
    EXPECT_EQ(item(QStringLiteral("trackTitle"))->property("text").toString(),
              RadioPlayer::shared()->currentStation()->displayTrackTitle());
    EXPECT_TRUE(model->ticking());

    // The line being sung lights up as the music plays.
    ASSERT_TRUE(waitFor([&] { return model->activeIndex() >= 0; }, 10000));

    // A tap on the third line seeks there; the highlight follows.
    const LyricsLine third = model->lines()->lines().at(2);
    QQuickItem *row = rowWithText(list, third.text.value_or(QString()));
    ASSERT_TRUE(row);
    EXPECT_EQ(accessibleName(row), third.text.value_or(QString()));
    click(row);
    ASSERT_TRUE(waitFor([&] { return RadioPlayer::shared()->currentTime() >= *third.time; }, 5000));
    ASSERT_TRUE(waitFor([&] { return model->activeIndex() == 2; }, 5000));
    EXPECT_TRUE(row->property("active").toBool());

    // By keyboard: the list starts at the line being sung; Up, then Enter seeks back a line.
    list->forceActiveFocus();
    EXPECT_EQ(list->property("currentIndex").toInt(), 2);
    QTest::keyClick(hosted.window(), Qt::Key_Up);
    QTest::keyClick(hosted.window(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return model->activeIndex() == 1; }, 5000));

    // The translation toggle, from assistive technology.
    QQuickItem *toggle = item(QStringLiteral("translationToggle"));
    EXPECT_EQ(accessibleName(toggle), QStringLiteral("ترجمه"));
    press(toggle);
    EXPECT_FALSE(model->showTranslation());
    toggle->forceActiveFocus();
    QTest::keyClick(hosted.window(), Qt::Key_Space);
    EXPECT_TRUE(model->showTranslation());
    expectControlsNamed();
}

TEST_F(PlayerSheetsQml, EqualiserControlsWriteTheSettings)
{
    Equalizer &eq = Equalizer::shared();
    // Opened by keyboard, the menu lands on its first item, and the stored preset is checked from
    // the first opening (a fresh configuration's "تخت", or one stored before a restart): the
    // item's own state, which Qt hands to a screen reader when it attaches (this platform has no
    // bridge to attach, so the item is asked too).
    for (const QString &stored : {QStringLiteral("تخت"), QStringLiteral("راک")}) {
        SCOPED_TRACE(stored.toStdString());
        eq.applyPreset(stored);
        loadQml("EQView {}");
        QQuickItem *menu = item(QStringLiteral("presetMenu"));
        ASSERT_TRUE(menu);
        menu->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(hosted.window(), Qt::Key_Return);
        ASSERT_TRUE(waitFor([&] { return menu->property("menuOpen").toBool(); }));
        for (const EQPreset &preset : EQPreset::all()) {
            QAccessibleInterface *node = accessibletree::shownNode(hosted.window(), preset.name, QAccessible::MenuItem);
            ASSERT_TRUE(node && node->object()) << preset.name.toStdString();
            const bool current = preset.name == stored;
            EXPECT_EQ(node->state().checked, current) << preset.name.toStdString();
            EXPECT_EQ(node->object()->property("checked").toBool(), current) << preset.name.toStdString();
            EXPECT_EQ(node->state().focused, preset.name == EQPreset::all().first().name) << preset.name.toStdString();
        }
        QTest::keyClick(hosted.window(), Qt::Key_Escape);
        ASSERT_TRUE(waitFor([&] { return !menu->property("menuOpen").toBool(); }));
    }

    eq.applyPreset(EQPreset::all().first());
    eq.setEnabled(false);
    loadQml("EQView {}");
    QQuickItem *menu = item(QStringLiteral("presetMenu"));
    QQuickItem *band = item(QStringLiteral("band0"));
    ASSERT_TRUE(menu && band);
    EXPECT_FALSE(menu->isEnabled());
    EXPECT_FALSE(band->isEnabled());

    // The switch, by keyboard.
    QQuickItem *toggle = item(QStringLiteral("eqToggle"));
    EXPECT_EQ(accessibleName(toggle), QStringLiteral("اکولایزر"));
    toggle->forceActiveFocus();
    QTest::keyClick(hosted.window(), Qt::Key_Space);
    EXPECT_TRUE(eq.enabled());
    ASSERT_TRUE(menu->isEnabled());

    // The menu: open it, go down to the second preset and choose it.
    menu->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(hosted.window(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return menu->property("menuOpen").toBool(); }));
    QTest::keyClick(hosted.window(), Qt::Key_Down);
    QTest::keyClick(hosted.window(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return eq.selectedPreset() == QStringLiteral("پاپ"); }));
    EXPECT_EQ(item(QStringLiteral("presetLabel"))->property("text").toString(), QStringLiteral("حالت: پاپ"));

    // A band slider by keyboard: a custom setting, its gain written at once.
    QQuickItem *slider = itemNamed(band, QStringLiteral("bandSlider"));
    ASSERT_TRUE(slider);
    EXPECT_EQ(accessibleName(slider), QStringLiteral("بیس"));
    slider->forceActiveFocus();
    QTest::keyClick(hosted.window(), Qt::Key_Up);
    EXPECT_EQ(eq.gains().at(0), 0.0f);
    EXPECT_EQ(eq.selectedPreset(), QStringLiteral("سفارشی"));
    EXPECT_EQ(itemNamed(band, QStringLiteral("gainText"))->property("text").toString(), QStringLiteral("+0"));
    EXPECT_EQ(item(QStringLiteral("footerText"))->property("text").toString().left(14), QStringLiteral("از 80hrtz تا 1"));
    expectControlsNamed();
    eq.setEnabled(false);
}

TEST_F(PlayerSheetsQml, FooterDownloadsRemovesAndOpensTheTelegramLink)
{
    // Its tracks carry their own audio addresses.
    playRotation(QStringLiteral("jazz"));
    loadQml("PlayerFooter { width: 400; station: RadioPlayer.currentStation }");
    QQuickItem *download = item(QStringLiteral("downloadButton"));
    ASSERT_TRUE(download && download->isVisible());
    EXPECT_EQ(accessibleName(download), QStringLiteral("دانلود"));

    click(download);
    ASSERT_TRUE(waitFor([&] { return accessibleName(download) == QStringLiteral("حذف دانلود"); }, 20000));
    press(download);
    ASSERT_TRUE(waitFor([&] { return accessibleName(download) == QStringLiteral("دانلود"); }));

    // The Telegram link: opened; then a refusal shown under the button.
    QQuickItem *telegram = item(QStringLiteral("telegramButton"));
    click(telegram);
    ASSERT_TRUE(waitFor([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened.first().host(), QStringLiteral("t.me"));
    server.script("POST", QStringLiteral("/api/telegram/download-token"),
                  standin::Reply::json(R"({"message":"لینک ساخته نشد"})", 500), 1);
    ASSERT_TRUE(waitFor([&] { return telegram->isEnabled(); }));
    click(telegram);
    QQuickItem *error = item(QStringLiteral("telegramError"));
    ASSERT_TRUE(waitFor([&] { return error->isVisible(); }));
    EXPECT_EQ(error->property("text").toString(), QStringLiteral("لینک ساخته نشد"));
    expectControlsNamed();
}
