#include "support/AccessibleTree.h"
#include "support/QmlWindowFixture.h"
#include "Services/APIClient.h"
#include "StoryViewModel.h"
#include "support/StandInServer.h"

#include <QAccessibleTextInterface>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <functional>

// Menus and sheets holding lists of items, taken down while open by whatever goes first: the sheet
// they stand on, the screen or tab that holds them, the whole scene as the application quits. A
// screen reader listens to every event meanwhile and reads each source, as one on the bus does.

using namespace quickhost;
using namespace Qt::StringLiterals;

namespace {

// Qt's accessibility, active as with a client on the bus, answering every event the way a screen
// reader's bridge does: the source's name, role, states, children, parent and text.
class ListeningScreenReader
{
public:
    ListeningScreenReader()
        : m_previous(QAccessible::installUpdateHandler(&ListeningScreenReader::read)),
          m_wasActive(QAccessible::isActive())
    {
        s_events = 0;
        setActive(true);
    }
    ~ListeningScreenReader()
    {
        setActive(m_wasActive);
        QAccessible::installUpdateHandler(m_previous);
    }
    ListeningScreenReader(const ListeningScreenReader &) = delete;
    ListeningScreenReader &operator=(const ListeningScreenReader &) = delete;

    static int events() { return s_events; }

private:
    // As a bridge with a client does: QAccessible::setActive() alone only tells the items.
    static void setActive(bool active)
    {
        if (QPlatformAccessibility *platform = QGuiApplicationPrivate::platformIntegration()->accessibility())
            platform->setActive(active);
        else
            QAccessible::setActive(active);
    }
    static void read(QAccessibleEvent *event)
    {
        ++s_events;
        QAccessibleInterface *source = event->accessibleInterface();
        if (!source || !source->isValid())
            return;
        (void)source->text(QAccessible::Name);
        (void)source->role();
        (void)source->state();
        (void)source->childCount();
        if (QAccessibleInterface *parent = source->parent())
            (void)parent->text(QAccessible::Name);
        if (QAccessibleTextInterface *text = source->textInterface())
            (void)text->text(0, std::min(text->characterCount(), 60));
    }

    static inline int s_events = 0;
    QAccessible::UpdateHandler m_previous;
    bool m_wasActive;
};

QJsonObject lyricsOf(int count)
{
    QJsonArray lines;
    for (int i = 0; i < count; ++i)
        lines.append(QJsonObject{{u"time"_s, i * 2.5}, {u"text"_s, u"line %1 of the song"_s.arg(i + 1)}});
    return QJsonObject{{u"data"_s, QJsonObject{{u"found"_s, true}, {u"lines"_s, lines}}}};
}

class OpenMenuTeardown : public QmlWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        server.script("GET", u"/api/lyrics"_s,
                      standin::Reply::json(QJsonDocument(lyricsOf(40)).toJson(QJsonDocument::Compact)));
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        APIClient::shared().setBaseURL(previousBase);
    }

public:
    using QmlWindowFixture::hosted;

    QQuickItem *item(const QString &name) const
    {
        return hosted.isValid() ? itemNamed(hosted.window()->contentItem(), name) : nullptr;
    }
    int countNamed(const QString &name) const
    {
        return hosted.isValid() ? countNamedWithPrefix(hosted.window()->contentItem(), name) : 0;
    }
    void key(Qt::Key k) { QTest::keyClick(hosted.window(), k); }

    // The story sheet, shown, on its line picker.
    bool showStorySheet()
    {
        QObject *root = loadQml(
            "Item { id: root; property bool show: false; property var station: null\n"
            "  Sheet { objectName: \"storySheet\"; presenter: root; flag: \"show\"\n"
            "    StoryView { objectName: \"storyView\"; station: root.station } } }");
        if (!root)
            return false;
        Station station;
        station.genre = u"pop"_s;
        station.title = u"Night Song"_s;
        station.artist = u"Aria Sky"_s;
        root->setProperty("station", station.toVariant());
        root->setProperty("show", true);
        if (!waitFor([&] { return item(u"storyView"_s) != nullptr; }))
            return false;
        auto *model = item(u"storyView"_s)->property("storyModel").value<StoryViewModel *>();
        return model && waitFor([&] { return model->content() == StoryViewModel::Content::Picker; }, 20000);
    }
    // Opens a range menu from the keyboard; true once its items are in place.
    bool openLineMenu(const QString &name)
    {
        QQuickItem *button = item(name);
        if (!button)
            return false;
        button->forceActiveFocus(Qt::TabFocusReason);
        key(Qt::Key_Return);
        return waitFor([&] { return button->property("menuOpen").toBool() && countNamed(u"lineItem"_s) > 3; });
    }

    ListeningScreenReader reader;
    standin::StandInServer server;
    QUrl previousBase;
};

