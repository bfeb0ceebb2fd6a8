#include "support/QuickHost.h"

#include "Kit/Theme.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMutex>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTest>
#include <QThread>

#include <unistd.h>

namespace quickhost {

namespace {

QMutex trapMutex;
QStringList *trapped = nullptr;
QtMessageHandler previousHandler = nullptr;

void trapHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg) {
        const QLatin1String category(context.category ? context.category : "");
        // Noise of the headless platform, not of our screens (nor is a machine without a sound
        // server, where a video preview is seen but not heard, nor one without a GPU, where its
        // frames are converted on the CPU: said whenever the first frame arrives in time).
        const bool platformNoise = category.startsWith(QLatin1String("qt.qpa"))
            || message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))
            || message.startsWith(QLatin1String("PulseAudioService: pa_context_connect() failed"))
            || message.contains(QLatin1String("No RHI backend. Using CPU conversion."));
        if (!platformNoise) {
            QMutexLocker lock(&trapMutex);
            if (trapped)
                trapped->append(category.isEmpty() || category == QLatin1String("default")
                                    ? message
                                    : QStringLiteral("[%1] %2").arg(category, message));
        }
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

MessageTrap::MessageTrap()
{
    QMutexLocker lock(&trapMutex);
    Q_ASSERT(!trapped);
    trapped = new QStringList;
    previousHandler = qInstallMessageHandler(trapHandler);
}

MessageTrap::~MessageTrap()
{
    qInstallMessageHandler(previousHandler);
    QMutexLocker lock(&trapMutex);
    delete trapped;
    trapped = nullptr;
}

QStringList MessageTrap::messages() const
{
    QMutexLocker lock(&trapMutex);
    return *trapped;
}

void MessageTrap::clear()
{
    QMutexLocker lock(&trapMutex);
    trapped->clear();
}

std::unique_ptr<QQmlEngine> makeEngine()
{
    // The application's controls style (chosen before the first engine loads Controls) and font.
    static const bool styled = [] {
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        QGuiApplication::setFont(Theme::body());
        return true;
    }();
    Q_UNUSED(styled);
    auto engine = std::make_unique<QQmlEngine>();
    engine->addImportPath(QStringLiteral("qrc:/"));
    return engine;
}

namespace {

QStringList qmlNamesIn(const QString &folder)
{
    QStringList names;
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.qml")}, QDir::Files, QDir::Name);
    for (const QString &file : files)
        names.append(file.chopped(4));
    return names;
}

} // namespace

QUrl moduleFile(const QString &name)
{
    const QString file = QStringLiteral("/Melodrift/%1.qml").arg(name);
    if (QFile::exists(QLatin1Char(':') + file) || !galleryFileNames().contains(name))
        return QUrl(QStringLiteral("qrc:") + file);
    return QUrl(QStringLiteral("qrc:/MelodriftGallery/%1.qml").arg(name));
}

QStringList moduleFileNames()
{
    return qmlNamesIn(QStringLiteral(":/Melodrift"));
}

QStringList galleryFileNames()
{
    return qmlNamesIn(QStringLiteral(":/MelodriftGallery"));
}

HostedScreen::~HostedScreen()
{
    // The screen goes first, then its host window.
    m_object.reset();
    m_host.reset();
}

HostedScreen HostedScreen::load(QQmlEngine &engine, const QUrl &url, const QVariantMap &properties,
                                QSize size)
{
    QQmlComponent component(&engine, url);
    return fromComponent(engine, component, properties, size);
}

HostedScreen HostedScreen::loadText(QQmlEngine &engine, const QByteArray &qml,
                                    const QVariantMap &properties, QSize size)
{
    QQmlComponent component(&engine);
    component.setData(qml, QUrl(QStringLiteral("qrc:/Melodrift/__host__.qml")));
    return fromComponent(engine, component, properties, size);
}

HostedScreen HostedScreen::fromComponent(QQmlEngine &engine, QQmlComponent &component,
                                         const QVariantMap &properties, QSize size)
{
    HostedScreen hosted;
    if (component.isError()) {
        hosted.m_error = component.errorString();
        return hosted;
    }
    QObject *object = component.createWithInitialProperties(properties);
    if (!object) {
        hosted.m_error = component.errorString();
        return hosted;
    }
    hosted.m_object.reset(object);
    hosted.m_screen = object;

    if (auto *window = qobject_cast<QQuickWindow *>(object)) {
        window->resize(size);
        hosted.m_window = window;
    } else {
        QQmlComponent hostComponent(&engine, moduleFile(QStringLiteral("MelodriftWindow")));
        QObject *host = hostComponent.create();
        auto *hostWindow = qobject_cast<QQuickWindow *>(host);
        if (!hostWindow) {
            delete host;
            hosted.m_error = hostComponent.errorString();
            hosted.m_object.reset();
            return hosted;
        }
        hosted.m_host.reset(hostWindow);
        hostWindow->resize(size);
        QQuickItem *contentItem = hostWindow->contentItem();
        if (auto *item = qobject_cast<QQuickItem *>(object)) {
            item->setParentItem(contentItem);
            item->setSize(contentItem->size());
            QObject::connect(contentItem, &QQuickItem::widthChanged, item,
                             [item, contentItem] { item->setWidth(contentItem->width()); });
            QObject::connect(contentItem, &QQuickItem::heightChanged, item,
                             [item, contentItem] { item->setHeight(contentItem->height()); });
        } else if (object->metaObject()->indexOfProperty("parent") >= 0) {
            object->setProperty("parent", QVariant::fromValue(contentItem));
        }
        hosted.m_window = hostWindow;
    }
    hosted.m_window->show();
    if (!QTest::qWaitForWindowExposed(hosted.m_window, 10000))
        hosted.m_error = QStringLiteral("the window was never exposed");
    return hosted;
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void settle(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

QQuickItem *visibleNamed(QQuickItem *root, const QString &name)
{
    if (!root)
        return nullptr;
    for (QQuickItem *child : root->childItems()) {
        if (child->objectName() == name && child->isVisible())
            return child;
        if (QQuickItem *found = visibleNamed(child, name))
            return found;
    }
    return nullptr;
}

int countNamedWithPrefix(QQuickItem *root, const QString &prefix)
{
    int count = 0;
    for (QQuickItem *child : root->childItems())
        count += (child->objectName().startsWith(prefix) ? 1 : 0) + countNamedWithPrefix(child, prefix);
    return count;
}

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

} // namespace quickhost
