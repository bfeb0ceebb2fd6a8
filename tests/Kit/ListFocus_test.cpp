#include "support/QmlWindowFixture.h"
#include "support/QuickHost.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

// Where the focus goes in a lazy list whose rows change while the focus is in its header or in a
// sheet above it, in a real window (offscreen): it stays where it is, or comes back where the
// sheet was opened from, or to the first control in view once that is gone; never to the control
// of a row the keyboard visited before, which Qt's list would hand it to as that row's place
// changes.

using namespace quickhost;

namespace {

class ListFocus : public QmlWindowFixture
{
protected:
    QQuickWindow *window() const { return hosted.window(); }
    QQuickItem *item(const QString &name) const { return itemNamed(window()->contentItem(), name); }
    QString focusedName() const
    {
        QQuickItem *focused = window()->activeFocusItem();
        return focused ? focused->objectName() : QStringLiteral("nothing");
    }
    // The window has drawn a frame since: the list lays out its rows (and Qt's list hands the
    // focus to its current row) in the polish before a frame.
    bool nextFrame() const
    {
        QSignalSpy drawn(window(), &QQuickWindow::frameSwapped);
        window()->update();
        return drawn.wait(5000);
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

} // namespace

TEST_F(ListFocus, RowsArrivingNeverTakeTheFocusToARowVisitedBefore)
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
