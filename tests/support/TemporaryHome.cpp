#include "TemporaryHome.h"

#include "Services/Keychain.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace testing_support {

bool useTemporaryHome(const QTemporaryDir &root)
{
    if (!root.isValid() || !QDir(root.path()).mkdir(QStringLiteral("home")))
        return false;
    qputenv("HOME", QFile::encodeName(root.filePath(QStringLiteral("home"))));
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        qunsetenv(name);
    QStandardPaths::setTestModeEnabled(true);
    Keychain::setBackend(std::make_shared<InMemoryKeychainBackend>());
    return true;
}

} // namespace testing_support
