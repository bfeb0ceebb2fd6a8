#include "Services/Keychain.h"

#include <QGuiApplication>
#include <QStandardPaths>
#include <gst/gst.h>
#include <gtest/gtest.h>

// Every test program runs with a GUI application (offscreen), GStreamer initialised and
// QStandardPaths in test mode and an in-memory keychain, so no test touches the developer's own
// settings, downloads or keychain.
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
    QStandardPaths::setTestModeEnabled(true);
    Keychain::setBackend(std::make_shared<InMemoryKeychainBackend>());
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("melodrift-tests"));
    QGuiApplication::setApplicationName(QStringLiteral("melodrift-radio-tests"));
    return RUN_ALL_TESTS();
}
