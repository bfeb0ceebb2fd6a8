#include "AccessibleTree.h"
#include "support/QuickHost.h"
#include "support/StandInServer.h"

#include <QFileInfo>
#include <QQuickWindow>
#include <gtest/gtest.h>

// Every QML file of the Melodrift module loads in a window offscreen, with the stores and the
// stand-in backend, draws a frame and goes away again without a single QML warning or error.
// The files are read from the module itself, so a new screen is covered as soon as it exists.
// A screen that needs a parent context or required properties gets a host: a QML file
// tests/Views/hosts/<Name>Host.qml that builds it (it may `import Melodrift`). Every text it
// shows that carries data is exposed to assistive technology.

using namespace quickhost;

// Lets gtest print a QString parameter readably.
void PrintTo(const QString &text, std::ostream *os)
{
    *os << text.toStdString();
}

namespace {

QString hostFile(const QString &name)
{
    return QStringLiteral(MELODRIFT_SOURCE_DIR "/tests/Views/hosts/%1Host.qml").arg(name);
}

class QmlLoad : public ::testing::TestWithParam<QString>
{
protected:
    static void SetUpTestSuite()
    {
        backend = new standin::StandInServer;
        ASSERT_NE(backend->listen(), 0);
        qputenv("MELODRIFT_API_BASE_URL", backend->baseUrl().toString().toUtf8());
    }
    static void TearDownTestSuite()
    {
        delete backend;
        backend = nullptr;
    }
    static standin::StandInServer *backend;
};

standin::StandInServer *QmlLoad::backend = nullptr;

} // namespace

TEST_P(QmlLoad, LoadsAndDrawsWithoutWarnings)
{
    const QString name = GetParam();
    MessageTrap trap;
    accessibletree::Session accessibility;
    {
        auto engine = makeEngine();
        const QUrl url = QFileInfo::exists(hostFile(name)) ? QUrl::fromLocalFile(hostFile(name))
                                                           : moduleFile(name);
        HostedScreen hosted = HostedScreen::load(*engine, url);
        ASSERT_TRUE(hosted.isValid()) << qPrintable(hosted.error());
        settle(150);
        const QImage frame = hosted.window()->grabWindow();
        EXPECT_FALSE(frame.isNull());
        settle(50);
        // (The kit's review pages show samples and symbol names, not data.)
        const bool review = name == QLatin1String("KitGallery") || name == QLatin1String("KitSymbolGrid");
        const QStringList unexposed = review ? QStringList() : accessibletree::unexposedTexts(hosted.window());
        EXPECT_TRUE(unexposed.isEmpty()) << "shown but not exposed: " << qPrintable(unexposed.join(QLatin1Char('|')));
    }
    const QStringList messages = trap.messages();
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(QLatin1Char('\n')));
}

INSTANTIATE_TEST_SUITE_P(Module, QmlLoad, ::testing::ValuesIn(moduleFileNames()),
                         [](const ::testing::TestParamInfo<QString> &info) {
                             return info.param.toStdString();
                         });

TEST(QmlModule, HoldsTheKit)
{
    // Guards the data-driven test above against an empty module listing.
    const QStringList names = moduleFileNames();
    for (const char *file : {"AppWindow", "MelodriftWindow", "NavigationStack", "Sheet", "SymbolImage"})
        EXPECT_TRUE(names.contains(QLatin1String(file))) << file;
}
