#include "HomeViewModel.h"
#include "LoginSheetModel.h"
#include "Platform/LaunchArguments.h"
#include "Services/AuthStore.h"
#include "Services/StationStore.h"
#include "SignedOutQmlFixture.h"
#include "support/AccountState.h"
#include "support/QuickHost.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

// The account sheets in a real Qt Quick window (offscreen), opened from the home screen's account
// button with the shared stores, against the stand-in backend: keyboard, assistive technology,
// signing in and out.

using namespace quickhost;

namespace {

class AccountSheetsQml : public SignedOutQmlFixture
{
protected:
    AccountSheetsQml() : SignedOutQmlFixture(QStringLiteral("HomeView")) {}

    QQuickItem *find(const QString &name, QQuickItem *below = nullptr)
    {
        QQuickItem *found = nullptr;
        waitFor([&] {
            found = itemNamed(below ? below : hosted.window()->contentItem(), name);
            return found && found->isVisible() && found->width() > 0;
        });
        return found;
    }
    void click(QQuickItem *item)
    {
        ASSERT_TRUE(item);
        const QPoint at = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        QTest::mouseClick(hosted.window(), Qt::LeftButton, {}, at);
    }
    QObject *popup(const QString &name) const { return hosted.screen()->findChild<QObject *>(name); }
    bool isOpen(const QString &name) const
    {
        QObject *p = popup(name);
        return p && p->property("opened").toBool();
    }
    // Closed and gone from the screen (its exit transition over).
    bool isGone(const QString &name) const
    {
        QObject *p = popup(name);
        return p && !p->property("visible").toBool();
    }
    QQuickItem *sheetScreen(const QString &name) const
    {
        return popup(name)->property("contentScreen").value<QQuickItem *>();
    }
    QQuickItem *input(const QString &field, QQuickItem *screen)
    {
        QQuickItem *row = find(field, screen);
        return row ? row->property("input").value<QQuickItem *>() : nullptr;
    }
};

TEST_F(AccountSheetsQml, SignInFromTheAccountButtonThenSignOut)
{
    click(find(QStringLiteral("accountButton")));
    ASSERT_TRUE(waitFor([&] { return isOpen(QStringLiteral("loginSheet")); }));
    QQuickItem *login = sheetScreen(QStringLiteral("loginSheet"));
    ASSERT_TRUE(login);
    QQuickItem *username = input(QStringLiteral("usernameField"), login);
    QQuickItem *password = input(QStringLiteral("passwordField"), login);
    QQuickItem *button = find(QStringLiteral("loginButton"), login);
    ASSERT_TRUE(username && password && button);

    // Disabled and dimmed until the rule holds.
    EXPECT_FALSE(button->isEnabled());
    EXPECT_DOUBLE_EQ(button->opacity(), 0.55);

    click(username);
    ASSERT_TRUE(waitFor([&] { return username->hasActiveFocus(); }));
    type(QStringLiteral(" DEMO "));
    QTest::keyClick(hosted.window(), Qt::Key_Tab);
    ASSERT_TRUE(waitFor([&] { return password->hasActiveFocus(); }));
    type(QStringLiteral("demo1234"));
    EXPECT_TRUE(button->isEnabled());
    EXPECT_DOUBLE_EQ(button->opacity(), 1.0);

    // The password field is announced as one and never gives its text away.
    QAccessibleInterface *secret = QAccessible::queryAccessibleInterface(password);
    ASSERT_TRUE(secret);
    EXPECT_EQ(secret->role(), QAccessible::EditableText);
    EXPECT_TRUE(secret->state().passwordEdit);
    EXPECT_FALSE(secret->text(QAccessible::Value).contains(QStringLiteral("demo1234")));
    EXPECT_FALSE(secret->text(QAccessible::Name).contains(QStringLiteral("demo1234")));
    if (QAccessibleTextInterface *text = secret->textInterface()) {
        EXPECT_FALSE(text->text(0, text->characterCount()).contains(QStringLiteral("demo")));
        int start = 0, end = 0;
        EXPECT_FALSE(text->textAtOffset(0, QAccessible::LineBoundary, &start, &end).contains(QStringLiteral("demo")));
    }

    // Enter in the last field signs in; the sheet closes.
    QTest::keyClick(hosted.window(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return AuthStore::shared().isAuthed(); }, 10000));
    ASSERT_TRUE(waitFor([&] { return isGone(QStringLiteral("loginSheet")); }));
    EXPECT_EQ(AuthStore::shared().user()->username, QStringLiteral("demo"));
    EXPECT_TRUE(keychain->items().contains(AuthStore::tokenKey));
    // The focus is back on the button, which now carries the avatar's initial in its name.
    QQuickItem *accountButton = find(QStringLiteral("accountButton"));
    EXPECT_TRUE(waitFor([&] { return accountButton->hasActiveFocus(); }));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(accountButton)->text(QAccessible::Name),
              QStringLiteral("حساب کاربری، ش"));

    // Signed in, the same button opens the account sheet.
    ASSERT_TRUE(waitFor([&] { return AuthStore::shared().playlists().size() == 2; }, 10000));
    click(find(QStringLiteral("accountButton")));
    ASSERT_TRUE(waitFor([&] { return isOpen(QStringLiteral("accountSheet")); }));
    QQuickItem *account = sheetScreen(QStringLiteral("accountSheet"));
    QQuickItem *handle = find(QStringLiteral("handle"), account);
    ASSERT_TRUE(handle);
    EXPECT_EQ(handle->property("text").toString(), QStringLiteral("@demo"));
    QQuickItem *playlists = find(QStringLiteral("playlistCard"), account);
    ASSERT_TRUE(playlists);
    EXPECT_EQ(itemNamed(playlists, QStringLiteral("count"))->property("text").toString(), QStringLiteral("2"));

    QQuickItem *signOut = find(QStringLiteral("signOutButton"), account);
    click(signOut);
    ASSERT_TRUE(waitFor([&] { return isGone(QStringLiteral("accountSheet")); }));
    EXPECT_FALSE(AuthStore::shared().isAuthed());
    EXPECT_FALSE(keychain->items().contains(AuthStore::tokenKey));
    EXPECT_TRUE(server.waitForRequest(QStringLiteral("/api/auth/logout")));
    EXPECT_TRUE(waitFor([&] { return accountButton->hasActiveFocus(); }));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(accountButton)->text(QAccessible::Name), QStringLiteral("حساب کاربری"));
}

