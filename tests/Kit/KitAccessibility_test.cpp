#include "Kit/Announcements.h"
#include "support/AccessibleTree.h"
#include "support/QmlWindowFixture.h"
#include "support/QuickHost.h"

#include <QAccessibleTextInterface>
#include <QAccessibleValueInterface>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QQuickItem>
#include <QSignalSpy>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

// The screen kit with the keyboard and through Qt's accessibility interfaces (as a screen reader
// uses them), in a real Qt Quick window (offscreen). Every test also fails on any QML warning.

using namespace quickhost;
using namespace Qt::StringLiterals;
namespace at = accessibletree;

namespace {

class KitAccessibility : public QmlWindowFixture
{
protected:
    QQuickWindow *window() const { return hosted.window(); }
    QQuickItem *item(const QString &name) const { return itemNamed(window()->contentItem(), name); }
    int clicks() const { return hosted.screen()->property("clicks").toInt(); }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(window(), k, modifiers); }
    // Tabs until the item has the focus (at most `limit` presses); false when it never does.
    bool tabTo(QQuickItem *target, int limit = 20)
    {
        for (int i = 0; i < limit && !target->hasActiveFocus(); ++i)
            key(Qt::Key_Tab);
        return target->hasActiveFocus();
    }
    static bool ringShown(QQuickItem *control)
    {
        auto *ring = qvariant_cast<QQuickItem *>(control->property("focusRing"));
        return ring && ring->isVisible();
    }

    at::Session session;
};

struct ButtonCase
{
    const char *kind;
    QByteArray qml; // declares the control named "control", counting clicks in root.clicks
    QString name;
};

} // namespace

TEST_F(KitAccessibility, EveryKitButtonIsANamedButtonThatPressEnterReturnAndSpaceActivate)
{
    const QList<ButtonCase> cases = {
        {"plain with text", R"(PlainButton { objectName: "control"; text: "پخش همه"; onClicked: root.clicks++ })",
         QStringLiteral("پخش همه")},
        {"plain icon-only", R"(PlainButton { objectName: "control"; symbol: "magnifyingglass"
                                Accessible.name: "جستجو"; onClicked: root.clicks++ })",
         QStringLiteral("جستجو")},
        {"prominent", R"(ProminentButton { objectName: "control"; text: "تلاش دوباره"; onClicked: root.clicks++ })",
         QStringLiteral("تلاش دوباره")},
        {"scale style", R"(ScaleButtonStyle { objectName: "control"; Accessible.name: "Pulse FM"
                             contentItem: Rectangle { implicitWidth: 80; implicitHeight: 80 }
                             onClicked: root.clicks++ })",
         QStringLiteral("Pulse FM")},
    };
    for (const ButtonCase &c : cases) {
        SCOPED_TRACE(c.kind);
        loadQml("Item { id: root; property int clicks: 0\n"
                "PlainButton { text: \"before\" }\n" + c.qml + "\n}");
        QQuickItem *control = item(QStringLiteral("control"));
        ASSERT_NE(control, nullptr);

        QAccessibleInterface *node = at::shownNode(window(), c.name);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->role(), QAccessible::Button);
        EXPECT_TRUE(node->state().focusable);
        ASSERT_TRUE(at::press(node));
        EXPECT_EQ(clicks(), 1);
        // Pressed, it holds the focus, as a click gives it, without the keyboard's ring.
        EXPECT_TRUE(control->hasActiveFocus());
        EXPECT_FALSE(ringShown(control));

        key(Qt::Key_Backtab);
        ASSERT_TRUE(tabTo(control));
        EXPECT_TRUE(ringShown(control));
        key(Qt::Key_Return);
        key(Qt::Key_Enter);
        key(Qt::Key_Space);
        EXPECT_EQ(clicks(), 4);
    }
}

