#include "support/AccessibleTree.h"
#include "support/QmlWindowFixture.h"
#include "support/QuickHost.h"

#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

// Every control type of the kit driven the way a screen reader or a switch device drives it,
// through Qt's accessibility action and value interfaces, in a real window (offscreen): the effect
// is the one a click, a drag or a key has, and a disabled control is exposed as disabled and does
// nothing.

using namespace quickhost;
namespace at = accessibletree;

namespace {

class KitAssistiveActions : public QmlWindowFixture
{
public:
    // (Public: the cases' lambdas drive the window through them.)
    QQuickWindow *window() const { return hosted.window(); }
    QQuickItem *control() const { return itemNamed(window()->contentItem(), QStringLiteral("control")); }
    QVariant effect() const { return hosted.screen()->property("effect"); }
    int effects() const { return hosted.screen()->property("effects").toInt(); }

    QAccessibleInterface *shown(const QString &name, QAccessible::Role role = QAccessible::NoRole) const
    {
        QAccessibleInterface *found = nullptr;
        waitFor([&] { return (found = at::shownNode(window(), name, role)) != nullptr; });
        return found;
    }
    QAccessibleInterface *shownMenuEntry(const QString &name) const
    {
        return at::shownNode(window(), name, QAccessible::MenuItem);
    }
    // The first shown node of a role, or null.
    QAccessibleInterface *shownOfRole(QAccessible::Role role) const
    {
        for (QAccessibleInterface *node : at::shownNodes(window())) {
            if (node->role() == role)
                return node;
        }
        return nullptr;
    }
    // Accessibility turned off and on, as when a screen reader starts: this Qt then gives every
    // control its role, where in process a scroll bar or a menu made while it was on stays out of
    // the tree.
    static void restartAssistiveTechnology()
    {
        QAccessible::setActive(false);
        QAccessible::setActive(true);
    }
    // The window point at the centre of a node, as a pointer would aim at it.
    QPoint centre(QAccessibleInterface *node) const { return window()->mapFromGlobal(node->rect().center()); }
    void click(QPoint at) { QTest::mouseClick(window(), Qt::LeftButton, {}, at); }
    void click(QAccessibleInterface *node) { click(centre(node)); }
    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(window(), Qt::LeftButton, {}, from);
        for (int i = 1; i <= 10; ++i)
            QTest::mouseMove(window(), from + (to - from) * i / 10, 16);
        QTest::mouseRelease(window(), Qt::LeftButton, {}, to, 16);
    }
    static void act(QAccessibleInterface *node, const QString &action)
    {
        ASSERT_NE(node->actionInterface(), nullptr);
        ASSERT_TRUE(node->actionInterface()->actionNames().contains(action))
            << qPrintable(node->actionInterface()->actionNames().join(QLatin1Char(',')));
        node->actionInterface()->doAction(action);
    }

    at::Session session;
};

struct ControlCase
{
    const char *kind;
    QByteArray qml; // the control, named "control"; it reports into root.effect and root.effects
    QString name;   // its accessible name
    std::function<void(KitAssistiveActions &, QAccessibleInterface *)> assistive;
    std::function<void(KitAssistiveActions &, QAccessibleInterface *)> pointer;
};

const QString Press = QAccessibleActionInterface::pressAction();

} // namespace