TEST_F(AccountSheetsQml, ARefusalShowsItsBannerAndShiftTabGoesBackToThePicker)
{
    click(find(QStringLiteral("accountButton")));
    ASSERT_TRUE(waitFor([&] { return isOpen(QStringLiteral("loginSheet")); }));
    QQuickItem *login = sheetScreen(QStringLiteral("loginSheet"));
    QQuickItem *username = input(QStringLiteral("usernameField"), login);
    click(username);
    type(QStringLiteral("demo"));
    QTest::keyClick(hosted.window(), Qt::Key_Tab);
    type(QStringLiteral("nope-nope"));
    QTest::keyClick(hosted.window(), Qt::Key_Return);
    QQuickItem *banner = find(QStringLiteral("errorBanner"), login);
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->property("message").toString(), QStringLiteral("نام کاربری یا رمز عبور اشتباه است"));
    EXPECT_TRUE(isOpen(QStringLiteral("loginSheet")));

    click(username);
    QTest::keyClick(hosted.window(), Qt::Key_Backtab);
    QQuickItem *picker = find(QStringLiteral("modePicker"), login);
    ASSERT_TRUE(waitFor([&] { return picker->hasActiveFocus(); }));

    // A change of mode or step puts the keyboard in the new step's first field.
    const struct { Qt::Key key; const char *field; } steps[] = {
        {Qt::Key_Space, "displayNameField"}, // the picker: sign-up
        {Qt::Key_Space, "usernameField"},    // and back: sign-in
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.field);
        picker = find(QStringLiteral("modePicker"), login);
        ASSERT_TRUE(picker);
        picker->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(hosted.window(), step.key);
        QQuickItem *first = nullptr;
        ASSERT_TRUE(waitFor([&] {
            first = input(QString::fromUtf8(step.field), login);
            return first && first->hasActiveFocus();
        }));
    }
    click(find(QStringLiteral("forgotButton"), login));
    QQuickItem *identifier = nullptr;
    ASSERT_TRUE(waitFor([&] {
        identifier = input(QStringLiteral("identifierField"), login);
        return identifier && identifier->hasActiveFocus();
    }));
}

