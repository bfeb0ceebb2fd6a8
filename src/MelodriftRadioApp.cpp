#include "MelodriftRadioApp.h"

#include "Platform/GStreamerStart.h"
#include "Platform/LaunchArguments.h"
#include "Platform/PlatformTranslations.h"
#include "Kit/RenderBackend.h"
#include "Kit/Theme.h"
#include "Kit/WindowExposure.h"
#include "Services/AuthStore.h"
#include "Services/Equalizer.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "Services/ShazamManager.h"
#include "Services/StationStore.h"
#include "Services/StoryVideoRenderer.h"
#include "Services/ShazamIntents.h"
#include "Views/AdBannerViewModel.h"
#include "Views/AppWindowModel.h"

#include <QDateTime>
#include <QIcon>
#include <QLoggingCategory>
#include <QQuickStyle>
#include <QQuickWindow>
#include <glib-unix.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcApp, "melodrift.app")

void MelodriftRadioApp::preparePlatform(int &argc, char **argv)
{
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    RenderBackend::chooseForThisMachine();
    // The banner's web engine runs in a host process of its own, started only while a banner is
    // shown; where the host or the engine is not installed the banners stay empty.
    if (AdBannerViewModel::webEngineInstalled()) {
        // The engine's sandbox refuses to run as root (the host inherits the environment).
        if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        AdBannerViewModel::setWebEngineReady(true);
    }
    // Last: what runs before this changes the environment, which GStreamer reads as it starts.
    GStreamerStart::begin(argc, argv);
}

MelodriftRadioApp::MelodriftRadioApp(int &argc, char **argv)
    : QGuiApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("melodrift"));
    setApplicationName(QStringLiteral("melodrift-radio"));
    setApplicationDisplayName(QStringLiteral("Melodrift Radio"));
    setDesktopFileName(QStringLiteral("melodrift-radio"));
    setLayoutDirection(Qt::RightToLeft);
    setFont(Theme::body());
    // Qt's own texts (a refused connection, the controls' texts) in Persian.
    PlatformTranslations::install(*this);
}