TEST_F(KitAccessibility, TheFocusRingShowsForKeyboardFocusOnlyAndBringsTheControlIntoView)
{
    loadQml(R"(
Flickable {
    id: root
    property int clicks: 0
    contentHeight: column.height
    Column {
        id: column
        Repeater {
            model: 30
            ProminentButton { objectName: "button" + index; text: "دکمه " + index; height: 60 }
        }
    }
})");
    QQuickItem *first = item(QStringLiteral("button0"));
    ASSERT_NE(first, nullptr);
    QTest::mouseClick(window(), Qt::LeftButton, {}, first->mapToScene(QPointF(10, 10)).toPoint());
    EXPECT_TRUE(first->hasActiveFocus());
    EXPECT_FALSE(ringShown(first)) << "a click shows no ring";

    QQuickItem *last = item(QStringLiteral("button29"));
    ASSERT_TRUE(tabTo(last, 40));
    EXPECT_TRUE(ringShown(last));
    EXPECT_FALSE(ringShown(first));
    auto *flickable = qobject_cast<QQuickItem *>(hosted.screen());
    ASSERT_TRUE(waitFor([&] {
        const QPointF top = last->mapToItem(flickable, QPointF(0, 0));
        return top.y() >= 0 && top.y() + last->height() <= flickable->height();
    })) << "the focused button was scrolled into view";
}

TEST_F(KitAccessibility, HiddenControlsAndTextsAreNotExposedShownOnesAreWithTheirContent)
{
    loadQml(R"(
Item {
    property bool failed: false
    Column {
        StaticText { objectName: "count"; text: "۱۲ ایستگاه" }
        StaticText { text: "" }
        PlainButton { visible: false; symbol: "chevron.right"; Accessible.name: "بازگشت" }
        Column {
            objectName: "errorView"
            visible: parent.parent.failed
            StaticText { text: "Connection refused" }
            ProminentButton { text: "تلاش دوباره" }
        }
    }
})");
    EXPECT_EQ(at::shownNames(window(), QAccessible::StaticText), QStringList{QStringLiteral("۱۲ ایستگاه")});
    EXPECT_EQ(at::shownNode(window(), QStringLiteral("بازگشت")), nullptr);
    EXPECT_EQ(at::shownNode(window(), QStringLiteral("تلاش دوباره")), nullptr);

    hosted.screen()->setProperty("failed", true);
    item(QStringLiteral("count"))->setProperty("text", QStringLiteral("۱۳ ایستگاه"));
    EXPECT_NE(at::shownNode(window(), QStringLiteral("تلاش دوباره"), QAccessible::Button), nullptr);
    EXPECT_NE(at::shownNode(window(), QStringLiteral("Connection refused"), QAccessible::StaticText), nullptr);
    EXPECT_NE(at::shownNode(window(), QStringLiteral("۱۳ ایستگاه"), QAccessible::StaticText), nullptr);
}

