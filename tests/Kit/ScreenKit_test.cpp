#include "Kit/Theme.h"
#include "Kit/SaveFileDialogModel.h"
#include "Services/ShazamManager.h"
#include "support/QuickHost.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QTemporaryDir>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include "support/QmlWindowFixture.h"

#include <gtest/gtest.h>

// The screen kit at work in a real Qt Quick window (offscreen): store singletons, sheets, the
// full-screen cover, the navigation stack and the context menu. Every test also fails on any QML
// warning.

using namespace quickhost;

namespace {

class ScreenKit : public QmlWindowFixture
{
protected:
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        ShazamManager::shared().setOpenRequest(false);
    }

    QObject *load(const QByteArray &qml) { return loadQml(qml); }
    QObject *find(const char *name) const
    {
        QObject *object = hosted.screen()->findChild<QObject *>(QLatin1String(name));
        if (!object && hosted.window())
            object = hosted.window()->findChild<QObject *>(QLatin1String(name));
        return object;
    }
    QQuickWindow *window() const { return hosted.window(); }
    // Every item in the scene below `root`, popups' items included.
    static QList<QQuickItem *> allItems(QQuickItem *root)
    {
        QList<QQuickItem *> items;
        for (QQuickItem *child : root->childItems())
            items << child << allItems(child);
        return items;
    }
    static QPoint centreOf(QQuickItem *item)
    {
        return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    }

};

// A sheet on a QML flag, with content that counts its instances.
const QByteArray sheetHost = R"(
Item {
    id: root
    property bool showSheet: false
    property int built: 0
    property var seenShazam: null
    Sheet {
        objectName: "sheet"
        presenter: root
        flag: "showSheet"
        Rectangle {
            objectName: "sheetContent"
            signal dismissRequested()
            color: "red"
            Component.onCompleted: { root.built++; root.seenShazam = ShazamManager }
        }
    }
}
)";

} // namespace

TEST_F(ScreenKit, StoreSingletonsAreTheProcessWideInstancesAndOutliveTheEngine)
{
    QObject *root = load(R"(
Item {
    property var shazam: ShazamManager
    property var theme: Theme
    property color accent: Theme.accent
    property font footnote: Theme.footnote
    property font symbolFont: Theme.font(26, Font.DemiBold)
    Text { objectName: "styled"; font: Theme.withWeight(Theme.footnote, Font.DemiBold) }
}
)");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->property("shazam").value<QObject *>(), &ShazamManager::shared());
    EXPECT_EQ(root->property("theme").value<QObject *>(), &Theme::shared());
    EXPECT_EQ(root->property("accent").value<QColor>(), QColor::fromRgbF(0.39f, 0.40f, 0.95f));
    EXPECT_EQ(root->property("footnote").value<QFont>().pixelSize(), 13);
    EXPECT_EQ(root->property("symbolFont").value<QFont>().pixelSize(), 26);
    EXPECT_EQ(root->property("symbolFont").value<QFont>().weight(), QFont::DemiBold);
    // A text style with another weight: the style's size and family stay.
    const QFont styled = find("styled")->property("font").value<QFont>();
    EXPECT_EQ(styled.pixelSize(), 13);
    EXPECT_EQ(styled.weight(), QFont::DemiBold);
    EXPECT_EQ(styled.families(), Theme::fontFamilies());

    QPointer<ShazamManager> shazam = &ShazamManager::shared();
    QPointer<Theme> theme = &Theme::shared();
    hosted = HostedScreen();
    engine.reset(); // the engine goes; the stores stay
    EXPECT_TRUE(shazam);
    EXPECT_TRUE(theme);

    engine = makeEngine();
    root = load("Item { property var shazam: ShazamManager }");
    EXPECT_EQ(root->property("shazam").value<QObject *>(), shazam.data());
}

TEST_F(ScreenKit, PresentedAndPushedScreensSeeTheSameStores)
{
    QObject *root = load(R"(
Item {
    id: root
    property bool showSheet: true
    property bool showCover: true
    property var inSheet: null
    property var inCover: null
    property var inPage: null
    NavigationStack {
        objectName: "stack"
        anchors.fill: parent
        initialItem: NavigationPage {}
    }
    Component {
        id: page
        NavigationPage { Component.onCompleted: root.inPage = ShazamManager }
    }
    Sheet { presenter: root; flag: "showSheet"; Item { Component.onCompleted: root.inSheet = ShazamManager } }
    FullScreenCover { presenter: root; flag: "showCover"; Item { Component.onCompleted: root.inCover = ShazamManager } }
    Component.onCompleted: Qt.callLater(() => { const s = root.children[0]; s.push(page) })
}
)");
    ASSERT_TRUE(root);
    QObject *shared = &ShazamManager::shared();
    EXPECT_TRUE(waitFor([&] {
        return root->property("inSheet").value<QObject *>() == shared
            && root->property("inCover").value<QObject *>() == shared
            && root->property("inPage").value<QObject *>() == shared;
    }));
}