int MelodriftRadioApp::run()
{
    GStreamerStart::finish();
    // Taken back only once GStreamer has started: it reads the environment as it does.
    RenderBackend::restoreEnvironment();
    const QStringList urls = LaunchArguments::shared().urls();

    // A shortcut: stamp the request for the application, which sees it as it becomes active
    // (this launch's own window, or the running instance brought to the front below).
    const bool intentGiven = hasIntentArgument();
    if (intentGiven) {
        const QString intent = LaunchArguments::shared().value(QStringLiteral("--intent"));
        if (!ShazamIntents::perform(intent)) {
            std::fprintf(stderr, "melodrift-radio: unknown intent \"%s\"; known: %s\n", qPrintable(intent),
                         qPrintable(ShazamIntents::names().join(QStringLiteral(", "))));
            return 2;
        }
    }

    // A second launch hands its addresses to the running instance and ends.
    if (!m_instance.claim()) {
        if (m_instance.forward(urls)) {
            qCInfo(lcApp, "handed over to the running instance");
            return 0;
        }
        std::fprintf(stderr, "melodrift-radio: another instance holds %s but does not answer\n",
                     qPrintable(m_instance.serviceName()));
        return 1;
    }

    createStores();
    // The catalogue is asked for as the window starts to be built rather than once it stands:
    // the answer comes in while the screens are made, and the first frame can show it.
    StationStore::shared()->requestLoad(false);

    // The Melodrift module's qmldir lives at qrc:/Melodrift/.
    m_engine.addImportPath(QStringLiteral("qrc:/"));
    m_engine.load(QUrl(QStringLiteral("qrc:/Melodrift/AppWindow.qml")));
    if (!window())
        return 1;
    // The icon is read from the theme once the first frame is up: reading it loads the SVG icon
    // engine, which the first frame need not wait for.
    connect(window(), &QQuickWindow::frameSwapped, this, [] {
        setWindowIcon(QIcon::fromTheme(QStringLiteral("melodrift-radio")));
    }, Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    if (qEnvironmentVariableIsSet("MELODRIFT_REPORT_FIRST_FRAME"))
        reportFirstCatalogueFrame();
    // The time is followed every half second only while it is on screen: in the full player (its
    // seek bar, its lyrics) of a window that is exposed. Elsewhere it is asked for when needed.
    WindowExposure &exposure = WindowExposure::shared();
    RadioPlayer *player = RadioPlayer::shared();
    const auto followTime = [&exposure, player] {
        player->setTimeShown(exposure.exposed() && player->isFullPlayerPresented());
    };
    connect(&exposure, &WindowExposure::exposedChanged, player, followTime);
    connect(player, &RadioPlayer::isFullPlayerPresentedChanged, player, followTime);
    followTime();

    connect(&m_instance, &SingleInstance::activated, this,
            [this](const QStringList &forwarded, const QString &activationToken) {
                qCInfo(lcApp, "another launch asks for the window (%lld addresses)",
                       qlonglong(forwarded.size()));
                raiseWindow(activationToken);
                // Being brought to the front is the application becoming active.
                becameActive();
                openURLs(forwarded);
            });
    // The launcher's action, when the desktop asks over D-Bus instead of running its Exec line.
    connect(&m_instance, &SingleInstance::actionRequested, this, [this](const QString &action) {
        if (action == QLatin1String("recognise-song") && ShazamIntents::perform(QLatin1String(ShazamAppIntent::name)))
            becameActive();
    });

    // Asked to end by the session (logout) or a terminal: quit as from the window, so that what
    // cleans up on the way out (a recording under way) does.
    for (const int signal : {SIGTERM, SIGINT})
        g_unix_signal_add(signal, [](gpointer) -> gboolean { QCoreApplication::quit(); return G_SOURCE_CONTINUE; }, nullptr);

    // The window coming up is the application becoming active for a shortcut's launch.
    if (intentGiven)
        becameActive();
    openURLs(urls);
    return exec();
}

void MelodriftRadioApp::reportFirstCatalogueFrame()
{
    // The first frame rendered after the catalogue arrived shows it. Frames are swapped on the
    // render thread, so the two sides meet through an atomic flag.
    auto catalogueIn = std::make_shared<std::atomic_bool>(false);
    auto reported = std::make_shared<std::atomic_bool>(false);
    StationStore *store = StationStore::shared();
    connect(store, &StationStore::stationsChanged, this, [catalogueIn, store] {
        if (!store->stations().isEmpty())
            catalogueIn->store(true);
    });
    QQuickWindow *w = window();
    connect(w, &QQuickWindow::frameSwapped, w, [catalogueIn, reported] {
        if (catalogueIn->load() && !reported->exchange(true)) {
            std::printf("[startup] first catalogue frame %lld\n", QDateTime::currentMSecsSinceEpoch());
            std::fflush(stdout);
        }
    }, Qt::DirectConnection);
}

void MelodriftRadioApp::createStores()
{
    // The equaliser's stored settings must reach the audio tap before anything plays.
    Equalizer::shared();
    RadioPlayer::shared();
    StationStore::shared();
    AuthStore::shared();
    // Handed to the tab view after the first three: this is where they come to life.
    OfflineStore::shared();
    ShazamManager::shared();
    // Story videos earlier sessions left in the temporary folder go now, this session's at quit.
    StoryVideoRenderer::manageTemporaryFolders();
}

QQuickWindow *MelodriftRadioApp::window() const
{
    const QList<QObject *> roots = m_engine.rootObjects();
    return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.first());
}

void MelodriftRadioApp::raiseWindow(const QString &activationToken)
{
    QQuickWindow *w = window();
    if (!w)
        return;
    // The launcher's permission to take the focus, read by the platform when activating.
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    if (w->visibility() == QWindow::Minimized || w->visibility() == QWindow::Hidden)
        w->showNormal();
    else
        w->show();
    w->raise();
    w->requestActivate();
}

bool MelodriftRadioApp::hasIntentArgument()
{
    for (const QString &argument : LaunchArguments::shared().arguments()) {
        if (argument == QLatin1String("--intent") || argument.startsWith(QLatin1String("--intent=")))
            return true;
    }
    return false;
}

void MelodriftRadioApp::becameActive()
{
    QQuickWindow *w = window();
    if (AppWindowModel *scene = w ? w->findChild<AppWindowModel *>() : nullptr)
        scene->becameActive();
    else
        ShazamManager::shared().checkPendingExternalRequest();
}

void MelodriftRadioApp::openURLs(const QStringList &urls)
{
    for (const QString &url : urls) {
        if (!AppWindowModel::openURL(url, ShazamManager::shared()))
            qCInfo(lcApp, "ignored address %s", qPrintable(url));
    }
}

QColor MelodriftRadioApp::accent()
{
    return Theme::accent();
}

QColor MelodriftRadioApp::background()
{
    return Theme::background();
}