TEST_F(KitAssistiveActions, EachControlDoesThroughAssistiveTechnologyWhatThePointerDoesAndDisabledIsExposed)
{
    using F = KitAssistiveActions;
    const QList<ControlCase> cases = {
        {"button", R"(PlainButton { objectName: "control"; text: "پخش همه"
                        onClicked: { root.effect = "clicked"; root.effects++ } })",
         QStringLiteral("پخش همه"),
         [](F &, QAccessibleInterface *node) { F::act(node, Press); },
         [](F &f, QAccessibleInterface *node) { f.click(node); }},
        {"toggle, its toggle action", R"(Toggle { objectName: "control"; Accessible.name: "اکولایزر"
                        checked: root.effect === true
                        onToggled: { root.effect = checked; root.effects++ } })",
         QStringLiteral("اکولایزر"),
         [](F &, QAccessibleInterface *node) { F::act(node, QAccessibleActionInterface::toggleAction()); },
         [](F &f, QAccessibleInterface *node) { f.click(node); }},
        {"toggle, its press action", R"(Toggle { objectName: "control"; Accessible.name: "اکولایزر"
                        checked: root.effect === true
                        onToggled: { root.effect = checked; root.effects++ } })",
         QStringLiteral("اکولایزر"),
         [](F &, QAccessibleInterface *node) { F::act(node, Press); },
         [](F &f, QAccessibleInterface *) { f.control()->forceActiveFocus(Qt::TabFocusReason);
                                            QTest::keyClick(f.window(), Qt::Key_Space); }},
        {"slider, its value set", R"(ValueSlider { objectName: "control"; Accessible.name: "بلندی صدا"
                        width: 200; from: 0; to: 10; modelValue: root.effect === undefined ? 0 : root.effect
                        onMoved: { root.effect = Math.round(value); root.effects++ } })",
         QStringLiteral("بلندی صدا"),
         [](F &, QAccessibleInterface *node) {
             ASSERT_NE(node->valueInterface(), nullptr);
             node->valueInterface()->setCurrentValue(3.0);
         },
         [](F &f, QAccessibleInterface *node) {
             // From the knob at 0 to where 3 lies (the window runs right to left, as the app's).
             const QRect r = node->rect();
             const bool mirrored = f.control()->property("mirrored").toBool();
             auto at = [&](double v) {
                 const double p = mirrored ? 1 - v / 10 : v / 10;
                 return f.window()->mapFromGlobal(QPoint(r.left() + 12 + int(p * (r.width() - 24)), r.center().y()));
             };
             f.drag(at(0), at(3));
         }},
        {"slider, its increase action", R"(ValueSlider { objectName: "control"; Accessible.name: "بیس"
                        width: 200; from: 0; to: 10; modelValue: root.effect === undefined ? 5 : root.effect
                        onMoved: { root.effect = Math.round(value); root.effects++ } })",
         QStringLiteral("بیس"),
         [](F &, QAccessibleInterface *node) { F::act(node, QAccessibleActionInterface::increaseAction()); },
         [](F &f, QAccessibleInterface *) { f.control()->forceActiveFocus(Qt::TabFocusReason);
                                            QTest::keyClick(f.window(), Qt::Key_Up); }},
        {"menu item", R"(PullDownMenu { objectName: "control"; Accessible.name: "پیش‌تنظیم"; width: 200
                        items: ["راک", "پاپ"]; contentItem: Text { text: "پیش‌تنظیم" }
                        onChosen: (index, text) => { root.effect = text; root.effects++ } })",
         QStringLiteral("پیش‌تنظیم"),
         [](F &f, QAccessibleInterface *node) {
             F::act(node, Press);
             QAccessibleInterface *item = f.shown(QStringLiteral("پاپ"), QAccessible::MenuItem);
             ASSERT_NE(item, nullptr);
             F::act(item, Press);
         },
         [](F &f, QAccessibleInterface *node) {
             f.click(node);
             QAccessibleInterface *item = f.shown(QStringLiteral("پاپ"), QAccessible::MenuItem);
             ASSERT_NE(item, nullptr);
             settle(300); // the menu's opening transition
             f.click(item);
         }},
        {"segmented picker", R"(SegmentedPicker { objectName: "control"; width: 240; titles: ["ورود", "ثبتنام"]
                        currentIndex: root.effect === undefined ? 0 : root.effect
                        onActivated: index => { root.effect = index; root.effects++ } })",
         QStringLiteral("ثبتنام"),
         [](F &, QAccessibleInterface *node) { F::act(node, Press); },
         [](F &f, QAccessibleInterface *node) { f.click(node); }},
        {"text field", R"(PlainTextField { objectName: "control"; width: 200; placeholderText: "نام پلیلیست جدید…"
                        onActiveFocusChanged: if (activeFocus) { root.effect = "focused"; root.effects++ } })",
         QStringLiteral("نام پلیلیست جدید…"),
         [](F &, QAccessibleInterface *node) { F::act(node, QAccessibleActionInterface::setFocusAction()); },
         [](F &f, QAccessibleInterface *node) { f.click(node); }},
    };
    for (const ControlCase &c : cases) {
        SCOPED_TRACE(c.kind);
        const QByteArray qml = "Item { id: root; property var effect; property int effects: 0\n"
                               "Column { y: 20; spacing: 20; width: 300\n" + c.qml + "\n} }";

        loadQml(qml);
        QAccessibleInterface *node = shown(c.name);
        ASSERT_NE(node, nullptr);
        EXPECT_FALSE(node->state().disabled);
        c.assistive(*this, node);
        ASSERT_TRUE(waitFor([&] { return effects() > 0; })) << "the assistive action did nothing";
        const QVariant assisted = effect();
        EXPECT_EQ(effects(), 1);

        loadQml(qml);
        node = shown(c.name);
        ASSERT_NE(node, nullptr);
        c.pointer(*this, node);
        ASSERT_TRUE(waitFor([&] { return effects() > 0; })) << "the pointer did nothing";
        EXPECT_EQ(effect(), assisted);

        loadQml(qml);
        control()->setEnabled(false);
        node = shown(c.name);
        ASSERT_NE(node, nullptr);
        EXPECT_TRUE(node->state().disabled);
        // Every action it offers, and a value.
        if (QAccessibleActionInterface *actions = node->actionInterface()) {
            for (const QString &action : actions->actionNames())
                actions->doAction(action);
        }
        if (QAccessibleValueInterface *value = node->valueInterface())
            value->setCurrentValue(value->maximumValue());
        settle(50);
        EXPECT_EQ(effects(), 0) << "a disabled control acted";
        // Nor does a disabled slider show or expose a value its model did not take, then or
        // once enabled again.
        if (QAccessibleValueInterface *value = node->valueInterface()) {
            const double model = control()->property("modelValue").toDouble();
            EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), model) << "a disabled slider took a value";
            // (Both sliders above run from 0 to 10.)
            EXPECT_DOUBLE_EQ(control()->property("position").toDouble(), model / 10) << "the knob moved";
            control()->setEnabled(true);
            EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), model);
        }
    }
}

