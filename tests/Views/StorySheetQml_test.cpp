#include "AccessibleTree.h"
#include "QmlWindowFixture.h"
#include "Services/APIClient.h"
#include "StoryViewModel.h"
#include "support/StandInServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

// The story sheet in a real Qt Quick window (offscreen), presented as the full player presents
// it, over the stand-in backend: its range menus with very long lyrics, and the share sheet over
// it. Fails on any QML warning.

using namespace quickhost;
using namespace Qt::StringLiterals;

namespace {

// 26 characters: shown whole in a menu.
const QString kWholeLine = u"Fold a wish and let it go!"_s;
// Longer: cut in a menu, on screen only.
const QString kLongLine = u"Hidden Song 1 of paper boats on a quiet river"_s;

class StorySheetQml : public QmlWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        APIClient::shared().setBaseURL(previousBase);
    }

    // Lyrics of `count` timed lines, the first one kWholeLine, the second kLongLine.
    void scriptLyrics(int count)
    {
        QJsonArray lines;
        for (int i = 0; i < count; ++i)
            lines.append(QJsonObject{{u"time"_s, i * 2.5},
                                     {u"text"_s, i == 0   ? kWholeLine
                                                : i == 1 ? kLongLine
                                                         : u"line %1 of the song"_s.arg(i + 1)}});
        const QJsonObject data{{u"found"_s, true}, {u"lines"_s, lines}};
        server.script("GET", u"/api/lyrics"_s,
                      standin::Reply::json(QJsonDocument(QJsonObject{{u"data"_s, data}}).toJson(QJsonDocument::Compact)));
    }

    // Presents the sheet with a station and waits for the line picker.
    StoryViewModel *showSheet()
    {
        QObject *root = loadQml("Item { id: root; property bool show: false; property var station: null\n"
                                "  Sheet { objectName: \"storySheet\"; presenter: root; flag: \"show\"\n"
                                "    StoryView { objectName: \"storyView\"; station: root.station } } }");
        if (!root)
            return nullptr;
        Station station;
        station.genre = u"pop"_s;
        station.title = u"Night Song"_s;
        station.artist = u"Aria Sky"_s;
        root->setProperty("station", station.toVariant());
        root->setProperty("show", true);
        if (!waitFor([&] { return item(u"storyView"_s) != nullptr; }))
            return nullptr;
        auto *model = item(u"storyView"_s)->property("storyModel").value<StoryViewModel *>();
        if (!model || !waitFor([&] { return model->content() == StoryViewModel::Content::Picker; }, 20000))
            return nullptr;
        return model;
    }

    QQuickItem *item(const QString &name) const { return itemNamed(hosted.window()->contentItem(), name); }
    QList<QQuickItem *> itemsNamed(QQuickItem *root, const QString &name) const
    {
        QList<QQuickItem *> found;
        for (QQuickItem *child : root->childItems()) {
            if (child->objectName() == name)
                found.append(child);
            found += itemsNamed(child, name);
        }
        return found;
    }
    QQuickItem *lineItem(const QString &text) const
    {
        for (QQuickItem *i : itemsNamed(hosted.window()->contentItem(), u"lineItem"_s))
            if (i->property("text").toString() == text)
                return i;
        return nullptr;
    }
    bool sheetShown() const { return hosted.screen()->property("show").toBool(); }
    void key(Qt::Key k) { QTest::keyClick(hosted.window(), k); }
    // Focus on a range menu's button, then Space opens it.
    bool openMenu(const QString &name)
    {
        QQuickItem *button = item(name);
        if (!button)
            return false;
        button->forceActiveFocus();
        key(Qt::Key_Space);
        return waitFor([&] { return button->property("menuOpen").toBool() && item(u"lineList"_s); });
    }
    // Closed, however: the focus is back on the menu's button.
    bool menuClosed(const QString &name) const
    {
        return waitFor([&] {
            QQuickItem *button = item(name);
            return button && !button->property("menuOpen").toBool() && button->hasActiveFocus();
        });
    }

    accessibletree::Session accessibility;
    standin::StandInServer server;
    QUrl previousBase;
};

} // namespace