TEST_F(ScreenKit, SheetLivesOnlyWhileItsFlagIsTrue)
{
    QObject *root = load(sheetHost);
    ASSERT_TRUE(root);
    QObject *sheet = find("sheet");
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->property("visible").toBool());
    EXPECT_EQ(root->property("built").toInt(), 0); // nothing built while closed

    root->setProperty("showSheet", true);
    ASSERT_TRUE(waitFor([&] { return sheet->property("opened").toBool(); }));
    QPointer<QObject> content = sheet->property("contentScreen").value<QObject *>();
    ASSERT_TRUE(content);
    EXPECT_EQ(root->property("built").toInt(), 1);

    // The presenter closes it: the content is destroyed once the sheet has closed.
    root->setProperty("showSheet", false);
    ASSERT_TRUE(waitFor([&] { return !sheet->property("visible").toBool(); }));
    EXPECT_TRUE(waitFor([&] { return content.isNull(); }));

    // Every opening builds a fresh screen.
    root->setProperty("showSheet", true);
    ASSERT_TRUE(waitFor([&] { return sheet->property("opened").toBool(); }));
    EXPECT_EQ(root->property("built").toInt(), 2);
}

TEST_F(ScreenKit, SheetClosesOnEscapeOnATapOutsideAndOnItsContentsRequestAndWritesTheFlagBack)
{
    QObject *root = load(sheetHost);
    ASSERT_TRUE(root);
    QObject *sheet = find("sheet");
    auto openSheet = [&] {
        root->setProperty("showSheet", true);
        return waitFor([&] { return sheet->property("opened").toBool(); });
    };
    auto closed = [&] {
        return waitFor([&] { return !sheet->property("visible").toBool(); })
            && !root->property("showSheet").toBool();
    };

    ASSERT_TRUE(openSheet());
    QTest::keyClick(window(), Qt::Key_Escape);
    EXPECT_TRUE(closed());

    ASSERT_TRUE(openSheet());
    // The sheet leaves a strip free at the top of the window: a tap there is outside.
    QTest::mouseClick(window(), Qt::LeftButton, {}, QPoint(window()->width() / 2, 10));
    EXPECT_TRUE(closed());

    ASSERT_TRUE(openSheet());
    QObject *content = sheet->property("contentScreen").value<QObject *>();
    ASSERT_TRUE(content);
    QMetaObject::invokeMethod(content, "dismissRequested");
    EXPECT_TRUE(closed());

    // Asked for again after all that: it opens.
    EXPECT_TRUE(openSheet());
}

TEST_F(ScreenKit, FullScreenCoverOnAStoreFlagClosesOnEscapeAndWritesTheStoreBack)
{
    QObject *root = load(R"(
Item {
    FullScreenCover {
        objectName: "cover"
        presenter: ShazamManager
        flag: "openRequest"
        Rectangle { property bool rtl: LayoutMirroring.enabled; color: "blue" }
    }
}
)");
    ASSERT_TRUE(root);
    QObject *cover = find("cover");
    ASSERT_TRUE(cover);
    ShazamManager::shared().requestOpen(false);
    ASSERT_TRUE(waitFor([&] { return cover->property("opened").toBool(); }));
    auto *content = qobject_cast<QQuickItem *>(cover->property("contentScreen").value<QObject *>());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->size(), QSizeF(window()->width(), window()->height()));
    // Laid out right to left like the window.
    EXPECT_TRUE(content->property("rtl").toBool());

    QTest::keyClick(window(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !cover->property("visible").toBool(); }));
    EXPECT_FALSE(ShazamManager::shared().openRequest());
}