// What a screen reader is told of each message: the notification appears (a "showing" change)
// with the message as its name, once per message, repeats included.
TEST_F(KitAccessibility, EveryMessageOfAnAnnouncerAppearsOnceAsANotification)
{
    const QString added = QStringLiteral("به «Road Trip» اضافه شد ✓");
    const QString there = QStringLiteral("این آهنگ از قبل در پلیلیست هست");
    const QString connecting = QStringLiteral("اتصال…");
    const QString playing = QStringLiteral("در حال پخش");
    struct Case
    {
        const char *what;
        QString start;
        QList<QStringList> steps; // texts set within one pass of the event loop, pass after pass
        QStringList spoken;
    };
    const QList<Case> cases = {
        {"a refusal three times in a row", {}, {{there}, {{}}, {there}, {{}}, {there}}, {there, there, there}},
        {"each new status", QStringLiteral("۱۲ ایستگاه"), {{connecting}, {playing}}, {connecting, playing}},
        {"the starting value is not", QStringLiteral("۱۲ ایستگاه"), {}, {}},
        {"a message after another", {}, {{added}, {there}}, {added, there}},
        {"cleared and set again at once: nothing new shows", {}, {{there}, {{}, there}}, {there}},
        {"several at once: the last", {}, {{QStringLiteral("در حال ساخت…"), QStringLiteral("پیش‌نمایش ویدیو")}},
         {QStringLiteral("پیش‌نمایش ویدیو")}},
        {"a flicker back to what was said", {}, {{playing}, {connecting, playing}}, {playing}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        at::EventLog log;
        loadQml("Item { id: root; property string status: \"" + c.start.toUtf8() + "\"\n"
                "  Announcer { objectName: \"announcer\"; text: root.status } }");
        QQuickItem *announcer = item(QStringLiteral("announcer"));
        // The window's node, which speaks for every announcer in it.
        QQuickItem *channel = item(QStringLiteral("announcements"));
        ASSERT_NE(announcer, nullptr);
        ASSERT_NE(channel, nullptr);
        for (const QStringList &step : c.steps) {
            for (const QString &text : step)
                hosted.screen()->setProperty("status", text);
            ASSERT_TRUE(waitFor([&] { return !announcer->property("pending").toBool(); }));
            // What it says shows at the end of the next pass.
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(log.appearances(channel), c.spoken);
        if (!c.spoken.isEmpty())
            EXPECT_NE(at::shownNode(window(), c.spoken.last(), QAccessible::Notification), nullptr);
        else
            EXPECT_TRUE(at::shownNames(window(), QAccessible::Notification).isEmpty());
    }
}

// A status that changes again before it was spoken is spoken as it now stands; what another item
// says in the same moment goes with it.
TEST_F(KitAccessibility, AMessageOvertakenBeforeItIsSpokenIsNotSpoken)
{
    const QString connecting = QStringLiteral("اتصال…");
    const QString reconnecting = QStringLiteral("سرور ایستگاه در دسترس نیست؛ در حال اتصال دوباره…");
    const QString added = QStringLiteral("به «Road Trip» اضافه شد ✓");
    at::EventLog log;
    loadQml("Item { Item { objectName: \"status\" } Item { objectName: \"sheet\" } }");
    QQuickItem *status = item(QStringLiteral("status"));
    QQuickItem *sheet = item(QStringLiteral("sheet"));
    QQuickItem *channel = item(QStringLiteral("announcements"));
    ASSERT_TRUE(status && sheet && channel);
    Announcements &announcements = Announcements::shared();
    ASSERT_TRUE(announcements.announce(status, connecting));
    ASSERT_TRUE(announcements.announce(sheet, added));
    ASSERT_TRUE(announcements.announce(status, reconnecting));
    ASSERT_TRUE(waitFor([&] { return !log.appearances(channel).isEmpty(); }));
    EXPECT_EQ(log.appearances(channel), QStringList{added + QStringLiteral("، ") + reconnecting});
}

// A sheet's or dialog's own node is what a screen reader names as it opens.
TEST_F(KitAccessibility, SheetsAndDialogsAreNamedByTheirTitles)
{
    struct Case
    {
        const char *what;
        QByteArray qml; // shown at once; `root.show` is true
        QString name;
    };
    const QList<Case> cases = {
        {"a sheet, by its page's title", R"(Sheet { presenter: root; flag: "show"
             NavigationPage { navigationTitle: "افزودن به پلیلیست"; PlainButton { text: "بستن" } } })",
         QStringLiteral("افزودن به پلیلیست")},
        {"a sheet given its title", R"(Sheet { presenter: root; flag: "show"; title: "اکولایزر"
             Item { PlainButton { text: "بستن" } } })",
         QStringLiteral("اکولایزر")},
        {"a full-screen cover", R"(FullScreenCover { presenter: root; flag: "show"
             Item { readonly property string navigationTitle: "Pulse FM"; PlainButton { text: "بستن" } } })",
         QStringLiteral("Pulse FM")},
        {"a confirmation", R"(ConfirmationDialog { presenter: root; flag: "show"; title: "حذف پلیلیست؟"
             message: "این عمل قابل بازگشت نیست." })",
         QStringLiteral("حذف پلیلیست؟")},
        {"an alert", R"(AlertDialog { presenter: root; flag: "show"; title: "ویرایش پلیلیست"
             PlainTextField { placeholderText: "نام پلیلیست" } })",
         QStringLiteral("ویرایش پلیلیست")},
        {"a plain popup", R"(Popup { id: popup; parent: Overlay.overlay; visible: true; width: 200; height: 200
             readonly property NodeName nodeName: NodeName { target: popup.contentItem.parent; name: "اشتراکگذاری" } })",
         QStringLiteral("اشتراکگذاری")},
    };
    at::EventLog listening; // the popups set up their nodes for a screen reader there
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        loadQml("Item { id: root; property bool show: true\n" + c.qml + "\n}");
        EXPECT_TRUE(waitFor([&] { return at::shownNode(window(), c.name, QAccessible::Dialog) != nullptr; }))
            << qPrintable(at::shownNames(window(), QAccessible::Dialog).join(u'|'));
    }
}