TEST_F(StorySheetQml, RangeMenusOverThirtyThousandLines)
{
    constexpr int kLines = 30'000;
    scriptLyrics(kLines);
    StoryViewModel *model = showSheet();
    ASSERT_TRUE(model);
    EXPECT_EQ(model->lineItems()->rowCount(), kLines);
    // No item exists while the menus are closed.
    EXPECT_TRUE(itemsNamed(hosted.window()->contentItem(), u"lineItem"_s).isEmpty());

    // Open, only the rows in view (and a few beyond) exist; the current line is marked.
    ASSERT_TRUE(openMenu(u"startMenu"_s));
    const qsizetype built = itemsNamed(hosted.window()->contentItem(), u"lineItem"_s).size();
    EXPECT_GT(built, 3);
    EXPECT_LT(built, 60);
    QQuickItem *first = lineItem(u"1. "_s + kWholeLine);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->property("checked").toBool());
    // A 26-character line is shown whole, on one line.
    auto *label = first->property("contentItem").value<QQuickItem *>();
    ASSERT_TRUE(label);
    EXPECT_EQ(label->property("lineCount").toInt(), 1);
    EXPECT_FALSE(label->property("truncated").toBool());
    // Each item is a menu item to assistive technology, named by its text.
    QAccessibleInterface *node = accessibletree::shownNode(hosted.window(), u"1. "_s + kWholeLine, QAccessible::MenuItem);
    ASSERT_TRUE(node);
    EXPECT_TRUE(node->state().checked);
    // A line longer than an item shows is cut on screen and named whole.
    EXPECT_FALSE(lineItem(u"2. "_s + kLongLine));
    EXPECT_TRUE(accessibletree::shownNode(hosted.window(), u"2. "_s + kLongLine, QAccessible::MenuItem));

    // Keyboard: End goes to the last line, Enter chooses it; the end follows the start.
    key(Qt::Key_End);
    ASSERT_TRUE(waitFor([&] { return lineItem(u"30000. line 30000 of the song"_s); }));
    EXPECT_LT(itemsNamed(hosted.window()->contentItem(), u"lineItem"_s).size(), 60);
    key(Qt::Key_Return);
    ASSERT_TRUE(menuClosed(u"startMenu"_s));
    EXPECT_EQ(model->startLine(), kLines - 1);
    EXPECT_EQ(model->endLine(), kLines - 1);
    EXPECT_EQ(model->startLabel(), u"#30000 — line 30000 of the song"_s);

    // The other menu opens at its own line; Home, two steps down and Space choose the third
    // line, dragging the start back.
    ASSERT_TRUE(openMenu(u"endMenu"_s));
    EXPECT_TRUE(lineItem(u"30000. line 30000 of the song"_s));
    key(Qt::Key_Home);
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    key(Qt::Key_Space);
    ASSERT_TRUE(menuClosed(u"endMenu"_s));
    EXPECT_EQ(std::make_pair(model->startLine(), model->endLine()), std::make_pair(2, 2));

    // A screen reader's press on an item chooses it, as a click does; Escape closes a menu and
    // leaves the sheet open.
    ASSERT_TRUE(openMenu(u"endMenu"_s));
    QAccessibleInterface *fifth = accessibletree::shownNode(hosted.window(), u"5. line 5 of the song"_s,
                                                            QAccessible::MenuItem);
    ASSERT_TRUE(fifth);
    ASSERT_TRUE(accessibletree::press(fifth));
    ASSERT_TRUE(menuClosed(u"endMenu"_s));
    EXPECT_EQ(std::make_pair(model->startLine(), model->endLine()), std::make_pair(2, 4));
    EXPECT_EQ(model->durationText(), u"مدت ویدیو: 6 ثانیه"_s); // 10 − 5 + 1
    ASSERT_TRUE(openMenu(u"startMenu"_s));
    key(Qt::Key_Escape);
    ASSERT_TRUE(menuClosed(u"startMenu"_s));
    EXPECT_TRUE(sheetShown());
    EXPECT_TRUE(waitFor([&] { return itemsNamed(hosted.window()->contentItem(), u"lineItem"_s).isEmpty(); }));
}

