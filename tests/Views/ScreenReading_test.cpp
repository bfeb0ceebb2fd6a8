#include "Kit/AccessibleItems.h"
#include "Services/RadioPlayer.h"
#include "SignedInQmlFixture.h"
#include "support/AccessibleTree.h"
#include "support/CatalogueStation.h"
#include "support/AccountRoutes.h"
#include "support/DemoCatalogue.h"
#include "support/StandInAudio.h"

#include <QAccessibleValueInterface>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

// What a screen reader is told and finds, in a real Qt Quick window (offscreen) signed in to the
// stand-in backend: the events that reach it (through the kit's own filter, as a bridge has
// them), the window's notification node's messages, and the roles, names, states and
// descriptions of the nodes. One case per fault a listener heard.

using namespace quickhost;
namespace at = accessibletree;

namespace {

class ScreenReading;

struct Reading
{
    const char *name;
    std::function<void(ScreenReading &)> check;
};

void PrintTo(const Reading &reading, std::ostream *os)
{
    *os << reading.name;
}

class ScreenReading : public SignedInQmlFixture, public ::testing::WithParamInterface<Reading>
{
public:
    void installRoutes() override
    {
        standin::installDemoCatalogue(server);
        standin::installAudioRoutes(server);
        standin::installAccountRoutes(server);
    }