// Signing in or out closes a sheet: the focus then lands on a control, not on nothing.
TEST_F(KitAccessibility, AClosedSheetGivesTheFocusBackToWhereItWasOpenedFrom)
{
    struct Case
    {
        const char *what;
        QString press;   // pressed in the sheet (through its accessible action), else Escape
        bool screenMoves; // the screen gives the focus a place of its own as the sheet goes
        const char *focused;
    };
    const QList<Case> cases = {
        {"closed: the control it was opened from", {}, false, "opener"},
        {"the opener went with the sign-in: the first control of what it covered", QStringLiteral("ورود به رادیو"),
         false, "first"},
        {"a place the screen chose stays", {}, true, "other"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        loadQml(R"(
Item {
    id: root
    property bool show: false
    property bool signedIn: false
    property bool screenMoves: false
    Column {
        PlainButton { objectName: "first"; text: "اول" }
        PlainButton { objectName: "opener"; text: "حساب کاربری"; visible: !root.signedIn; onClicked: root.show = true }
        PlainButton { id: other; objectName: "other"; text: "دیگر" }
    }
    Sheet {
        presenter: root
        flag: "show"
        onDismissed: if (root.screenMoves) other.forceActiveFocus()
        NavigationPage {
            id: page
            signal dismissRequested()
            navigationTitle: "حساب کاربری"
            PlainButton { text: "ورود به رادیو"; onClicked: { root.signedIn = true; page.dismissRequested() } }
        }
    }
})");
        hosted.screen()->setProperty("screenMoves", c.screenMoves);
        ASSERT_TRUE(tabTo(item(QStringLiteral("opener"))));
        key(Qt::Key_Space);
        ASSERT_TRUE(waitFor([&] { return at::shownNode(window(), QStringLiteral("ورود به رادیو")) != nullptr; }));
        if (c.press.isEmpty())
            key(Qt::Key_Escape);
        else
            ASSERT_TRUE(at::press(at::shownNode(window(), c.press)));
        EXPECT_TRUE(waitFor([&] {
            QQuickItem *focused = window()->activeFocusItem();
            return focused && focused->objectName() == QLatin1String(c.focused);
        })) << qPrintable(window()->activeFocusItem() ? window()->activeFocusItem()->objectName() : u"nothing"_s);
    }
}

// A scroll bar reads how far its view is scrolled, in per cent, and moves it when set.
TEST_F(KitAccessibility, AScrollBarExposesItsViewsPositionAndMovesIt)
{
    at::EventLog log;
    loadQml(R"(
Item {
    property int rows: 100
    ListView {
        objectName: "list"
        width: 300; height: 200
        clip: true
        model: parent.rows
        delegate: PlainButton { required property int index; width: 300; height: 50; text: "ردیف " + index }
        ScrollBar.vertical: ScrollBar { objectName: "bar"; policy: ScrollBar.AlwaysOn }
    }
})");
    QQuickItem *list = item(QStringLiteral("list"));
    QQuickItem *bar = item(QStringLiteral("bar"));
    ASSERT_TRUE(list && bar);
    QAccessibleInterface *node = QAccessible::queryAccessibleInterface(bar);
    ASSERT_TRUE(node && node->valueInterface());
    QAccessibleValueInterface *value = node->valueInterface();
    EXPECT_EQ(value->minimumValue().toDouble(), 0);
    EXPECT_EQ(value->maximumValue().toDouble(), 100);
    EXPECT_NEAR(value->minimumStepSize().toDouble(), 10 / 0.96, 0.01); // a tenth of the bar's travel

    const double end = 100 * 50 - 200;
    struct Step
    {
        const char *what;
        std::function<void()> act;
        double contentY;
        double value;
    };
    const QList<Step> steps = {
        {"at the top", [] {}, 0, 0},
        {"set to the end", [&] { value->setCurrentValue(100); }, end, 100},
        {"set half way", [&] { value->setCurrentValue(50); }, end / 2, 50},
        {"scrolled by the view", [&] { list->setProperty("contentY", end / 4); }, end / 4, 25},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_NEAR(list->property("contentY").toDouble(), step.contentY, 1);
        EXPECT_NEAR(value->currentValue().toDouble(), step.value, 0.5);
    }
    EXPECT_TRUE(waitFor([&] { return !log.of(bar, QAccessible::ValueChanged).isEmpty(); }))
        << "the listener is told of the new value";

    hosted.screen()->setProperty("rows", 2);
    EXPECT_TRUE(waitFor([&] { return node->valueInterface() == nullptr; })) << "a view that cannot scroll has no value";
}

// A progress bar (a render's) is read as a value from 0 to 100 as it moves; the listener is told
// of each step and finds the value where it is told.
TEST_F(KitAccessibility, AProgressBarExposesHowFarItHasCome)
{
    at::EventLog log;
    loadQml(R"(
Item {
    property real done: 0.25
    ProgressBar {
        objectName: "progress"
        width: 200
        from: 0; to: 1; value: parent.done
        Accessible.role: Accessible.ProgressBar
        Accessible.name: "پیشرفت ساخت ویدیو"
    }
})");
    QQuickItem *bar = item(QStringLiteral("progress"));
    ASSERT_TRUE(bar);
    QAccessibleInterface *node = QAccessible::queryAccessibleInterface(bar);
    ASSERT_TRUE(node && node->valueInterface());
    QAccessibleValueInterface *value = node->valueInterface();
    EXPECT_EQ(value->minimumValue().toDouble(), 0);
    EXPECT_EQ(value->maximumValue().toDouble(), 100);
    EXPECT_EQ(value->currentValue().toDouble(), 25);
    hosted.screen()->setProperty("done", 0.6);
    EXPECT_EQ(value->currentValue().toDouble(), 60);
    EXPECT_TRUE(waitFor([&] { return !log.of(bar, QAccessible::ValueChanged).isEmpty(); }));
    value->setCurrentValue(10); // read only
    EXPECT_EQ(value->currentValue().toDouble(), 60);
}

// Rows a list builds ahead of its view, and menu items below a menu's fold, are not showing; the
// listener is told as scrolling brings them in and takes them out.
TEST_F(KitAccessibility, OnlyWhatIsInViewReadsShowing)
{
    struct Case
    {
        const char *what;
        QByteArray qml; // a clipped list "list" of 40 buttons "ردیف N", 50 high, in view 0 to 3
    };
    const QList<Case> cases = {
        {"a list's rows", R"(ListView { objectName: "list"; width: 300; height: 200; clip: true; cacheBuffer: 400
             model: 40; delegate: PlainButton { required property int index; width: 300; height: 50; text: "ردیف " + index } })"},
        {"a menu's items", R"(Menu { id: menu; parent: Overlay.overlay; visible: true; height: 200
             Repeater { model: 40; MenuItem { required property int index; height: 50; text: "ردیف " + index } }
             Component.onCompleted: menu.contentItem.objectName = "list" })"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        at::EventLog log;
        loadQml("Item {\n" + c.qml + "\n}");
        QQuickItem *list = quickhost::visibleNamed(window()->contentItem(), QStringLiteral("list"));
        ASSERT_NE(list, nullptr);
        auto row = [&](int index) { return at::shownNode(window(), QStringLiteral("ردیف ") + QString::number(index)); };
        auto built = [&](int index) {
            for (QAccessibleInterface *node : at::nodes(window())) {
                if (node->text(QAccessible::Name) == QStringLiteral("ردیف ") + QString::number(index))
                    return node;
            }
            return static_cast<QAccessibleInterface *>(nullptr);
        };
        ASSERT_TRUE(waitFor([&] { return row(0) != nullptr; }));
        QAccessibleInterface *ahead = built(6);
        ASSERT_NE(ahead, nullptr) << "built ahead of the view";
        EXPECT_EQ(row(6), nullptr);
        EXPECT_TRUE(ahead->state().offscreen);

        // Scrolled by three rows: row 0 goes out, row 6 comes in.
        QObject *first = built(0)->object();
        list->setProperty("contentY", list->property("originY").toDouble() + 150);
        const int shownBefore = log.of(ahead->object(), QAccessible::ObjectShow).size();
        EXPECT_TRUE(waitFor([&] { return !log.of(first, QAccessible::ObjectHide).isEmpty(); }));
        EXPECT_EQ(log.of(ahead->object(), QAccessible::ObjectShow).size(), shownBefore + 1);
        EXPECT_NE(row(6), nullptr);
        EXPECT_EQ(row(0), nullptr);
    }
}