// What takes the open menu down.
enum class Teardown { SheetCloses, SceneDestroyed };

struct StoryCase {
    const char *name;
    const char *menu;
    Teardown teardown;
};

} // namespace

// Each range menu open on its lines, and the share sheet, while the story sheet under it closes or
// the whole scene goes as at quit. While one is open, the story sheet under it neither reads as
// showing nor takes a press; afterwards nothing is left of it, and the screen reader read every
// event on the way.
TEST_F(OpenMenuTeardown, StoryMenusAndShareSheet)
{
    const StoryCase cases[] = {
        {"start menu, sheet closes", "startMenu", Teardown::SheetCloses},
        {"end menu, sheet closes", "endMenu", Teardown::SheetCloses},
        {"share sheet, sheet closes", "shareSheet", Teardown::SheetCloses},
        {"start menu, scene destroyed", "startMenu", Teardown::SceneDestroyed},
        {"end menu, scene destroyed", "endMenu", Teardown::SceneDestroyed},
        {"share sheet, scene destroyed", "shareSheet", Teardown::SceneDestroyed},
    };
    for (const StoryCase &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(showStorySheet());
        const QString menu = QString::fromLatin1(c.menu);
        if (menu == u"shareSheet"_s) {
            QObject *share = item(u"storyView"_s)->findChild<QObject *>(menu);
            ASSERT_TRUE(share);
            QMetaObject::invokeMethod(share, "open");
            ASSERT_TRUE(waitFor([&] { return accessibletree::shownNode(hosted.window(), u"کپی فایل"_s); }));
        } else {
            ASSERT_TRUE(openLineMenu(menu));
        }
        // Under it, the sheet's close button is out of reach.
        QAccessibleInterface *close = QAccessible::queryAccessibleInterface(item(u"closeButton"_s));
        ASSERT_TRUE(close);
        EXPECT_TRUE(close->state().invisible);
        EXPECT_FALSE(accessibletree::shownNode(hosted.window(), u"بستن"_s));
        EXPECT_FALSE(accessibletree::press(close));
        settle(50);
        EXPECT_TRUE(hosted.screen()->property("show").toBool());

        const int before = ListeningScreenReader::events();
        switch (c.teardown) {
        case Teardown::SheetCloses:
            hosted.screen()->setProperty("show", false);
            ASSERT_TRUE(waitFor([&] { return !item(u"storyView"_s); }));
            settle(50);
            EXPECT_EQ(countNamed(u"lineItem"_s), 0);
            EXPECT_TRUE(accessibletree::shownNames(hosted.window(), QAccessible::MenuItem).isEmpty());
            EXPECT_FALSE(accessibletree::shownNode(hosted.window(), u"کپی فایل"_s));
            break;
        case Teardown::SceneDestroyed:
            hosted = HostedScreen();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            break;
        }
        EXPECT_GT(ListeningScreenReader::events(), before);
        hosted = HostedScreen();
    }
}

namespace {

// A kit scene with two tabs (a StackLayout, as the window has): on the first, in a Loader that
// stands for the screen holding it, the menu or sheet of the case. `open` opens it from the
// keyboard and answers whether its items are in place.
struct KitCase {
    const char *name;
    QByteArray holder; // the first tab's screen
    std::function<bool(OpenMenuTeardown &)> open;
};

enum class KitTeardown { HolderGoes, TabSwitches, SceneDestroyed };

} // namespace