    QObject *show(const QByteArray &qml) { return loadQml(qml); }
    standin::StandInServer &backend() { return server; }
    QQuickWindow *window() const { return hosted.window(); }
    QQuickItem *named(const QString &name) const { return itemNamed(window()->contentItem(), name); }
    QQuickItem *shownItem(const QString &name) const { return visibleNamed(window()->contentItem(), name); }
    QAccessibleInterface *node(const QString &name, QAccessible::Role role = QAccessible::NoRole) const
    {
        return at::shownNode(window(), name, role);
    }
    // The window's notification node, and what it has said since the log began.
    QQuickItem *channel() const { return named(QStringLiteral("announcements")); }
    QStringList spoken() const { return log.appearances(channel()); }
    // Waits until the node has said `expected` (and nothing else since the log began).
    bool said(const QStringList &expected) const
    {
        return waitFor([&] { return spoken() == expected; });
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(window(), key, modifiers);
    }
    bool tabTo(QQuickItem *item, int presses = 40)
    {
        window()->requestActivate();
        for (int i = 0; i < presses && item && !item->hasActiveFocus(); ++i)
            press(Qt::Key_Tab);
        return item && item->hasActiveFocus();
    }
    // Two passes of the event loop: what the window says shows at the end of the next one.
    static void passes()
    {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    at::EventLog log;
};

const Reading readings[] = {
    {"AFocusedControlsNewStateIsSpokenOnce", [](ScreenReading &t) {
         // Its new name alone, or what else speaks in the same pass in its place.
         QObject *root = t.show(R"(Item {
             property string label: "مکث"
             property string status: ""
             PlainButton { objectName: "toggle"; text: parent.label }
             PlainButton { objectName: "other"; y: 60; text: "دیگر" }
             Announcer { text: parent.status }
         })");
         ASSERT_TRUE(t.tabTo(t.named(QStringLiteral("toggle"))));
         root->setProperty("label", QStringLiteral("پخش"));
         EXPECT_TRUE(t.said({QStringLiteral("پخش")})) << qPrintable(t.spoken().join(u'|'));
         root->setProperty("label", QStringLiteral("مکث"));
         root->setProperty("status", QStringLiteral("در حال پخش"));
         EXPECT_TRUE(t.said({QStringLiteral("پخش"), QStringLiteral("در حال پخش")})) << qPrintable(t.spoken().join(u'|'));
         // A control without the focus says nothing of its new name.
         t.named(QStringLiteral("other"))->setProperty("text", QStringLiteral("دیگری"));
         t.passes();
         EXPECT_EQ(t.spoken().size(), 2);
     }},
    {"APositionThatFollowsTheClockIsReadNotPushed", [](ScreenReading &t) {
         QObject *root = t.show(R"(Item {
             property real position: 10
             ValueSlider { objectName: "seek"; width: 200; from: 0; to: 180; stepSize: 5; followsClock: true
                           modelValue: parent.position; Accessible.name: "موقعیت پخش"; onMoved: parent.position = value }
             ValueSlider { objectName: "volume"; y: 40; width: 200; from: 0; to: 100; modelValue: parent.position }
         })");
         QQuickItem *seek = t.named(QStringLiteral("seek"));
         QQuickItem *volume = t.named(QStringLiteral("volume"));
         for (int second = 11; second <= 14; ++second)
             root->setProperty("position", second);
         EXPECT_TRUE(t.log.of(seek, QAccessible::ValueChanged).isEmpty());
         // Another slider's model change is told; the listener's own move of this one is.
         EXPECT_FALSE(t.log.of(volume, QAccessible::ValueChanged).isEmpty());
         ASSERT_TRUE(t.tabTo(seek));
         t.press(Qt::Key_Up);
         EXPECT_EQ(t.log.of(seek, QAccessible::ValueChanged).size(), 1);
         // Read when asked, it is where the clock is.
         EXPECT_EQ(QAccessible::queryAccessibleInterface(seek)->valueInterface()->currentValue().toDouble(),
                   root->property("position").toDouble());
     }},
    {"TheVolumeReadsInPercent", [](ScreenReading &t) {
         RadioPlayer::shared()->setVolume(0.85f);
         t.show("FullPlayerView {}");
         QAccessibleInterface *volume = t.node(QStringLiteral("بلندی صدا"), QAccessible::Slider);
         ASSERT_TRUE(volume && volume->valueInterface());
         EXPECT_EQ(volume->valueInterface()->maximumValue().toDouble(), 100.0);
         EXPECT_NEAR(volume->valueInterface()->currentValue().toDouble(), 85.0, 0.01);
         volume->valueInterface()->setCurrentValue(40.0);
         EXPECT_NEAR(RadioPlayer::shared()->volume(), 0.40, 0.001);
     }},
    {"PreviousSaysTheRestartOrTheNewTrack", [](ScreenReading &t) {
         t.show("FullPlayerView {}");
         ASSERT_TRUE(testsupport::selectCatalogueStation(QStringLiteral("persian")));
         RadioPlayer *player = RadioPlayer::shared();
         ASSERT_TRUE(waitFor([&] { return player->isPlaying() && player->duration() > 0; }, 10000));
         const QString total = t.named(QStringLiteral("totalText"))->property("text").toString();
         // Past five seconds it starts the track again, and says so by where it is.
         player->seek(8);
         ASSERT_TRUE(waitFor([&] { return player->currentTime() > 5.5; }));
         const QString track = player->currentStation()->currentTrackID();
         ASSERT_TRUE(t.tabTo(t.named(QStringLiteral("previousButton"))));
         qsizetype heard = t.spoken().size();
         t.press(Qt::Key_Return);
         ASSERT_TRUE(waitFor([&] { return t.spoken().size() > heard; }));
         EXPECT_EQ(t.spoken().mid(heard).join(u'|'), QStringLiteral("0:00 از ") + total);
         EXPECT_EQ(player->currentStation()->currentTrackID(), track);
         // At once again: the track before, spoken as it plays, without a position.
         ASSERT_TRUE(waitFor([&] { return player->currentTime() < 5; }));
         heard = t.spoken().size();
         t.press(Qt::Key_Return);
         ASSERT_NE(player->currentStation()->currentTrackID(), track);
         const QString title = player->currentStation()->displayTrackTitle();
         ASSERT_TRUE(waitFor([&] {
             const QStringList since = t.spoken().mid(heard);
             return !since.isEmpty() && since.last().contains(title);
         }, 10000)) << qPrintable(t.spoken().mid(heard).join(u'|'));
         for (const QString &message : t.spoken().mid(heard))
             EXPECT_FALSE(message.contains(QStringLiteral(" از "))) << qPrintable(message);
     }},
    {"F6LeavesAnyListInOneKeyAndComesBack", [](ScreenReading &t) {
         t.show(R"(Item {
             NavigationStack { anchors.fill: parent; anchors.bottomMargin: 60
                 initialItem: NavigationPage { navigationTitle: "فهرست"
                     LazyListView { anchors.fill: parent; model: 3000
                         delegate: FocusScope { required property int index; width: ListView.view.width; height: 40
                             PlainButton { objectName: "row" + parent.index; text: "ردیف " + parent.index } } } } }
             Item { id: bar; anchors.bottom: parent.bottom; width: parent.width; height: 60
                 FocusRegion { target: bar }
                 PlainButton { objectName: "barButton"; text: "پخش" } }
         })");
         QQuickItem *row = nullptr;
         ASSERT_TRUE(waitFor([&] { return (row = t.shownItem(QStringLiteral("row0"))) != nullptr; }));
         ASSERT_TRUE(t.tabTo(row));
         for (int i = 0; i < 5; ++i)
             t.press(Qt::Key_Down);
         QQuickItem *deep = t.window()->activeFocusItem();
         ASSERT_EQ(deep->objectName(), QStringLiteral("row5"));
         t.press(Qt::Key_F6);
         EXPECT_TRUE(t.named(QStringLiteral("barButton"))->hasActiveFocus());
         EXPECT_TRUE(t.named(QStringLiteral("barButton"))->property("visualFocus").toBool());
         // Back to where it was; on round the page's bar, empty here, is passed by.
         t.press(Qt::Key_F6, Qt::ShiftModifier);
         EXPECT_EQ(t.window()->activeFocusItem(), deep);
         t.press(Qt::Key_F6);
         t.press(Qt::Key_F6);
         EXPECT_EQ(t.window()->activeFocusItem(), deep);
     }},
    {"F6InASheetGoesBetweenItsBarAndContentAndStaysInIt", [](ScreenReading &t) {
         // The sheets that draw their own bar: a control of the bar, and one of the content
         // that comes once the sheet has loaded.
         struct SheetCase
         {
             const char *flag;
             const char *bar;
             const char *content;
         };
         const SheetCase sheets[] = {
             {"lyrics", "translationToggle", "lyricsList"},
             {"story", "closeButton", "startMenu"},
             {"eq", "eqToggle", "bandSlider"},
         };
         QObject *root = t.show(R"(Item {
             id: host
             property var station: null
             property bool lyrics: false
             property bool story: false
             property bool eq: false
             PlainButton { objectName: "behind"; text: "پشت" }
             Sheet { presenter: host; flag: "lyrics"; LyricsSheet { station: host.station } }
             Sheet { presenter: host; flag: "story"; StoryView { station: host.station } }
             Sheet { presenter: host; flag: "eq"; EQView {} }
         })");
         Station station;
         station.genre = QStringLiteral("pop");
         station.title = QStringLiteral("Night Song");
         station.artist = QStringLiteral("Aria Sky");
         root->setProperty("station", station.toVariant());
         for (const SheetCase &sheet : sheets) {
             SCOPED_TRACE(sheet.flag);
             root->setProperty(sheet.flag, true);
             QQuickItem *bar = nullptr;
             ASSERT_TRUE(waitFor([&] { return (bar = t.shownItem(QString::fromLatin1(sheet.bar))) != nullptr; }));
             // The bands answer only while the equaliser is on.
             const bool switched = QByteArray(sheet.flag) == "eq";
             if (switched) {
                 bar->forceActiveFocus(Qt::TabFocusReason);
                 t.press(Qt::Key_Space);
             }
             QQuickItem *content = nullptr;
             ASSERT_TRUE(waitFor([&] {
                 content = t.shownItem(QString::fromLatin1(sheet.content));
                 return content && content->isEnabled();
             }, 10000));
             content->forceActiveFocus(Qt::TabFocusReason);
             ASSERT_TRUE(content->hasActiveFocus());
             // (A line of the lyrics, in the list.)
             QQuickItem *left = t.window()->activeFocusItem();
             for (const Qt::KeyboardModifiers way : {Qt::NoModifier, Qt::ShiftModifier}) {
                 t.press(Qt::Key_F6, way);
                 EXPECT_EQ(t.window()->activeFocusItem(), bar);
                 t.press(Qt::Key_F6, way);
                 EXPECT_EQ(t.window()->activeFocusItem(), left);
             }
             t.press(Qt::Key_Tab);
             t.press(Qt::Key_Tab, Qt::ShiftModifier);
             EXPECT_EQ(t.window()->activeFocusItem(), left);
             EXPECT_FALSE(t.named(QStringLiteral("behind"))->hasActiveFocus());
             if (switched) {
                 bar->forceActiveFocus(Qt::TabFocusReason);
                 t.press(Qt::Key_Space);
             }
             root->setProperty(sheet.flag, false);
             ASSERT_TRUE(waitFor([&] { return t.shownItem(QString::fromLatin1(sheet.content)) == nullptr; }));
         }
     }},
    {"StatesAreReadWithTheRolesThatSayThem", [](ScreenReading &t) {
         QObject *root = t.show(R"(Item {
             property bool liked: false
             property int category: 0
             Row {
                 ButtonBase { objectName: "like"; width: 40; height: 40; accessibleRole: Accessible.CheckBox
                              checked: root.liked; Accessible.name: "پسندیدن"; onClicked: root.liked = !root.liked }
                 Toggle { objectName: "translation"; checked: true; Accessible.name: "ترجمه" }
                 Repeater { model: ["همه", "ایرانی"]
                     ButtonBase { required property int index; required property string modelData
                                  objectName: "chip" + index; width: 60; height: 40; text: modelData
                                  accessibleRole: Accessible.RadioButton; checked: root.category === index
                                  onClicked: root.category = index } }
                 ButtonBase { objectName: "tab"; width: 60; height: 40; text: "کتابخانه"; accessibleRole: Accessible.PageTab
                              checked: true }
             }
             id: root
         })");
         QAccessibleInterface *like = t.node(QStringLiteral("پسندیدن"), QAccessible::CheckBox);
         ASSERT_TRUE(like);
         EXPECT_TRUE(like->state().checkable);
         EXPECT_FALSE(like->state().checked);
         QAccessibleInterface *translation = t.node(QStringLiteral("ترجمه"), QAccessible::CheckBox);
         ASSERT_TRUE(translation);
         EXPECT_TRUE(translation->state().checked);
         QAccessibleInterface *chip = t.node(QStringLiteral("همه"), QAccessible::RadioButton);
         ASSERT_TRUE(chip);
         EXPECT_TRUE(chip->state().checked);
         EXPECT_FALSE(t.node(QStringLiteral("ایرانی"), QAccessible::RadioButton)->state().checked);
         QAccessibleInterface *tab = t.node(QStringLiteral("کتابخانه"), QAccessible::PageTab);
         ASSERT_TRUE(tab);
         EXPECT_TRUE(tab->state().selected);
         // A press on the heart: its checked state changes, and a reader is told so.
         ASSERT_TRUE(at::press(like));
         EXPECT_TRUE(root->property("liked").toBool());
         EXPECT_TRUE(like->state().checked);
         bool told = false;
         for (const auto &event : t.log.of(t.named(QStringLiteral("like")), QAccessible::StateChanged))
             told = told || !event.name.isEmpty();
         EXPECT_TRUE(told);
         // Enter on a chip: a reader says a radio button's selection only for Space, so it is told.
         ASSERT_TRUE(t.tabTo(t.named(QStringLiteral("chip1"))));
         t.press(Qt::Key_Return);
         EXPECT_EQ(root->property("category").toInt(), 1);
         EXPECT_TRUE(t.said({QStringLiteral("ایرانی، انتخاب شد")})) << qPrintable(t.spoken().join(u'|'));
     }},
    {"AFailureIsSpokenWithItsReason", [](ScreenReading &t) {
         t.backend().script("GET", QStringLiteral("/api/playlists/1"), standin::Reply::text("{}", 404, "application/json"));
         QObject *stack = t.show(R"(NavigationStack { initialItem: NavigationPage { navigationTitle: "کتابخانه" }
             function open() { push(Qt.resolvedUrl("qrc:/Melodrift/PlaylistDetailView.qml"),
                                    { summary: { id: 1, title: "آرامش شبانه", trackCount: 3 } }) } })");
         QMetaObject::invokeMethod(stack, "open");
         QQuickItem *retry = nullptr;
         ASSERT_TRUE(waitFor([&] { return (retry = t.shownItem(QStringLiteral("retryButton"))) != nullptr; }));
         const QString reason = t.shownItem(QStringLiteral("errorText"))->property("text").toString();
         ASSERT_FALSE(reason.isEmpty());
         QAccessibleInterface *button = QAccessible::queryAccessibleInterface(retry);
         EXPECT_EQ(button->text(QAccessible::Description), reason);
         // Said with the button, not a second time as a text of the page.
         EXPECT_FALSE(t.node(reason, QAccessible::StaticText));
     }},
    {"DialogsNameWhatTheyActOn", [](ScreenReading &t) {
         QTemporaryDir folder;
         ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Clips")));
         QObject *root = t.show(R"(Item {
             id: host
             property bool asking: false
             property bool account: false
             ConfirmationDialog { presenter: host; flag: "asking"; title: "حذف آهنگ؟"; message: "مهتاب" }
             Sheet { presenter: host; flag: "account"; AccountSheet {} }
             Component { id: make; SaveFileDialog { suffix: ".mp4" } }
             function save(folder) { make.createObject(host).openAt(folder, "story.mp4", true) }
         })");
         // The confirmation: one node, named by its title, described by the track.
         root->setProperty("asking", true);
         ASSERT_TRUE(waitFor([&] { return t.node(QStringLiteral("حذف آهنگ؟"), QAccessible::Dialog) != nullptr; }));
         const QStringList dialogs = at::shownNames(t.window(), QAccessible::Dialog);
         EXPECT_EQ(dialogs.count(QStringLiteral("حذف آهنگ؟")), 1) << qPrintable(dialogs.join(u'|'));
         EXPECT_EQ(t.node(QStringLiteral("حذف آهنگ؟"), QAccessible::Dialog)->text(QAccessible::Description),
                   QStringLiteral("مهتاب"));
         root->setProperty("asking", false);
         ASSERT_TRUE(waitFor([&] { return t.node(QStringLiteral("حذف آهنگ؟"), QAccessible::Dialog) == nullptr; }));
         // The account sheet: who is signed in and what they keep.
         root->setProperty("account", true);
         QAccessibleInterface *sheet = nullptr;
         ASSERT_TRUE(waitFor([&] {
             sheet = t.node(QStringLiteral("حساب کاربری"), QAccessible::Dialog);
             return sheet && sheet->text(QAccessible::Description).contains(QStringLiteral("پلیلیست"));
         }));
         const QString about = sheet->text(QAccessible::Description);
         EXPECT_TRUE(about.contains(QStringLiteral("demo"))) << qPrintable(about);
         EXPECT_TRUE(about.contains(QStringLiteral("2 پسندیده"))) << qPrintable(about);
         root->setProperty("account", false);
         ASSERT_TRUE(waitFor([&] { return t.node(QStringLiteral("حساب کاربری"), QAccessible::Dialog) == nullptr; }));
         // The save dialog: the folder it saves into, which Tab reaches too.
         QMetaObject::invokeMethod(root, "save", Q_ARG(QVariant, folder.path()));
         QAccessibleInterface *save = nullptr;
         ASSERT_TRUE(waitFor([&] { return (save = t.node(QStringLiteral("ذخیره به نام…"), QAccessible::Dialog)) != nullptr; }));
         EXPECT_EQ(save->text(QAccessible::Description), QStringLiteral("پوشه: ") + folder.path());
         QQuickItem *folderName = nullptr;
         ASSERT_TRUE(waitFor([&] { return (folderName = t.shownItem(QStringLiteral("folderName"))) != nullptr; }));
         EXPECT_TRUE(t.tabTo(folderName, 4));
     }},
    {"LongListsTellTheirPlaceAndPagesTheirTitle", [](ScreenReading &t) {
         QObject *stack = t.show(R"(NavigationStack { initialItem: NavigationPage { navigationTitle: "کتابخانه" }
             function open() { push(Qt.resolvedUrl("qrc:/Melodrift/PlaylistDetailView.qml"),
                                    { summary: { id: 1, title: "آرامش شبانه", trackCount: 3 } }) } })");
         QMetaObject::invokeMethod(stack, "open");
         QQuickItem *row = nullptr;
         ASSERT_TRUE(waitFor([&] { return (row = t.shownItem(QStringLiteral("trackRow1"))) != nullptr; }));
         QQuickItem *play = visibleNamed(row, QStringLiteral("playButton"));
         EXPECT_TRUE(QAccessible::queryAccessibleInterface(play)->text(QAccessible::Description)
                         .startsWith(QStringLiteral("2 از 3")));
         // The page is a panel named by its title, a reader's context as the focus comes in; the
         // focus passing through it on the way is not told.
         QAccessibleInterface *page = t.node(QStringLiteral("آرامش شبانه"), QAccessible::Pane);
         ASSERT_TRUE(page);
         QAccessibleEvent throughPage(page->object(), QAccessible::Focus);
         EXPECT_FALSE(passesAccessibleEvent(&throughPage));
         QAccessibleEvent onControl(play, QAccessible::Focus);
         EXPECT_TRUE(passesAccessibleEvent(&onControl));
     }},
    {"AMessageIsSpokenOnceAndAlone", [](ScreenReading &t) {
         QObject *root = t.show(R"(Item {
             id: host
             property string status: ""
             property string sheetStatus: ""
             property bool open: false
             Announcer { text: host.status }
             Announcer { text: host.status }
             Sheet { presenter: host; flag: "open"
                 NavigationPage { navigationTitle: "برگه"; Announcer { text: host.sheetStatus } } }
         })");
         // Two screens saying the same: once.
         root->setProperty("status", QStringLiteral("در حال پخش"));
         EXPECT_TRUE(t.said({QStringLiteral("در حال پخش")}));
         t.passes();
         EXPECT_EQ(t.spoken(), QStringList{QStringLiteral("در حال پخش")});
         // Under an open sheet the window's own say nothing; the sheet's speaks.
         root->setProperty("open", true);
         ASSERT_TRUE(waitFor([&] { return t.node(QStringLiteral("برگه"), QAccessible::Dialog) != nullptr; }));
         root->setProperty("status", QStringLiteral("متوقف"));
         root->setProperty("sheetStatus", QStringLiteral("اضافه شد"));
         EXPECT_TRUE(t.said({QStringLiteral("در حال پخش"), QStringLiteral("اضافه شد")})) << qPrintable(t.spoken().join(u'|'));
         // The node stands outside every dialog: a reader speaks the message alone.
         QAccessibleInterface *node = QAccessible::queryAccessibleInterface(t.channel());
         ASSERT_TRUE(node);
         EXPECT_FALSE(node->state().invisible);
         for (QAccessibleInterface *up = node->parent(); up; up = up->parent())
             EXPECT_NE(up->role(), QAccessible::Dialog);
     }},
};

} // namespace

TEST_P(ScreenReading, IsWhatTheListenerShouldHear)
{
    GetParam().check(*this);
}

INSTANTIATE_TEST_SUITE_P(Rows, ScreenReading, ::testing::ValuesIn(readings),
                         [](const ::testing::TestParamInfo<Reading> &info) { return std::string(info.param.name); });