TEST_F(ScreenKit, ASheetFromTheCoversContentStandsAboveTheCoverAndEscapeClosesItFirst)
{
    QObject *root = load(R"(
Item {
    id: root
    property bool showCover: true
    property bool showSheet: false
    FullScreenCover {
        objectName: "cover"
        presenter: root
        flag: "showCover"
        Item {
            Sheet { objectName: "innerSheet"; presenter: root; flag: "showSheet"; Item {} }
        }
    }
}
)");
    ASSERT_TRUE(root);
    QObject *cover = find("cover");
    ASSERT_TRUE(waitFor([&] { return cover->property("opened").toBool(); }));
    root->setProperty("showSheet", true);
    QObject *sheet = nullptr;
    ASSERT_TRUE(waitFor([&] {
        QObject *content = cover->property("contentScreen").value<QObject *>();
        sheet = content ? content->findChild<QObject *>(QStringLiteral("innerSheet")) : nullptr;
        return sheet && sheet->property("opened").toBool();
    }));

    QTest::keyClick(window(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !root->property("showSheet").toBool(); }));
    EXPECT_TRUE(waitFor([&] { return !sheet->property("visible").toBool(); }));
    EXPECT_TRUE(cover->property("opened").toBool());
    EXPECT_TRUE(root->property("showCover").toBool());

    QTest::keyClick(window(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !root->property("showCover").toBool(); }));
}

TEST_F(ScreenKit, NavigationStackPushesWithPropertiesAndDestroysPoppedPages)
{
    QObject *root = load(R"(
Item {
    id: root
    property int poppedCount: 0
    property alias stack: stack
    NavigationStack {
        id: stack
        objectName: "stack"
        anchors.fill: parent
        initialItem: NavigationPage { navigationTitle: "خانه"; navigationBarHidden: true }
    }
    Component {
        id: detail
        NavigationPage {
            objectName: "detail"
            property string station
            navigationTitle: station
            onPopped: root.poppedCount++
        }
    }
    function openDetail() { return stack.push(detail, { station: "persian" }) }
}
)");
    ASSERT_TRUE(root);
    QVariant result;
    QMetaObject::invokeMethod(root, "openDetail", Q_RETURN_ARG(QVariant, result));
    QPointer<QObject> page = result.value<QObject *>();
    ASSERT_TRUE(page);
    EXPECT_EQ(page->property("navigationTitle").toString(), QStringLiteral("persian"));
    EXPECT_TRUE(page->property("canGoBack").toBool());
    QObject *stack = find("stack");
    EXPECT_EQ(stack->property("depth").toInt(), 2);
    EXPECT_EQ(page->property("navigationStack").value<QObject *>(), stack);
    ASSERT_TRUE(waitFor([&] { return !stack->property("busy").toBool(); }));

    // The back button sits at the leading edge: the right in RTL.
    settle(50);
    const QPoint back(window()->width() - 24, 22);
    QTest::mouseClick(window(), Qt::LeftButton, {}, back);
    EXPECT_TRUE(waitFor([&] { return stack->property("depth").toInt() == 1; }));
    EXPECT_TRUE(waitFor([&] { return root->property("poppedCount").toInt() == 1; }));
    EXPECT_TRUE(waitFor([&] { return page.isNull(); }));
}

