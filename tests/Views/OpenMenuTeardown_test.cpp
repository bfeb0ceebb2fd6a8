#include "AccessibleTree.h"
#include "QmlWindowFixture.h"
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

// Each range menu open on its lines while the sheet under it closes, or while the whole scene
// goes as at quit: nothing is left of the menu, and the screen reader read every event on the way.
TEST_F(OpenMenuTeardown, StoryLineMenus)
{
    const StoryCase cases[] = {
        {"start menu, sheet closes", "startMenu", Teardown::SheetCloses},
        {"end menu, sheet closes", "endMenu", Teardown::SheetCloses},
        {"start menu, scene destroyed", "startMenu", Teardown::SceneDestroyed},
        {"end menu, scene destroyed", "endMenu", Teardown::SceneDestroyed},
    };
    for (const StoryCase &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(showStorySheet());
        ASSERT_TRUE(openLineMenu(QString::fromLatin1(c.menu)));
        const int before = ListeningScreenReader::events();
        switch (c.teardown) {
        case Teardown::SheetCloses:
            hosted.screen()->setProperty("show", false);
            ASSERT_TRUE(waitFor([&] { return !item(u"storyView"_s); }));
            settle(50);
            EXPECT_EQ(countNamed(u"lineItem"_s), 0);
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
