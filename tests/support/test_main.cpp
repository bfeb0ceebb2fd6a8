#include "Platform/AudioRecorder.h"
#include "Platform/GStreamerStart.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <gst/gst.h>
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// Leak reports are off in sanitizer builds, also when ctest lists the tests at build time: the GUI,
// font and media libraries keep caches for the life of the process.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}
#endif

// Every test program runs with a GUI application (offscreen), GStreamer initialised,
// QStandardPaths in test mode, an in-memory keychain, and a home and a temporary folder of its own,
// so no test touches the developer's own settings, downloads, Videos folder or keychain.
int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Headless defaults, so a test program run by hand behaves as it does under ctest.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("GST_PLUGIN_FEATURE_RANK"))
        qputenv("GST_PLUGIN_FEATURE_RANK", "fakeaudiosink:MAX");
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "qt.qpa.*=false");
    gst_init(&argc, &argv);
    // Playback tests decode with the decoders the application picks.
    GStreamerStart::preferLeanDecoders(qgetenv("GST_PLUGIN_FEATURE_RANK").constData());
    // Test mode moves the configuration, data and cache folders under ~/.qttest but leaves the
    // user folders (Videos, Music, …) at home; a home of the program's own covers both. Its own
    // temporary folder keeps programs that run side by side (ctest -j) from meeting in files
    // named by the clock, like a recognition's recording. GStreamer has already found its plugin
    // registry under the real home.
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/melodrift-test-XXXXXX"));
    if (!testing_support::useTemporaryHome(root)) {
        std::fprintf(stderr, "no temporary folder for the test run: %s\n", qPrintable(root.errorString()));
        return 1;
    }
    qputenv("TMPDIR", QFile::encodeName(root.path()));
#ifdef MELODRIFT_RECORDER
    // Recordings run in the recording process of the build tree.
    AudioRecorder::setHelperProgramForTesting(QStringLiteral(MELODRIFT_RECORDER));
#endif
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("melodrift-tests"));
    QGuiApplication::setApplicationName(QStringLiteral("melodrift-radio-tests"));
    return RUN_ALL_TESTS();
}