TEST_F(ScreenKit, ContextMenuOpensOnRightClickAndOnLongPressWithoutClickingTheButton)
{
    QObject *root = load(R"(
Item {
    id: root
    property int clicks: 0
    property int downloads: 0
    property bool offerNothing: false
    PlainButton {
        objectName: "row"
        x: 40; y: 100; width: 300; height: 60
        text: "ردیف"
        onClicked: root.clicks++
        ContextMenu {
            objectName: "menu"
            entries: () => root.offerNothing ? [] : [
                { text: "دانلود آفلاین", symbol: "arrow.down.circle", action: () => root.downloads++ }
            ]
        }
    }
    property string chosen
    PlainButton {
        objectName: "options"
        x: 40; y: 200; width: 120; height: 40
        text: "گزینه‌ها"
        onClicked: optionsMenu.openAt(0, height)
        ContextMenu {
            id: optionsMenu
            objectName: "optionsMenu"
            entries: () => [
                { text: "ویرایش", action: () => root.chosen = "ویرایش" },
                { text: "حذف", destructive: true, action: () => root.chosen = "حذف" }
            ]
        }
    }
}
)");
    ASSERT_TRUE(root);
    auto *row = qobject_cast<QQuickItem *>(find("row"));
    QObject *menu = find("menu");
    ASSERT_TRUE(row && menu);
    const QPoint at = centreOf(row);

    // A plain click clicks and opens nothing.
    QTest::mouseClick(window(), Qt::LeftButton, {}, at);
    EXPECT_EQ(root->property("clicks").toInt(), 1);
    EXPECT_FALSE(menu->property("opened").toBool());

    // Right click opens the menu; choosing its item runs the action.
    QTest::mouseClick(window(), Qt::RightButton, {}, at);
    ASSERT_TRUE(waitFor([&] { return menu->property("opened").toBool(); }));
    QQuickItem *item = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QQuickItem *candidate : allItems(window()->contentItem()))
            if (candidate->inherits("QQuickMenuItem") && candidate->isVisible() && candidate->height() > 0)
                item = candidate;
        return item != nullptr;
    }));
    settle(300); // the menu's opening transition
    QTest::mouseClick(window(), Qt::LeftButton, {}, centreOf(item));
    EXPECT_TRUE(waitFor([&] { return root->property("downloads").toInt() == 1; }));
    EXPECT_TRUE(waitFor([&] { return !menu->property("opened").toBool(); }));
    settle(300);

    // A long press opens it as well, and the release does not click the button.
    QTest::mousePress(window(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(waitFor([&] { return menu->property("opened").toBool(); }, 5000));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, at);
    settle(100);
    EXPECT_EQ(root->property("clicks").toInt(), 1);
    QTest::keyClick(window(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !menu->property("opened").toBool(); }));

    // Opened from the keyboard (Shift+F10 on the row, Space on a button whose click opens it), a
    // menu lands on its first item: Return chooses it at once. Opened by a click, it does not.
    const auto focusedItemText = [&] {
        QQuickItem *focused = window()->activeFocusItem();
        return focused && focused->inherits("QQuickMenuItem") ? focused->property("text").toString() : QString();
    };
    auto *options = qobject_cast<QQuickItem *>(find("options"));
    QObject *optionsMenu = find("optionsMenu");
    ASSERT_TRUE(options && optionsMenu);
    row->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(window(), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(waitFor([&] { return focusedItemText() == QStringLiteral("دانلود آفلاین"); }));
    QTest::keyClick(window(), Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return root->property("downloads").toInt() == 2; }));
    EXPECT_TRUE(waitFor([&] { return !menu->property("opened").toBool(); }));
    options->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(window(), Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return focusedItemText() == QStringLiteral("ویرایش"); }));
    QTest::keyClick(window(), Qt::Key_Down);
    QTest::keyClick(window(), Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return root->property("chosen").toString() == QStringLiteral("حذف"); }));
    EXPECT_TRUE(waitFor([&] { return !optionsMenu->property("opened").toBool(); }));
    settle(300);
    QTest::mouseClick(window(), Qt::LeftButton, {}, centreOf(options));
    ASSERT_TRUE(waitFor([&] { return optionsMenu->property("opened").toBool(); }));
    settle(300);
    EXPECT_EQ(focusedItemText(), QString());
    QQuickItem *second = nullptr;
    for (QQuickItem *candidate : allItems(window()->contentItem()))
        if (candidate->inherits("QQuickMenuItem") && candidate->isVisible() && candidate->property("text") == QStringLiteral("حذف"))
            second = candidate;
    ASSERT_TRUE(second);
    const QPoint overSecond = centreOf(second);
    QTest::keyClick(window(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !optionsMenu->property("opened").toBool(); }));
    settle(300);
    // A pointer resting where the menu opens takes nothing from the keyboard; moved, it leads.
    QTest::mouseMove(window(), overSecond);
    options->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(window(), Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return optionsMenu->property("opened").toBool(); }));
    settle(400);
    EXPECT_EQ(focusedItemText(), QStringLiteral("ویرایش"));
    QTest::mouseMove(window(), overSecond + QPoint(12, 3));
    EXPECT_TRUE(waitFor([&] { return focusedItemText() == QStringLiteral("حذف"); }));
    QTest::keyClick(window(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !optionsMenu->property("opened").toBool(); }));

    // No entries: no menu.
    root->setProperty("offerNothing", true);
    QTest::mouseClick(window(), Qt::RightButton, {}, at);
    settle(100);
    EXPECT_FALSE(menu->property("opened").toBool());
}

