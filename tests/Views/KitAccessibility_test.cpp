#include "AccessibleTree.h"
#include "QmlWindowFixture.h"
#include "support/QuickHost.h"

#include <QAccessibleTextInterface>
#include <QClipboard>
#include <QGuiApplication>
#include <QQuickItem>
#include <QSignalSpy>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

// The screen kit with the keyboard and through Qt's accessibility interfaces (as a screen reader
// uses them), in a real Qt Quick window (offscreen). Every test also fails on any QML warning.

using namespace quickhost;
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

TEST_F(KitAccessibility, AnAnnouncerMakesEachNewStatusAppearAsANotification)
{
    loadQml(R"(Item { property string status: "۱۲ ایستگاه"; Announcer { objectName: "announcer"; text: parent.status } })");
    QQuickItem *announcer = item(QStringLiteral("announcer"));
    ASSERT_NE(announcer, nullptr);
    EXPECT_EQ(at::shownNode(window(), QStringLiteral("۱۲ ایستگاه")), nullptr) << "the first value is not announced";
    for (const QString &status : {QStringLiteral("اتصال…"), QStringLiteral("در حال پخش")}) {
        SCOPED_TRACE(status.toStdString());
        QSignalSpy appearances(announcer, &QQuickItem::visibleChanged);
        hosted.screen()->setProperty("status", status);
        // Hidden with the old text, shown with the new: the appearance a screen reader speaks.
        ASSERT_TRUE(waitFor([&] { return announcer->isVisible(); }));
        EXPECT_GE(appearances.count(), 1);
        EXPECT_NE(at::shownNode(window(), status, QAccessible::Notification), nullptr);
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