TEST_F(KitAccessibility, TheMenuKeyOpensAButtonsContextMenu)
{
    loadQml(R"(
Item {
    PlainButton {
        objectName: "control"
        text: "آهنگ"
        ContextMenu {
            objectName: "menu"
            entries: () => [{ text: "دانلود آفلاین", action: () => {} }]
        }
    }
})");
    QQuickItem *control = item(QStringLiteral("control"));
    ASSERT_TRUE(tabTo(control));
    key(Qt::Key_Menu);
    QObject *menu = hosted.screen()->findChild<QObject *>(QStringLiteral("menu"));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(waitFor([&] { return menu->property("opened").toBool(); }));
}

TEST_F(KitAccessibility, ASecureFieldIsAPasswordEditThatNeverExposesThePassword)
{
    loadQml(R"(Item { SecureField { objectName: "field"; placeholderText: "رمز عبور"; width: 200 } })");
    QQuickItem *field = item(QStringLiteral("field"));
    ASSERT_TRUE(tabTo(field));
    auto type = [&](const QByteArray &keys) {
        for (char c : keys)
            QTest::keyClick(window(), c);
    };
    auto password = [&] { return field->property("password").toString(); };
    QGuiApplication::clipboard()->setText(QStringLiteral("paste\nd"));

    struct Step
    {
        const char *what;
        std::function<void()> act;
        QString expected;
    };
    const QList<Step> steps = {
        {"typing", [&] { type("hunter2"); }, QStringLiteral("hunter2")},
        {"backspace", [&] { key(Qt::Key_Backspace); }, QStringLiteral("hunter")},
        {"delete at the start", [&] { key(Qt::Key_Home); key(Qt::Key_Delete); }, QStringLiteral("unter")},
        {"typing in the middle", [&] { key(Qt::Key_Right); type("N"); }, QStringLiteral("uNnter")},
        {"pasting without line breaks", [&] { key(Qt::Key_End); key(Qt::Key_V, Qt::ControlModifier); },
         QStringLiteral("uNnterpasted")},
        {"copying leaves the clipboard alone", [&] { key(Qt::Key_A, Qt::ControlModifier); key(Qt::Key_C, Qt::ControlModifier); },
         QStringLiteral("uNnterpasted")},
        {"typing over the selection", [&] { type("s3cret!"); }, QStringLiteral("s3cret!")},
        {"ctrl+backspace", [&] { key(Qt::Key_Left); key(Qt::Key_Backspace, Qt::ControlModifier); }, QStringLiteral("!")},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(password(), step.expected);
        EXPECT_EQ(field->property("text").toString(), QString(step.expected.size(), QChar(0x2022)));
    }
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("paste\nd"));

    const QList<QAccessibleInterface *> edits = at::shownNodes(window());
    ASSERT_EQ(edits.size(), 1);
    QAccessibleInterface *node = edits.first();
    EXPECT_EQ(node->role(), QAccessible::EditableText);
    EXPECT_EQ(node->text(QAccessible::Description), QStringLiteral("رمز عبور"));
    EXPECT_TRUE(node->state().passwordEdit);
    EXPECT_FALSE(node->text(QAccessible::Value).contains(QLatin1Char('!')));
    ASSERT_NE(node->textInterface(), nullptr);
    EXPECT_EQ(node->textInterface()->text(0, node->textInterface()->characterCount()), QString(QChar(0x2022)));

    field->setProperty("password", QString());
    EXPECT_EQ(field->property("text").toString(), QString());
}

