#include "support/QmlWindowFixture.h"
#include "support/QuickHost.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

// Where the kit puts the focus as what held it changes, in a real window (offscreen):
//   - in a lazy list whose rows change while the focus is in its header or in a sheet above it,
//     it stays where it is, or comes back where the sheet was opened from, or to the first control
//     in view once that is gone; never to the control of a row the keyboard visited before, which
//     Qt's list would hand it to as that row's place changes;
//   - a menu opened from the keyboard gives it back to the control it was opened from, showing,
//     however it closed; to the row now in its place when the choice deleted the row; to the
//     sheet or dialog a choice opened, and back to the row from there.

using namespace quickhost;

namespace {

class KitFocus : public QmlWindowFixture
{
protected:
    QQuickWindow *window() const { return hosted.window(); }
    QQuickItem *item(const QString &name) const { return visibleNamed(window()->contentItem(), name); }
    QQuickItem *focused() const { return window()->activeFocusItem(); }
    QString focusedName() const { return focused() ? focused()->objectName() : QStringLiteral("nothing"); }
    // The window has drawn a frame since: the list lays out its rows (and Qt's list hands the
    // focus to its current row) in the polish before a frame.
    bool nextFrame() const
    {
        QSignalSpy drawn(window(), &QQuickWindow::frameSwapped);
        window()->update();
        return drawn.wait(5000);
    }
    bool menuOpen() const
    {
        for (QQuickItem *it = focused(); it; it = it->parentItem()) {
            if (it->inherits("QQuickPopupItem"))
                return true;
        }
        return false;
    }
};

// A header with an opener that goes with the sign-in, rows of one control each, and a sheet the
// opener shows; `root.arrive()` puts rows above the visited one, as a library loading does.
const QByteArray listWithSheet = R"(
Item {
    id: root
    width: 400; height: 600
    property bool show: false
    property bool signedIn: false
    function arrive() {
        for (let i = 0; i < 3; ++i)
            rows.insert(0, { key: "new" + i })
    }
    ListModel {
        id: rows
        ListElement { key: "cards" }
        ListElement { key: "more" }
    }
    LazyListView {
        objectName: "list"
        anchors.fill: parent
        model: rows
        header: Column {
            PlainButton { objectName: "first"; text: "اول" }
            PlainButton { objectName: "opener"; text: "ورود"; visible: !root.signedIn; onClicked: root.show = true }
        }
        delegate: FocusScope {
            required property int index
            required property string key
            width: 400; height: 60
            PlainButton { objectName: "field_" + parent.key; text: "فیلد " + parent.key }
        }
    }
    Sheet {
        objectName: "sheet"
        presenter: root
        flag: "show"
        NavigationPage {
            id: page
            signal dismissRequested()
            navigationTitle: "ورود"
            PlainButton {
                objectName: "signIn"
                text: "ورود به رادیو"
                onClicked: { root.signedIn = true; root.arrive(); page.dismissRequested() }
            }
        }
    }
})";

// A pull-down menu in a list's header, rows with a context menu each, and a sheet and a dialog a
// row's menu opens.
const QByteArray menus = R"(
Item {
    id: root
    width: 400; height: 600
    property bool show: false
    property bool confirm: false
    ListModel {
        id: rows
        ListElement { key: "a" }
        ListElement { key: "b" }
        ListElement { key: "c" }
    }
    LazyListView {
        anchors.fill: parent
        model: rows
        header: PullDownMenu {
            objectName: "pull"
            width: 200; height: 40
            Accessible.name: "پیش‌تنظیم"
            items: ["پاپ", "راک"]
            contentItem: Text { textFormat: Text.PlainText; text: "پیش‌تنظیم" }
        }
        delegate: FocusScope {
            required property int index
            required property string key
            width: 400; height: 60
            PlainButton {
                objectName: "row_" + parent.key
                text: "ردیف " + parent.key
                ContextMenu {
                    entries: () => [
                        { text: "باز", action: () => {} },
                        { text: "حذف", action: () => rows.remove(index) },
                        { text: "برگه", action: () => root.show = true },
                        { text: "تأیید", action: () => root.confirm = true }
                    ]
                }
            }
        }
    }
    Sheet {
        presenter: root
        flag: "show"
        NavigationPage {
            signal dismissRequested()
            navigationTitle: "برگه"
            PlainButton { objectName: "inSheet"; text: "درون برگه" }
        }
    }
    ConfirmationDialog {
        presenter: root
        flag: "confirm"
        title: "حذف؟"
        destructiveText: "حذف"
    }
})";

} // namespace

