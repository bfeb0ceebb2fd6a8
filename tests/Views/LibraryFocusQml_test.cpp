#include "Kit/FocusLanding.h"
#include "SignedOutQmlFixture.h"
#include "Services/AuthStore.h"
#include "support/AccessibleTree.h"
#include "support/QuickHost.h"

#include <QAccessible>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

// Where the focus is after the library tab changes under it, in a real window with the shared
// stores against the stand-in: signing in from the prompt, signing out from the account page, a
// press through assistive technology. It is on a named control in view: the control pressed when
// it is still there, else the first of what is shown; never a control that had it long before and
// is scrolled away or buried, where a listener's typing would go unseen.

using namespace quickhost;
namespace at = accessibletree;

namespace {

class LibraryFocusQml : public SignedOutQmlFixture
{
protected:
    LibraryFocusQml() : SignedOutQmlFixture(QStringLiteral("LibraryView")) {}

    QQuickItem *focused() const { return hosted.window()->activeFocusItem(); }
    QQuickItem *shown(const QString &name) const
    {
        QQuickItem *found = nullptr;
        waitFor([&] { return (found = visibleNamed(hosted.window()->contentItem(), name)) && found->width() > 0; });
        return found;
    }
    QAccessibleInterface *node(const QString &name) const
    {
        QAccessibleInterface *found = nullptr;
        waitFor([&] { return (found = at::shownNode(hosted.window(), name)) != nullptr; });
        return found;
    }
    static QString nameOf(QQuickItem *item)
    {
        QAccessibleInterface *node = item ? QAccessible::queryAccessibleInterface(item) : nullptr;
        return node ? node->text(QAccessible::Name) : QString();
    }
    // The focus rests on a control a listener can see and a screen reader names.
    bool onANamedControlInView() const
    {
        QQuickItem *item = focused();
        return item && item->activeFocusOnTab() && FocusLanding::isInView(item) && !nameOf(item).isEmpty();
    }
};

} // namespace

TEST_F(LibraryFocusQml, AfterSignInAndSignOutTheFocusIsOnANamedControlInView)
{
    // The keyboard visits the Spotify link field, then the prompt is pressed by assistive
    // technology: the prompt takes the focus, as a click gives it.
    QQuickItem *card = shown(QStringLiteral("spotifyCard"));
    ASSERT_TRUE(card);
    QQuickItem *link = itemNamed(card, QStringLiteral("linkField"))->property("input").value<QQuickItem *>();
    ASSERT_TRUE(link);
    link->forceActiveFocus(Qt::TabFocusReason);
    QAccessibleInterface *prompt = node(QStringLiteral("ورود / ثبتنام"));
    ASSERT_TRUE(prompt && at::press(prompt));
    QQuickItem *username = nullptr;
    ASSERT_TRUE(waitFor([&] {
        QQuickItem *row = visibleNamed(hosted.window()->contentItem(), QStringLiteral("usernameField"));
        username = row ? row->property("input").value<QQuickItem *>() : nullptr;
        return username && username->isVisible();
    }));

    // Signed in through the sheet: the prompt is gone, and the focus does not go back to the field.
    username->forceActiveFocus(Qt::TabFocusReason);
    type(QStringLiteral("demo"));
    QTest::keyClick(hosted.window(), Qt::Key_Tab);
    type(QStringLiteral("demo1234"));
    QTest::keyClick(hosted.window(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([] { return AuthStore::shared().isAuthed(); }, 10000));
    EXPECT_TRUE(waitFor([&] { return onANamedControlInView() && !visibleNamed(hosted.window()->contentItem(), QStringLiteral("usernameField")); }))
        << qPrintable(nameOf(focused()));
    EXPECT_NE(focused(), link);

    // The account page, opened and signed out of by assistive technology: the link that opened it
    // is gone with the session; the focus lands on the first control in view, not on the field.
    link->forceActiveFocus(Qt::TabFocusReason);
    QAccessibleInterface *account = node(QStringLiteral("حساب کاربری، ش"));
    ASSERT_TRUE(account && at::press(account));
    QAccessibleInterface *signOut = node(QStringLiteral("خروج از حساب"));
    ASSERT_TRUE(signOut && at::press(signOut));
    ASSERT_TRUE(waitFor([] { return !AuthStore::shared().isAuthed(); }));
    EXPECT_TRUE(waitFor([&] { return onANamedControlInView() && !at::shownNode(hosted.window(), QStringLiteral("خروج از حساب")); }))
        << qPrintable(nameOf(focused()));
    EXPECT_NE(focused(), link);
    EXPECT_EQ(nameOf(focused()), nameOf(shown(QStringLiteral("offlineCard"))));
}
