#include "support/AccessibleTree.h"
#include "ActivitySharer.h"
#include "Platform/PhotoLibrary.h"
#include "support/QmlWindowFixture.h"
#include "Services/APIClient.h"
#include "StoryViewModel.h"
#include "support/StandInServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QQuickItem>
#include <QTemporaryDir>
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
    // Focus on a range menu's button from the keyboard, then Space opens it.
    bool openMenu(const QString &name)
    {
        QQuickItem *button = item(name);
        if (!button)
            return false;
        button->forceActiveFocus(Qt::TabFocusReason);
        key(Qt::Key_Space);
        return waitFor([&] { return button->property("menuOpen").toBool() && item(u"lineList"_s); });
    }
    // Closed, however: the focus is back on the menu's button, showing.
    bool menuClosed(const QString &name) const
    {
        return waitFor([&] {
            QQuickItem *button = item(name);
            return button && !button->property("menuOpen").toBool() && button->hasActiveFocus()
                && button->property("visualFocus").toBool();
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

TEST_F(StorySheetQml, ARenderEndsOnItsResultAndSaveAsSavesWhereTheListenerSays)
{
    scriptLyrics(3);
    StoryViewModel *model = showSheet();
    ASSERT_TRUE(model);
    QQuickWindow *window = hosted.window();
    const auto focusedName = [&] {
        QQuickItem *focused = window->activeFocusItem();
        QAccessibleInterface *node = focused ? QAccessible::queryAccessibleInterface(focused) : nullptr;
        return node ? node->text(QAccessible::Name) : QString();
    };
    const auto focusShows = [&] {
        QQuickItem *focused = window->activeFocusItem();
        return focused && focused->property("visualFocus").toBool();
    };

    // "ساخت ویدیو" by keyboard: when the render ends, the focus is on the result's first button.
    QQuickItem *generate = item(u"generateButton"_s);
    ASSERT_TRUE(generate);
    generate->forceActiveFocus(Qt::TabFocusReason);
    key(Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return model->isRendering(); }));
    ASSERT_TRUE(waitFor([&] { return !model->isRendering(); }, 120000));
    ASSERT_FALSE(model->videoURL().isEmpty()) << model->errorText().toStdString();
    EXPECT_TRUE(waitFor([&] { return window->activeFocusItem() == item(u"regenerateButton"_s); }))
        << focusedName().toStdString();
    EXPECT_TRUE(focusShows());

    // The share sheet, opened by keyboard, lands on its first button; its last saves as.
    key(Qt::Key_Tab);
    ASSERT_EQ(window->activeFocusItem(), item(u"shareButton"_s));
    key(Qt::Key_Space);
    QObject *share = item(u"storyView"_s)->findChild<QObject *>(u"shareSheet"_s);
    ASSERT_TRUE(share);
    ASSERT_TRUE(waitFor([&] { return share->property("opened").toBool(); }));
    EXPECT_EQ(focusedName(), u"باز کردن با برنامهٔ پیش‌فرض"_s);
    EXPECT_TRUE(focusShows());

    QTemporaryDir chosen;
    const QDir root(chosen.path());
    ASSERT_TRUE(root.mkpath(u"other"_s) && root.mkpath(u"gone"_s));
    QFile original(model->videoURL().toLocalFile());
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray video = original.readAll();
    ASSERT_FALSE(video.isEmpty());

    // Each save: the name typed, a folder reached through the dialog's list, accepted by a click
    // where its button shows or by Return; the file and the sheet's line are checked.
    const struct {
        const char *name;
        QString typed;
        QString folder; // a row of the chosen folder's list
        bool removeFolderFirst;
        bool byReturn;
        QString saved; // empty: fails
        bool replaces = false; // a file is there under the name: asked first
    } saves[] = {
        {"typed without its suffix, in another folder, clicked", u"kb-story"_s, u"other"_s, false, false, u"other/kb-story.mp4"_s},
        {"the folder gone meanwhile", u"lost.mp4"_s, u"gone"_s, true, true, {}},
        {"typed with its suffix, Return", u"second take.mp4"_s, u"other"_s, false, true, u"other/second take.mp4"_s},
        {"a name taken, replaced when confirmed", u"kb-story"_s, u"other"_s, false, true, u"other/kb-story.mp4"_s, true},
    };
    QObject *dialog = item(u"storyView"_s)->findChild<QObject *>(u"saveDialog"_s);
    ASSERT_TRUE(dialog);
    auto *chooser = dialog->property("chooser").value<QObject *>();
    ASSERT_TRUE(chooser);
    bool first = true;
    for (const auto &row : saves) {
        SCOPED_TRACE(row.name);
        if (!first) {
            QMetaObject::invokeMethod(share, "open");
            ASSERT_TRUE(waitFor([&] { return share->property("opened").toBool(); }));
        }
        QAccessibleInterface *saveAs = accessibletree::shownNode(window, u"ذخیره به نام…"_s, QAccessible::Button);
        ASSERT_TRUE(saveAs);
        if (first) {
            for (int i = 0; i < 3; ++i)
                key(Qt::Key_Tab);
            ASSERT_EQ(focusedName(), u"ذخیره به نام…"_s);
            key(Qt::Key_Return);
        } else {
            ASSERT_TRUE(accessibletree::press(saveAs));
        }
        ASSERT_TRUE(waitFor([&] { return dialog->property("opened").toBool(); }));
        ASSERT_TRUE(waitFor([&] { return !share->property("visible").toBool(); }));
        auto *content = dialog->property("contentItem").value<QQuickItem *>();
        ASSERT_TRUE(content);
        QQuickItem *nameField = itemNamed(content, u"nameField"_s);
        QQuickItem *accept = itemNamed(content, u"acceptButton"_s);
        ASSERT_TRUE(nameField && accept);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(accept)->text(QAccessible::Name), u"ذخیره"_s);
        // It starts in the Videos folder with the video's name, in the focused name field.
        EXPECT_EQ(chooser->property("folder").toString(), ActivitySharer::saveFolder());
        EXPECT_EQ(chooser->property("fileName").toString(), QFileInfo(model->videoURL().toLocalFile()).fileName());
        EXPECT_TRUE(nameField->hasActiveFocus());
        QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
        for (const QChar c : row.typed)
            QTest::keyClick(window, c.toLatin1());
        // Another folder, through its row in the list (a click): the typed name stays.
        chooser->setProperty("folder", chosen.path());
        QQuickItem *folderRow = nullptr;
        ASSERT_TRUE(waitFor([&] {
            for (QQuickItem *entry : itemsNamed(content, u"entryButton"_s)) {
                if (entry->property("text").toString() == row.folder)
                    folderRow = entry;
            }
            return folderRow != nullptr;
        }));
        // (The first time by keyboard: the folder entered is empty, and the focus goes on to a
        // named control of the dialog, not to the dialog itself.)
        if (first) {
            folderRow->forceActiveFocus(Qt::TabFocusReason);
            key(Qt::Key_Return);
        } else {
            QTest::mouseClick(window, Qt::LeftButton, {}, folderRow->mapToScene(QPointF(folderRow->width() / 2, folderRow->height() / 2)).toPoint());
        }
        ASSERT_TRUE(waitFor([&] { return chooser->property("folder").toString() == root.filePath(row.folder); }));
        if (first) {
            EXPECT_TRUE(waitFor([&] {
                QQuickItem *focused = window->activeFocusItem();
                return focused && focused->activeFocusOnTab() && !focusedName().isEmpty();
            })) << focusedName().toStdString();
        }
        EXPECT_EQ(nameField->property("text").toString(), row.typed);
        if (row.removeFolderFirst) {
            ASSERT_TRUE(QDir(root.filePath(row.folder)).removeRecursively());
        }
        const QString errorBefore = model->errorText();
        // The dialog is the topmost thing where its button shows: a click there presses it.
        if (row.byReturn) {
            nameField->forceActiveFocus();
            key(Qt::Key_Return);
        } else {
            QTest::mouseClick(window, Qt::LeftButton, {}, accept->mapToScene(QPointF(accept->width() / 2, accept->height() / 2)).toPoint());
        }
        if (row.replaces) {
            ASSERT_TRUE(QFile(root.filePath(row.saved)).resize(3));
            QAccessibleInterface *replace = nullptr;
            ASSERT_TRUE(waitFor([&] {
                replace = accessibletree::shownNode(window, u"جایگزینی"_s, QAccessible::Button);
                return replace != nullptr;
            }));
            EXPECT_TRUE(accessibletree::shownNode(window, u"«\u2066kb-story.mp4\u2069» از پیش هست"_s));
            EXPECT_EQ(focusedName(), u"انصراف"_s); // the safe button
            ASSERT_TRUE(accessibletree::press(replace));
        }
        ASSERT_TRUE(waitFor([&] { return !dialog->property("visible").toBool(); }));
        if (row.saved.isEmpty()) {
            ASSERT_TRUE(waitFor([&] { return !model->errorText().isEmpty(); }));
            EXPECT_EQ(model->errorText(),
                      u"خطا در ذخیره: پوشهٔ مقصد پیدا نشد: «%1»"_s.arg(PhotoLibrary::isolated(root.filePath(row.folder))));
            EXPECT_TRUE(item(u"errorText"_s)->isVisible());
        } else {
            const QString target = root.filePath(row.saved);
            const QString notice = u"ذخیره شد: "_s + PhotoLibrary::isolated(target);
            ASSERT_TRUE(waitFor([&] {
                return model->noticeText() == notice || (!model->errorText().isEmpty() && model->errorText() != errorBefore);
            }, 20000)) << model->errorText().toStdString();
            QFile copy(target);
            ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
            EXPECT_EQ(copy.readAll(), video);
            // A success takes the place of an earlier failure.
            EXPECT_TRUE(model->errorText().isEmpty());
            EXPECT_FALSE(item(u"errorText"_s)->isVisible());
            EXPECT_TRUE(item(u"noticeText"_s)->isVisible());
        }
        first = false;
    }
    EXPECT_EQ(QDir(root.filePath(u"other"_s)).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u"kb-story.mp4"_s, u"second take.mp4"_s}));
}