TEST_F(KitFocus, RowsArrivingNeverTakeTheFocusToARowVisitedBefore)
{
    struct Case {
        const char *what;
        bool throughSheet; // the opener shows the sheet, whose sign-in brings the rows
        const char *focused;
    };
    const Case cases[] = {
        {"the focus in the header as rows come above the visited one", false, "opener"},
        {"signed in from the header's opener: it is gone, the first control in view", true, "first"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        loadQml(listWithSheet);
        QQuickItem *field = nullptr;
        ASSERT_TRUE(waitFor([&] { return (field = item(QStringLiteral("field_cards"))) && field->isVisible(); }));
        field->forceActiveFocus(Qt::TabFocusReason);
        item(QStringLiteral("opener"))->forceActiveFocus(Qt::TabFocusReason);
        if (c.throughSheet) {
            QTest::keyClick(window(), Qt::Key_Space);
            QQuickItem *signIn = nullptr;
            ASSERT_TRUE(waitFor([&] { return (signIn = item(QStringLiteral("signIn"))) && signIn->hasActiveFocus(); }));
            QTest::keyClick(window(), Qt::Key_Space);
            QObject *sheet = hosted.screen()->findChild<QObject *>(QStringLiteral("sheet"));
            ASSERT_TRUE(waitFor([&] { return !sheet->property("visible").toBool(); }));
        } else {
            QMetaObject::invokeMethod(hosted.screen(), "arrive");
        }
        ASSERT_TRUE(waitFor([&] { return focusedName() == QLatin1String(c.focused); }))
            << qPrintable(focusedName());
        ASSERT_TRUE(nextFrame());
        EXPECT_EQ(focusedName(), QLatin1String(c.focused));
        hosted = HostedScreen();
    }
}

TEST_F(KitFocus, AMenuOpenedFromTheKeyboardGivesTheFocusBackWhereItBelongs)
{
    struct Case {
        const char *what;
        const char *opener;
        int downs; // Down presses in the open menu before the closing key
        Qt::Key closing;
        const char *focused;
        bool shows; // the focus ring shows where it lands
        const char *afterEscape = nullptr; // where Escape then brings it (from what the menu opened)
    };
    const Case cases[] = {
        {"a pull-down menu closed with Escape", "pull", 0, Qt::Key_Escape, "pull", true},
        {"a pull-down menu's item chosen", "pull", 1, Qt::Key_Return, "pull", true},
        {"a row's menu closed with Escape", "row_b", 0, Qt::Key_Escape, "row_b", true},
        {"a row's menu item chosen", "row_b", 0, Qt::Key_Return, "row_b", true},
        {"the row deleted from its menu: the row now in its place", "row_b", 1, Qt::Key_Return, "row_c", true},
        {"a sheet opened from a row's menu keeps the focus, and gives it back to the row", "row_b", 2,
         Qt::Key_Return, "inSheet", true, "row_b"},
        {"a dialog opened from a row's menu, the same", "row_b", 3, Qt::Key_Return, "cancelButton", true, "row_b"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        loadQml(menus);
        QQuickItem *opener = nullptr;
        ASSERT_TRUE(waitFor([&] { return (opener = item(QString::fromLatin1(c.opener))) && opener->width() > 0; }));
        opener->forceActiveFocus(Qt::TabFocusReason);
        if (opener->objectName() == QLatin1String("pull"))
            QTest::keyClick(window(), Qt::Key_Space);
        else
            QTest::keyClick(window(), Qt::Key_F10, Qt::ShiftModifier);
        ASSERT_TRUE(waitFor([&] { return menuOpen() && focused()->inherits("QQuickMenuItem"); })) << qPrintable(focusedName());
        for (int i = 0; i < c.downs; ++i)
            QTest::keyClick(window(), Qt::Key_Down);
        QTest::keyClick(window(), c.closing);
        EXPECT_TRUE(waitFor([&] { return focusedName() == QLatin1String(c.focused); })) << qPrintable(focusedName());
        EXPECT_EQ(focused() && focused()->property("visualFocus").toBool(), c.shows);
        if (c.afterEscape) {
            QTest::keyClick(window(), Qt::Key_Escape);
            EXPECT_TRUE(waitFor([&] { return focusedName() == QLatin1String(c.afterEscape); })) << qPrintable(focusedName());
            EXPECT_TRUE(focused() && focused()->property("visualFocus").toBool());
        }
        hosted = HostedScreen();
    }
}