TEST_F(KitAssistiveActions, ASliderExposesItsRangeAndStepAndFollowsItsModelSilently)
{
    loadQml(R"(
Item {
    id: root
    property real level: 0.85
    property int effects: 0
    ValueSlider {
        objectName: "control"; Accessible.name: "بلندی صدا"; width: 200
        from: 0; to: 1; stepSize: 0.05; modelValue: root.level
        onMoved: { root.level = value; root.effects++ }
    }
})");
    QAccessibleInterface *node = shown(QStringLiteral("بلندی صدا"), QAccessible::Slider);
    ASSERT_NE(node, nullptr);
    QAccessibleValueInterface *value = node->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_DOUBLE_EQ(value->minimumValue().toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(value->maximumValue().toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(value->minimumStepSize().toDouble(), 0.05);
    EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), 0.85);

    // The model moves the knob without a moved(); outside the range, the knob waits at its end.
    for (double model : {0.4, 7.0, 0.2}) {
        hosted.screen()->setProperty("level", model);
        EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), std::min(model, 1.0));
    }
    EXPECT_EQ(hosted.screen()->property("effects").toInt(), 0);

    // Set by assistive technology: the model takes it, and the knob follows the model afterwards.
    value->setCurrentValue(0.3);
    EXPECT_DOUBLE_EQ(hosted.screen()->property("level").toDouble(), 0.3);
    hosted.screen()->setProperty("level", 0.6);
    EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), 0.6);
    EXPECT_EQ(hosted.screen()->property("effects").toInt(), 1);
}

TEST_F(KitAssistiveActions, APullDownMenuExposesItsCurrentChoiceAsChecked)
{
    loadQml(R"(
Item {
    id: root
    property int current: 1
    PullDownMenu { objectName: "control"; Accessible.name: "پیش‌تنظیم"; width: 200
                   items: ["راک", "پاپ", "جاز"]; currentIndex: root.current
                   contentItem: Text { text: "پیش‌تنظیم" } }
})");
    QAccessibleInterface *button = shown(QStringLiteral("پیش‌تنظیم"));
    ASSERT_NE(button, nullptr);
    act(button, Press);
    for (int current : {1, 2, -1}) {
        hosted.screen()->setProperty("current", current);
        const QStringList names = {QStringLiteral("راک"), QStringLiteral("پاپ"), QStringLiteral("جاز")};
        for (int i = 0; i < names.size(); ++i) {
            SCOPED_TRACE(qPrintable(QStringLiteral("current %1, item %2").arg(current).arg(i)));
            QAccessibleInterface *item = shown(names.at(i), QAccessible::MenuItem);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->state().checked, i == current);
            EXPECT_EQ(item->state().checkable, current >= 0);
        }
    }
}

