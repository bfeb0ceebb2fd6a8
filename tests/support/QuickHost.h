#pragma once

#include <QObject>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSize>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>

class QQuickItem;
class QQuickWindow;

// Loading screens of the Melodrift QML module outside the application: for the QML load test, the
// screen-kit tests and the screenshot tool.
namespace quickhost {

// Collects every warning and error Qt reports while it exists (QML warnings and errors included),
// and passes them on to the previous handler. One at a time.
class MessageTrap
{
public:
    MessageTrap();
    ~MessageTrap();
    MessageTrap(const MessageTrap &) = delete;
    MessageTrap &operator=(const MessageTrap &) = delete;

    QStringList messages() const;
    void clear();
};

// An engine set up as the application's: the Basic controls style, the application font, the
// Melodrift module imported from qrc:/.
std::unique_ptr<QQmlEngine> makeEngine();

// The first object of type T held by `item` or an item below it (a screen's model, say).
template <typename T>
T *findBelow(QQuickItem *item)
{
    if (T *found = item->findChild<T *>(QString(), Qt::FindDirectChildrenOnly))
        return found;
    for (QQuickItem *child : item->childItems())
        if (T *found = findBelow<T>(child))
            return found;
    return nullptr;
}

// The first visible item below `root` with that object name (delegates and popups included).
QQuickItem *visibleNamed(QQuickItem *root, const QString &name);
// How many items below `root` have an object name that starts with `prefix`.
int countNamedWithPrefix(QQuickItem *root, const QString &prefix);
// This process's resident memory in MiB.
double residentMegabytes();

// The URL of a file of the module, qrc:/Melodrift/<name>.qml, or of the kit's gallery,
// qrc:/MelodriftGallery/<name>.qml, for a name the module does not have.
QUrl moduleFile(const QString &name);
// The names (without ".qml") of every QML file in the module.
QStringList moduleFileNames();
// The names of the gallery's pages.
QStringList galleryFileNames();

// A screen shown in a window. A QML file whose root is a window is shown as it is; an item fills a
// MelodriftWindow of the given size; any other object (a popup) is parented to such a window.
class HostedScreen
{
public:
    HostedScreen() = default;
    ~HostedScreen();
    HostedScreen(HostedScreen &&) = default;
    HostedScreen &operator=(HostedScreen &&) = default;

    bool isValid() const { return m_window != nullptr; }
    QQuickWindow *window() const { return m_window; }
    QObject *screen() const { return m_screen; }
    QString error() const { return m_error; }

    // Loads `url` with the initial properties and shows it.
    static HostedScreen load(QQmlEngine &engine, const QUrl &url, const QVariantMap &properties = {},
                             QSize size = QSize(430, 860));
    // Same for QML text (it may `import Melodrift`).
    static HostedScreen loadText(QQmlEngine &engine, const QByteArray &qml,
                                 const QVariantMap &properties = {}, QSize size = QSize(430, 860));

private:
    static HostedScreen fromComponent(QQmlEngine &engine, class QQmlComponent &component,
                                      const QVariantMap &properties, QSize size);

    std::unique_ptr<QObject> m_host;   // the host window, when one was made
    std::unique_ptr<QObject> m_object; // the created root object
    QPointer<QQuickWindow> m_window;
    QPointer<QObject> m_screen;
    QString m_error;
};

// Spins the event loop until `condition` holds or the timeout passes; returns the condition.
bool waitFor(const std::function<bool()> &condition, int timeoutMs = 5000);
// Spins the event loop for a while (for animations to settle).
void settle(int ms);

} // namespace quickhost
