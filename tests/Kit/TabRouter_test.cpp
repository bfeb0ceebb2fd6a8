#include "support/QmlWindowFixture.h"

#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

// TabRouter hands Tab to its script while the focus is inside its scope: the script's true keeps
// the key, false lets it go on along the item tree; a script that throws is logged and the key goes
// on, never swallowed. `enter` is asked the same when Tab would bring the focus in from outside.

namespace {

class TabRouterTest : public QmlWindowFixture
{
};

} // namespace

TEST_F(TabRouterTest, TheKeyGoesOnUnlessTheScriptMovedTheFocus)
{
    struct Case {
        const char *what;
        const char *route;     // the route script's body
        const char *startOn;   // the item focused before Tab
        const char *focusedOn; // the item focused after Tab
        bool logged;           // a warning names the failure
    };
    const Case cases[] = {
        {"moved the focus", "last.forceActiveFocus(); return true", "first", "last", false},
        {"declined", "return false", "first", "second", false},
        {"threw", "throw new Error(\"broken route\")", "first", "second", true},
        {"returned nothing", "", "first", "second", false},
        {"entering from outside, moved", "", "before", "last", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QObject *root = loadQml(QByteArray(R"(
Item {
    width: 200; height: 200
    Item { objectName: "before"; id: before; activeFocusOnTab: true; width: 10; height: 10 }
    Item {
        id: scope
        y: 20; width: 200; height: 100
        Item { objectName: "first"; activeFocusOnTab: true; width: 10; height: 10 }
        Item { objectName: "second"; activeFocusOnTab: true; width: 10; height: 10 }
        Item { objectName: "last"; id: last; activeFocusOnTab: true; width: 10; height: 10 }
    }
    TabRouter {
        scope: scope
        route: forward => { )" + QByteArray(c.route) + R"( }
        enter: forward => { last.forceActiveFocus(); return true }
    }
})"));
        ASSERT_TRUE(root);
        QQuickItem *content = hosted.window()->contentItem();
        itemNamed(content, QString::fromLatin1(c.startOn))->forceActiveFocus(Qt::TabFocusReason);
        trap->clear();
        QTest::keyClick(hosted.window(), Qt::Key_Tab);
        ASSERT_TRUE(hosted.window()->activeFocusItem());
        EXPECT_EQ(hosted.window()->activeFocusItem()->objectName(), QString::fromLatin1(c.focusedOn));
        const QStringList messages = trap->messages();
        EXPECT_EQ(messages.join(QLatin1Char('\n')).contains(QStringLiteral("broken route")), c.logged)
            << qPrintable(messages.join(QLatin1Char('\n')));
        trap->clear();
        hosted = quickhost::HostedScreen();
    }
}