TEST_F(StorySheetQml, ShareSheetShowsAboveTheStorySheetAndEscapeClosesItFirst)
{
    scriptLyrics(3);
    ASSERT_TRUE(showSheet());
    QObject *sheet = hosted.screen()->findChild<QObject *>(u"storySheet"_s);
    QObject *share = item(u"storyView"_s)->findChild<QObject *>(u"shareSheet"_s);
    ASSERT_TRUE(sheet && share);
    ASSERT_TRUE(waitFor([&] { return sheet->property("opened").toBool(); }));
    QMetaObject::invokeMethod(share, "open");
    ASSERT_TRUE(waitFor([&] { return share->property("opened").toBool(); }));

    // What shows at the share sheet's centre is the share sheet, not the story sheet under it.
    auto *shareContent = share->property("contentItem").value<QQuickItem *>();
    ASSERT_TRUE(shareContent);
    QQuickItem *overlay = shareContent;
    QQuickItem *sharePopupItem = nullptr;
    while (overlay->parentItem() && overlay->parentItem() != hosted.window()->contentItem()) {
        sharePopupItem = overlay;
        overlay = overlay->parentItem();
    }
    const QPointF centre = shareContent->mapToItem(overlay, QPointF(shareContent->width() / 2, shareContent->height() / 2));
    EXPECT_EQ(overlay->childAt(centre.x(), centre.y()), sharePopupItem);
    EXPECT_TRUE(accessibletree::shownNode(hosted.window(), u"کپی فایل"_s, QAccessible::Button));

    // Escape closes the share sheet first, then the story sheet.
    key(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !share->property("visible").toBool(); }));
    EXPECT_TRUE(sheetShown());
    EXPECT_TRUE(sheet->property("opened").toBool());
    key(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !sheetShown() && !sheet->property("visible").toBool(); }));
}

TEST_F(StorySheetQml, SaveAsOpensItsDialogAndAFailedSaveSaysWhy)
{
    scriptLyrics(3);
    StoryViewModel *model = showSheet();
    ASSERT_TRUE(model);
    QObject *share = item(u"storyView"_s)->findChild<QObject *>(u"shareSheet"_s);
    ASSERT_TRUE(share);
    QMetaObject::invokeMethod(share, "open");
    ASSERT_TRUE(waitFor([&] { return share->property("opened").toBool(); }));

    // The dialog opens (its own implementation loads without a warning) over the share sheet.
    QAccessibleInterface *saveAs = accessibletree::shownNode(hosted.window(), u"ذخیره به نام…"_s, QAccessible::Button);
    ASSERT_TRUE(saveAs);
    ASSERT_TRUE(accessibletree::press(saveAs));
    QObject *dialog = nullptr;
    ASSERT_TRUE(waitFor([&] {
        dialog = hosted.window()->contentItem()->findChild<QObject *>(u"saveDialog"_s);
        if (!dialog)
            dialog = share->findChild<QObject *>(u"saveDialog"_s);
        return dialog && dialog->property("visible").toBool();
    }));
    EXPECT_TRUE(share->property("visible").toBool());

    // Accepted without a video to copy: the sheet says the save failed, and why.
    QMetaObject::invokeMethod(dialog, "accept");
    ASSERT_TRUE(waitFor([&] { return !share->property("visible").toBool(); }));
    EXPECT_EQ(model->errorText(), u"خطا در ذخیره: فایل ویدیو پیدا نشد"_s);
    QQuickItem *error = item(u"errorText"_s);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->isVisible());
    EXPECT_EQ(error->property("text").toString(), model->errorText());
}