TEST_F(KitAssistiveActions, AnOpenedScreenHasTheFocusOnItsFirstControl)
{
    // Each opens from the keyboard on the button "باز کن"; what it shows has a heading and then
    // the controls "اول" and "دوم".
    const QByteArray controls = R"(Column { Text { text: "عنوان"; Accessible.role: Accessible.Heading; Accessible.name: text }
                                            PlainButton { text: "اول" } PlainButton { text: "دوم" } })";
    struct Landing
    {
        const char *kind;
        QByteArray qml;
        QString focused; // the control that has the focus once it has opened
    };
    const QList<Landing> cases = {
        {"sheet", "Sheet { presenter: root; flag: \"show\"; Item { " + controls + " } }", QStringLiteral("اول")},
        {"full-screen cover", "FullScreenCover { presenter: root; flag: \"show\"; Item { " + controls + " } }",
         QStringLiteral("اول")},
        {"sheet whose screen chose its control",
         "Sheet { presenter: root; flag: \"show\"; Item { " + controls
             + " PlainButton { id: own; y: 200; text: \"خودش\" } Component.onCompleted: Qt.callLater(() => own.forceActiveFocus(Qt.TabFocusReason)) } }",
         QStringLiteral("خودش")},
        // A pushed page: its first control is the back button of its bar.
        {"pushed page", R"(NavigationStack { id: nav; width: 300; height: 300
                             initialItem: Component { NavigationPage {
                                 PlainButton { objectName: "control"; text: "باز کن"; onClicked: nav.push(next) } } }
                             Component { id: next; NavigationPage { navigationTitle: "عنوان"; )" + controls + R"( } } })",
         QStringLiteral("بازگشت")},
    };
    for (const Landing &c : cases) {
        SCOPED_TRACE(c.kind);
        // The button "باز کن" is the case's own, or one that raises the flag.
        const QByteArray opener = c.qml.contains("\"control\"")
            ? QByteArray()
            : "PlainButton { objectName: \"control\"; text: \"باز کن\"; onClicked: root.show = true }\n";
        loadQml("Item { id: root; property bool show: false\n" + opener + c.qml + "\n}");
        control()->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(window(), Qt::Key_Space);
        auto focusedName = [&] {
            QQuickItem *item = window()->activeFocusItem();
            QAccessibleInterface *node = item ? QAccessible::queryAccessibleInterface(item) : nullptr;
            return node ? node->text(QAccessible::Name) : QString();
        };
        EXPECT_TRUE(waitFor([&] { return focusedName() == c.focused; })) << qPrintable(focusedName());
        // Opened from the keyboard, the focus shows.
        EXPECT_TRUE(window()->activeFocusItem() && window()->activeFocusItem()->property("visualFocus").toBool());
    }
}

TEST_F(KitAssistiveActions, WhatAModalSheetCoversIsNotShowing)
{
    loadQml(R"(
Item {
    id: root
    property bool showSheet: false
    PlainButton { text: "زیر برگه" }
    Sheet {
        presenter: root
        flag: "showSheet"
        Item { PlainButton { text: "روی برگه" } }
    }
})");
    EXPECT_NE(at::shownNode(window(), QStringLiteral("زیر برگه")), nullptr);
    hosted.screen()->setProperty("showSheet", true);
    ASSERT_NE(shown(QStringLiteral("روی برگه")), nullptr);
    EXPECT_EQ(at::shownNode(window(), QStringLiteral("زیر برگه")), nullptr);
    hosted.screen()->setProperty("showSheet", false);
    EXPECT_NE(shown(QStringLiteral("زیر برگه")), nullptr);
}

namespace {

struct MenuCase
{
    const char *kind;
    QByteArray qml; // declares the item named "control" holding the node
    QString name;   // the node whose menu it is
    QString entry;  // an entry of that menu
};

} // namespace