TEST(SaveFileDialogRules, TheTypedNameSavesInTheFolderShownWithItsSuffix)
{
    QTemporaryDir dir;
    const QDir root(dir.path());
    for (const char *folder : {"b", "A", ".hidden", "taken.mp4"})
        ASSERT_TRUE(root.mkpath(QString::fromLatin1(folder)));
    for (const char *file : {"x.mp4", "Y.MP4", "z.txt", ".h.mp4"})
        ASSERT_TRUE(QFile(root.filePath(QString::fromLatin1(file))).open(QIODevice::WriteOnly));

    // Typed names, and the file they save as (empty: none) or why not.
    const struct {
        QString typed;
        QString saved;
        QString problem;
    } names[] = {
        {QStringLiteral("kb-story"), QStringLiteral("kb-story.mp4"), {}},
        {QStringLiteral("kb-story.mp4"), QStringLiteral("kb-story.mp4"), {}},
        {QStringLiteral("Clip.MP4"), QStringLiteral("Clip.MP4"), {}},
        {QStringLiteral("  داستان من  "), QStringLiteral("داستان من.mp4"), {}},
        {QStringLiteral("notes.txt"), QStringLiteral("notes.txt.mp4"), {}},
        {QStringLiteral("   "), {}, {}},
        {QStringLiteral("a/b"), {}, QStringLiteral("نام فایل نمی‌تواند «/» داشته باشد")},
        {QStringLiteral(".."), {}, QStringLiteral("این نام برای فایل پذیرفته نیست")},
        {QStringLiteral("taken"), {}, QStringLiteral("پوشه‌ای به این نام هست")},
        // 600 bytes of UTF-8: longer than a file system takes for one name; 250 bytes fit.
        {QString(300, QChar(0x0628)), {}, QStringLiteral("نام فایل بیش از حد بلند است")},
        {QString(246, u'a'), QString(246, u'a') + QStringLiteral(".mp4"), {}},
    };
    SaveFileDialogModel model;
    model.setSuffix(QStringLiteral(".mp4"));
    model.setFolder(dir.path());
    for (const auto &row : names) {
        model.setFileName(row.typed);
        EXPECT_EQ(model.targetFile(), row.saved.isEmpty() ? QUrl() : QUrl::fromLocalFile(root.filePath(row.saved)))
            << row.typed.toStdString();
        EXPECT_EQ(model.nameProblem(), row.problem) << row.typed.toStdString();
    }

    // Folders first, then the files of the kind, in the language's order; hidden ones left out.
    ASSERT_TRUE(waitFor([&] { return !model.loading(); }));
    QStringList rows;
    for (int i = 0; i < model.rowCount(); ++i)
        rows << model.index(i).data(SaveFileDialogModel::NameRole).toString()
                    + (model.index(i).data(SaveFileDialogModel::IsFolderRole).toBool() ? QStringLiteral("/") : QString());
    EXPECT_EQ(rows, (QStringList{"A/", "b/", "taken.mp4/", "x.mp4", "Y.MP4"}));

    // The name stays as the listener moves between folders; a file chosen gives its name.
    model.setFileName(QStringLiteral("kb-story"));
    model.choose(int(rows.indexOf(QStringLiteral("b/"))));
    EXPECT_EQ(model.folder(), root.filePath(QStringLiteral("b")));
    EXPECT_EQ(model.fileName(), QStringLiteral("kb-story"));
    EXPECT_EQ(model.targetFile(), QUrl::fromLocalFile(root.filePath(QStringLiteral("b/kb-story.mp4"))));
    EXPECT_FALSE(model.targetExists());
    model.goUp();
    EXPECT_EQ(model.folder(), dir.path());
    ASSERT_TRUE(waitFor([&] { return !model.loading() && model.rowCount() == rows.size(); }));
    model.choose(int(rows.indexOf(QStringLiteral("x.mp4"))));
    EXPECT_EQ(model.fileName(), QStringLiteral("x.mp4"));
    EXPECT_TRUE(model.targetExists());
    model.setFolder(root.filePath(QStringLiteral("nowhere")));
    ASSERT_TRUE(waitFor([&] { return !model.loading(); }));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.folderProblem(), QStringLiteral("این پوشه خوانده نشد"));
}

TEST(Theme, TextFontsAreInstalled)
{
    // scripts/setup.sh installs them (fonts-noto-core, fonts-noto-ui-core); without the first
    // family every text box is drawn in other metrics than the screens are laid out for.
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : Theme::fontFamilies())
        EXPECT_TRUE(installed.contains(family)) << family.toStdString();
}
