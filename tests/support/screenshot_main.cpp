#include "Platform/LaunchArguments.h"
#include "Services/AuthStore.h"
#include "Services/Keychain.h"
#include "support/AccountRoutes.h"
#include "support/AccountState.h"
#include "support/DemoCatalogue.h"
#include "support/QuickHost.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeySequence>
#include <QTest>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QCoroTask>
#include <QTemporaryDir>
#include <gst/gst.h>

#include <cstdio>

// melodrift-screenshot: renders one screen of the QML module (or a host QML file) to a PNG file,
// with a stand-in backend in process (its demo catalogue, artwork and audio). Any QML warning makes
// it fail, like the load test.
//     melodrift-screenshot --screen KitGallery --set showSheet=true --out sheet.png
//     melodrift-screenshot --qml scene.qml --script GET:/api/songsara/playlist/piano:500 --out f.png
namespace {

// "true", "12", "\"text\"", "[1,2]" are read as JSON; anything else is a string.
QVariant parseValue(const QString &text)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson("[" + text.toUtf8() + "]", &error);
    if (error.error == QJsonParseError::NoError && doc.isArray() && doc.array().size() == 1)
        return doc.array().first().toVariant();
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    // Every shot starts from empty settings and data (the equaliser, downloads) and leaves
    // nothing behind.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    gst_init(&argc, &argv);
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("melodrift-screenshot"));
    QGuiApplication::setLayoutDirection(Qt::RightToLeft);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders a Melodrift screen to PNG"));
    parser.addHelpOption();
    const QCommandLineOption screenOption(QStringLiteral("screen"),
                                          QStringLiteral("Module file to render (e.g. KitGallery)."),
                                          QStringLiteral("name"));
    const QCommandLineOption qmlOption(QStringLiteral("qml"),
                                       QStringLiteral("A host QML file to render instead."),
                                       QStringLiteral("path"));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("PNG file to write."),
                                       QStringLiteral("path"));
    const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("Window size WxH."),
                                        QStringLiteral("size"), QStringLiteral("430x860"));
    const QCommandLineOption setOption(QStringLiteral("set"),
                                       QStringLiteral("Initial property name=value (JSON value)."),
                                       QStringLiteral("assignment"));
    const QCommandLineOption waitOption(QStringLiteral("wait"),
                                        QStringLiteral("Milliseconds to wait before the shot."),
                                        QStringLiteral("ms"), QStringLiteral("800"));
    const QCommandLineOption scriptOption(
        QStringLiteral("script"),
        QStringLiteral("A scripted backend reply \"METHOD:PATH:STATUS[:DELAY_MS]\" with an empty body."),
        QStringLiteral("reply"));
    const QCommandLineOption argsOption(
        QStringLiteral("args"),
        QStringLiteral("The application's launch arguments for the screens, comma-separated (--debug-detail,...)."),
        QStringLiteral("list"));
    const QCommandLineOption backendDownOption(QStringLiteral("backend-down"),
                                               QStringLiteral("Point the screens at a backend that is not there."));
    const QCommandLineOption signInOption(QStringLiteral("sign-in"),
                                          QStringLiteral("Sign in to the stand-in's account first (user:password)."),
                                          QStringLiteral("account"));
    const QCommandLineOption keysOption(
        QStringLiteral("keys"),
        QStringLiteral("Keys pressed after the wait, comma-separated (Tab,Shift+Tab,Delete), each given 400 ms."),
        QStringLiteral("list"));
    const QCommandLineOption noPlaylistsOption(QStringLiteral("no-playlists"),
                                               QStringLiteral("The demo account starts without playlists."));
    parser.addOptions({screenOption, qmlOption, outOption, sizeOption, setOption, waitOption, scriptOption,
                       argsOption, backendDownOption, signInOption, keysOption, noPlaylistsOption});
    parser.process(app);

    if (!parser.isSet(outOption) || parser.isSet(screenOption) == parser.isSet(qmlOption)) {
        std::fprintf(stderr, "melodrift-screenshot: give --out and one of --screen or --qml\n");
        return 2;
    }

    standin::StandInServer backend;
    if (backend.listen() == 0) {
        std::fprintf(stderr, "melodrift-screenshot: the stand-in backend cannot listen\n");
        return 1;
    }
    // Port 1 of the loopback interface: nothing listens there.
    qputenv("MELODRIFT_API_BASE_URL", parser.isSet(backendDownOption)
                                          ? QByteArray("http://127.0.0.1:1")
                                          : backend.baseUrl().toString().toUtf8());
    if (parser.isSet(argsOption))
        LaunchArguments::shared().setArguments(parser.value(argsOption).split(QLatin1Char(','), Qt::SkipEmptyParts));
    standin::installDemoCatalogue(backend);
    standin::installAudioRoutes(backend);
    // Accounts, with every Telegram code "246810" so that scenes can type it.
    standin::AccountState &accounts = standin::installAccountRoutes(backend);
    accounts.printCodes = false;
    accounts.setNextCode(QStringLiteral("246810"));
    QObject::connect(&accounts, &standin::AccountState::codeSent, &accounts,
                     [&accounts] { accounts.setNextCode(QStringLiteral("246810")); });
    if (parser.isSet(noPlaylistsOption)) {
        for (const standin::AccountUser &user : accounts.users())
            for (const standin::Playlist &playlist : accounts.playlistsOf(user.id))
                accounts.removePlaylist(playlist.id);
    }
    // A shot never reads or writes the desktop's keychain.
    Keychain::setBackend(std::make_shared<InMemoryKeychainBackend>());
    if (parser.isSet(signInOption)) {
        const QStringList account = parser.value(signInOption).split(QLatin1Char(':'));
        try {
            QCoro::waitFor(AuthStore::shared().login(account.value(0), account.value(1)));
        } catch (const std::exception &e) {
            std::fprintf(stderr, "melodrift-screenshot: cannot sign in: %s\n", e.what());
            return 1;
        }
    }
    for (const QString &script : parser.values(scriptOption)) {
        const QStringList parts = script.split(QLatin1Char(':'));
        bool statusOk = false;
        bool delayOk = true;
        standin::Reply reply;
        reply.status = parts.value(2).toInt(&statusOk);
        reply.delayMs = parts.size() > 3 ? parts.value(3).toInt(&delayOk) : 0;
        if (parts.size() < 3 || parts.size() > 4 || !statusOk || !delayOk) {
            std::fprintf(stderr, "melodrift-screenshot: bad --script %s\n", qPrintable(script));
            return 2;
        }
        backend.script(parts[0].toUtf8(), parts[1], reply);
    }

    QVariantMap properties;
    for (const QString &assignment : parser.values(setOption)) {
        const qsizetype eq = assignment.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            std::fprintf(stderr, "melodrift-screenshot: bad --set %s\n", qPrintable(assignment));
            return 2;
        }
        properties.insert(assignment.left(eq), parseValue(assignment.mid(eq + 1)));
    }
    const QStringList sizeParts = parser.value(sizeOption).split(QLatin1Char('x'));
    const QSize size = sizeParts.size() == 2 ? QSize(sizeParts[0].toInt(), sizeParts[1].toInt())
                                             : QSize(430, 860);

    quickhost::MessageTrap trap;
    auto engine = quickhost::makeEngine();
    const QUrl url = parser.isSet(screenOption)
        ? quickhost::moduleFile(parser.value(screenOption))
        : QUrl::fromLocalFile(parser.value(qmlOption));
    auto hosted = quickhost::HostedScreen::load(*engine, url, properties, size);
    if (!hosted.isValid()) {
        std::fprintf(stderr, "melodrift-screenshot: %s\n", qPrintable(hosted.error()));
        return 1;
    }
    quickhost::settle(parser.value(waitOption).toInt());
    // As the listener would press them: a focus ring shows only for focus that came from the keyboard.
    if (parser.isSet(keysOption)) {
        hosted.window()->requestActivate();
        if (!QTest::qWaitForWindowActive(hosted.window())) {
            std::fprintf(stderr, "melodrift-screenshot: the window does not take the keyboard\n");
            return 1;
        }
    }
    for (const QString &name : parser.value(keysOption).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QKeySequence sequence(name);
        if (sequence.isEmpty()) {
            std::fprintf(stderr, "melodrift-screenshot: bad key %s\n", qPrintable(name));
            return 2;
        }
        const QKeyCombination key = sequence[0];
        QTest::keyClick(hosted.window(), key.key(), key.keyboardModifiers());
        quickhost::settle(400);
    }

    const QImage image = hosted.window()->grabWindow();
    if (image.isNull() || !image.save(parser.value(outOption))) {
        std::fprintf(stderr, "melodrift-screenshot: cannot write %s\n", qPrintable(parser.value(outOption)));
        return 1;
    }
    const QStringList warnings = trap.messages();
    for (const QString &warning : warnings)
        std::fprintf(stderr, "melodrift-screenshot: warning: %s\n", qPrintable(warning));
    std::printf("%s\n", qPrintable(parser.value(outOption)));
    return warnings.isEmpty() ? 0 : 3;
}