TEST_F(AccountSheetsQml, SignUpThroughTheCodeField)
{
    click(find(QStringLiteral("accountButton")));
    ASSERT_TRUE(waitFor([&] { return isOpen(QStringLiteral("loginSheet")); }));
    QQuickItem *login = sheetScreen(QStringLiteral("loginSheet"));
    // The sign-up segment is the second in reading order: the left one in RTL.
    QQuickItem *picker = find(QStringLiteral("modePicker"), login);
    const QPoint left = picker->mapToScene(QPointF(picker->width() / 4, picker->height() / 2)).toPoint();
    QTest::mouseClick(hosted.window(), Qt::LeftButton, {}, left);
    ASSERT_TRUE(find(QStringLiteral("signupForm"), login));

    click(input(QStringLiteral("displayNameField"), login));
    type(QStringLiteral("Mina"));
    QTest::keyClick(hosted.window(), Qt::Key_Tab);
    type(QStringLiteral("NewListener"));
    QTest::keyClick(hosted.window(), Qt::Key_Tab);
    type(QStringLiteral("pass1234"));
    QTest::keyClick(hosted.window(), Qt::Key_Return);

    QQuickItem *field = find(QStringLiteral("codeField"), login);
    ASSERT_TRUE(field);
    auto *code = field->property("input").value<QQuickItem *>();
    // The field takes the focus by itself shortly after it shows.
    ASSERT_TRUE(waitFor([&] { return code->hasActiveFocus(); }));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(code);
    ASSERT_TRUE(iface);
    EXPECT_EQ(iface->role(), QAccessible::EditableText);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("کد تایید"));

    QQuickItem *box0 = itemNamed(field, QStringLiteral("codeBox0"));
    QQuickItem *box2 = itemNamed(field, QStringLiteral("codeBox2"));
    EXPECT_LT(box0->mapToScene({}).x(), box2->mapToScene({}).x()); // left to right inside RTL
    type(QStringLiteral("1x2"));
    EXPECT_EQ(field->property("code").toString(), QStringLiteral("12"));
    EXPECT_EQ(field->property("currentIndex").toInt(), 2);
    EXPECT_EQ(code->property("text").toString(), QStringLiteral("12"));

    // Pasting a code with separators fills every box.
    QGuiApplication::clipboard()->setText(state->lastCode().left(3) + QStringLiteral(" - ") + state->lastCode().mid(3));
    code->setProperty("text", QString());
    QMetaObject::invokeMethod(code, "paste");
    ASSERT_TRUE(waitFor([&] { return field->property("code").toString() == state->lastCode(); }));
    EXPECT_EQ(field->property("currentIndex").toInt(), -1);

    // Assistive technology's press on the main button confirms.
    QAccessibleInterface *confirm = QAccessible::queryAccessibleInterface(find(QStringLiteral("confirmButton"), login));
    ASSERT_TRUE(confirm && confirm->actionInterface());
    EXPECT_EQ(confirm->text(QAccessible::Name), QStringLiteral("تایید و ورود"));
    confirm->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(waitFor([&] { return AuthStore::shared().isAuthed(); }, 10000));
    ASSERT_TRUE(waitFor([&] { return isGone(QStringLiteral("loginSheet")); }));
    EXPECT_EQ(AuthStore::shared().user()->username, QStringLiteral("newlistener"));
    EXPECT_EQ(AuthStore::shared().user()->displayName, QStringLiteral("Mina"));
}

} // namespace