// Wherever a context menu hangs on a node, assistive technology opens it through the node's
// standard ShowMenu action, listed once beside the node's other actions (each of them once too),
// as the Menu key does: the node takes the focus and its menu opens, named, with its entries.
TEST_F(KitAssistiveActions, EveryContextMenuOpensThroughShowMenuAndEachActionIsListedOnce)
{
    const QString ShowMenu = QAccessibleActionInterface::showMenuAction();
    const QByteArray trackRow = R"(PlaylistTrackRow { objectName: "control"; width: 360
        track: ({ number: 1, title: "مهتاب", artist: "خواننده", durationText: "3:05" }) })";
    const QList<MenuCase> cases = {
        {"kit button", R"(PlainButton { objectName: "control"; text: "آهنگ"
             ContextMenu { entries: () => [{ text: "دانلود آفلاین", action: () => {} }] } })",
         QStringLiteral("آهنگ"), QStringLiteral("دانلود آفلاین")},
        {"playlist card", R"(PlaylistCard { objectName: "control"; width: 150
             playlist: ({ title: "آرامش شبانه", trackCountText: "3 آهنگ" }) })",
         QStringLiteral("آرامش شبانه، 3 آهنگ"), QStringLiteral("حذف پلیلیست")},
        {"track row", trackRow, QStringLiteral("مهتاب، خواننده"), QStringLiteral("ویرایش")},
        {"track row's menu button", trackRow, QStringLiteral("گزینه‌های آهنگ مهتاب"), QStringLiteral("حذف")},
        {"an item that is no button", R"(Rectangle { objectName: "control"; width: 200; height: 40
             Accessible.role: Accessible.ListItem; Accessible.name: "ردیف"
             ContextMenu { entries: () => [{ text: "حذف دانلود", action: () => {} }] } })",
         QStringLiteral("ردیف"), QStringLiteral("حذف دانلود")},
    };
    for (const MenuCase &c : cases) {
        SCOPED_TRACE(c.kind);
        loadQml("Item { width: 400; height: 400\nColumn { y: 20; width: 380\n" + c.qml + "\n} }");
        for (QAccessibleInterface *node : at::shownNodes(window())) {
            if (QAccessibleActionInterface *actions = node->actionInterface()) {
                const QStringList names = actions->actionNames();
                EXPECT_EQ(names.size(), QSet<QString>(names.begin(), names.end()).size())
                    << qPrintable(node->text(QAccessible::Name) + QLatin1Char(':') + names.join(QLatin1Char(',')));
            }
        }
        QAccessibleInterface *node = shown(c.name);
        ASSERT_NE(node, nullptr);
        ASSERT_NE(node->actionInterface(), nullptr);
        EXPECT_EQ(node->actionInterface()->actionNames().count(ShowMenu), 1);
        EXPECT_EQ(shownMenuEntry(c.entry), nullptr);
        node->actionInterface()->doAction(ShowMenu);
        EXPECT_NE(shown(c.entry, QAccessible::MenuItem), nullptr) << "the menu opened";
        restartAssistiveTechnology();
        ASSERT_NE(shownOfRole(QAccessible::PopupMenu), nullptr);
        for (QAccessibleInterface *shownNode : at::shownNodes(window())) // the menu, its scroll indicator…
            EXPECT_FALSE(shownNode->text(QAccessible::Name).isEmpty()) << "unnamed, of role " << int(shownNode->role());

        // Disabled, it offers no menu.
        loadQml("Item { width: 400; height: 400\nColumn { y: 20; width: 380\n" + c.qml + "\n} }");
        control()->setEnabled(false);
        node = shown(c.name);
        ASSERT_NE(node, nullptr);
        EXPECT_FALSE(node->actionInterface() && node->actionInterface()->actionNames().contains(ShowMenu));
    }
}

// What Qt leaves unnamed is named: a password field by its label (never by what it holds), and
// scroll bars.
TEST_F(KitAssistiveActions, PasswordFieldsAndScrollBarsAreNamed)
{
    struct NameCase
    {
        const char *kind;
        QByteArray qml;
        QAccessible::Role role;
        QString name;
    };
    const QList<NameCase> cases = {
        {"password field", R"(SecureField { placeholderText: "رمز عبور"; width: 200; password: "hunter2" })",
         QAccessible::EditableText, QStringLiteral("رمز عبور")},
        {"scroll bar", R"(ListView { width: 200; height: 100; model: 30; delegate: Text { text: index }
             ScrollBar.vertical: ScrollBar { policy: ScrollBar.AlwaysOn } })",
         QAccessible::ScrollBar, QStringLiteral("نوار پیمایش")},
    };
    for (const NameCase &c : cases) {
        SCOPED_TRACE(c.kind);
        loadQml("Item { width: 400; height: 400\n" + c.qml + "\n}");
        restartAssistiveTechnology();
        QAccessibleInterface *node = nullptr;
        ASSERT_TRUE(waitFor([&] { return (node = shownOfRole(c.role)) != nullptr; }));
        EXPECT_EQ(node->text(QAccessible::Name), c.name);
    }
}