// The kit's menus and a sheet of rows, each taken down while open: by the screen holding it going
// away, by its tab being switched, by the whole scene going at quit. A menu is closed with what
// held it: nothing of it stays open over the other tab.
TEST_F(OpenMenuTeardown, KitMenusAndSheets)
{
    const QByteArray rowMenu =
        "LazyListView { anchors.fill: parent; model: 20\n"
        "  delegate: FocusScope { required property int index; width: 300; height: 44\n"
        "    PlainButton { objectName: \"row\" + index; anchors.fill: parent; text: \"row \" + index\n"
        "      ContextMenu { objectName: \"rowMenu\"\n"
        "        entries: () => [{ text: \"one\", action: () => {} }, { text: \"two\", action: () => {} }] } } } }";
    const QByteArray pullDown =
        "PullDownMenu { objectName: \"presetMenu\"; width: 200; height: 40; items: [\"a\", \"b\", \"c\", \"d\"]\n"
        "  currentIndex: 1; contentItem: Text { text: \"preset\" } }";
    const QByteArray rowsSheet =
        "Item { id: screen; property bool show: false\n"
        "  Sheet { presenter: screen; flag: \"show\"\n"
        "    LazyListView { objectName: \"sheetRows\"; model: 40\n"
        "      delegate: FocusScope { required property int index; width: 300; height: 44\n"
        "        PlainButton { objectName: \"sheetRow\"; anchors.fill: parent; text: \"playlist \" + index } } } } }";
    const auto menuItemsShown = [](OpenMenuTeardown &t) {
        return waitFor([&] { return !accessibletree::shownNames(t.hosted.window(), QAccessible::MenuItem).isEmpty(); });
    };
    const KitCase cases[] = {
        {"row menu", rowMenu,
         [&](OpenMenuTeardown &t) {
             QQuickItem *row = t.item(u"row3"_s);
             if (!row)
                 return false;
             row->forceActiveFocus(Qt::TabFocusReason);
             QQuickItem *menu = itemNamed(row, u"rowMenu"_s);
             return menu && QMetaObject::invokeMethod(menu, "openAt", Q_ARG(QVariant, 10), Q_ARG(QVariant, 10),
                                                      Q_ARG(QVariant, true))
                    && menuItemsShown(t);
         }},
        {"pull-down menu", pullDown,
         [&](OpenMenuTeardown &t) {
             QQuickItem *button = t.item(u"presetMenu"_s);
             if (!button)
                 return false;
             button->forceActiveFocus(Qt::TabFocusReason);
             t.key(Qt::Key_Return);
             return menuItemsShown(t);
         }},
        {"sheet of rows", rowsSheet,
         [&](OpenMenuTeardown &t) {
             QQuickItem *screen = t.item(u"holder"_s);
             if (!screen || !screen->childItems().value(0))
                 return false;
             screen->childItems().value(0)->setProperty("show", true);
             return waitFor([&] { return t.countNamed(u"sheetRow"_s) > 3; });
         }},
    };
    for (const KitCase &c : cases) {
        for (const KitTeardown teardown : {KitTeardown::HolderGoes, KitTeardown::TabSwitches, KitTeardown::SceneDestroyed}) {
            SCOPED_TRACE(std::string(c.name) + (teardown == KitTeardown::HolderGoes    ? ": its screen goes"
                                                : teardown == KitTeardown::TabSwitches ? ": the tab switches"
                                                                                       : ": the scene goes"));
            QObject *root = loadQml("import QtQuick.Layouts\nItem { id: root; property int tab: 0; property bool held: true\n"
                                    "  StackLayout { anchors.fill: parent; currentIndex: root.tab\n"
                                    "    Loader { objectName: \"holder\"; active: root.held\n"
                                    "      sourceComponent: " + c.holder + " }\n"
                                    "    Item { objectName: \"otherTab\" } } }");
            ASSERT_TRUE(root);
            ASSERT_TRUE(c.open(*this));
            const int before = ListeningScreenReader::events();
            switch (teardown) {
            case KitTeardown::HolderGoes:
                root->setProperty("held", false);
                settle(50);
                break;
            case KitTeardown::TabSwitches:
                root->setProperty("tab", 1);
                // Nothing of the first tab's menu is left over the second.
                EXPECT_TRUE(waitFor([&] {
                    return accessibletree::shownNames(hosted.window(), QAccessible::MenuItem).isEmpty()
                           && accessibletree::shownNames(hosted.window(), QAccessible::PopupMenu).isEmpty();
                }));
                settle(50);
                break;
            case KitTeardown::SceneDestroyed:
                hosted = HostedScreen();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                break;
            }
            EXPECT_GT(ListeningScreenReader::events(), before);
            hosted = HostedScreen();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
}