TEST_F(KitAccessibility, ASecureFieldCreatedWithAPasswordShowsItAndEditsWholeCharactersAtItsEnd)
{
    struct Case
    {
        const char *what;
        QString created; // the password the field is created with
        int shown;       // its characters
        std::function<void()> act;
        QString expected;
    };
    auto type = [this](const QByteArray &keys) {
        return [this, keys] {
            for (char c : keys)
                QTest::keyClick(window(), c);
        };
    };
    auto backspaces = [this](int count) {
        return [this, count] {
            for (int i = 0; i < count; ++i)
                key(Qt::Key_Backspace);
        };
    };
    const QString emoji = QStringLiteral("ab\U0001F600");
    const QString combined = QStringLiteral("e\u0301x");
    const QString flag = QStringLiteral("\U0001F1EE\U0001F1F7");
    const QList<Case> cases = {
        {"typed after what it holds", QStringLiteral("xxxx"), 4, type("demo1234"), QStringLiteral("xxxxdemo1234")},
        {"backspace takes a whole emoji", emoji, 3, [&] { backspaces(1)(); type("cd")(); }, QStringLiteral("abcd")},
        {"backspace takes a letter with its accent", combined, 2, backspaces(2), QString()},
        {"a flag is one character", flag + QStringLiteral("a"), 2, [&] { key(Qt::Key_Left); backspaces(1)(); },
         QStringLiteral("a")},
        {"delete before an emoji", emoji, 3, [&] { key(Qt::Key_Left); key(Qt::Key_Delete); }, QStringLiteral("ab")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray literal;
        for (QChar unit : c.created)
            literal += QByteArray("\\u") + QByteArray::number(unit.unicode(), 16).rightJustified(4, '0');
        loadQml(R"(Item { SecureField { objectName: "field"; placeholderText: "رمز عبور"; width: 200; password: ")"
                + literal + R"(" } })");
        QQuickItem *field = item(QStringLiteral("field"));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->property("text").toString(), QString(c.shown, QChar(0x2022)));
        ASSERT_TRUE(tabTo(field));
        EXPECT_EQ(field->property("cursorPosition").toInt(), c.shown);
        c.act();
        const QString password = field->property("password").toString();
        EXPECT_EQ(password, c.expected);
        EXPECT_TRUE(password.isValidUtf16());
        // Every result here is plain ASCII: one mask character each.
        EXPECT_EQ(field->property("text").toString(), QString(password.size(), QChar(0x2022)));
    }

    // Set from outside after it was created: shown in full, typing follows it.
    QQuickItem *field = item(QStringLiteral("field"));
    field->setProperty("password", QStringLiteral("new"));
    type("er")();
    EXPECT_EQ(field->property("password").toString(), QStringLiteral("newer"));
}
