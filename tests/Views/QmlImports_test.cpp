#include "support/QuickHost.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QQuickWindow>
#include <QQmlComponent>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

// Every module a QML file of the application imports is installed on this machine: a Debian
// package that setup forgot shows here, named, rather than as a screen that does not load.

using namespace quickhost;
using namespace Qt::StringLiterals;

namespace {

// The modules (`import X`, `import X 2.15`, `import X as Y`) the QML files under `folders` name;
// imports of folders and files (quoted) are left out.
QStringList importedModules(const QStringList &folders)
{
    static const QRegularExpression importLine(uR"(^\s*import\s+([A-Za-z_][\w.]*)\b)"_s,
                                               QRegularExpression::MultilineOption);
    QSet<QString> modules;
    for (const QString &folder : folders) {
        QDirIterator it(folder, {u"*.qml"_s}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(file.readAll());
            for (auto match = importLine.globalMatch(text); match.hasNext();)
                modules.insert(match.next().captured(1));
        }
    }
    QStringList sorted(modules.begin(), modules.end());
    sorted.sort();
    return sorted;
}

// Modules that can only be loaded before the application object exists (the web engine, which
// its own process hosts): for these the module's qmldir on the engine's import path is enough.
const QStringList LoadedByTheirOwnProcess{u"QtWebEngine"_s};

bool hasQmldir(const QQmlEngine &engine, const QString &module)
{
    const QString relative = QString(module).replace(u'.', u'/') + u"/qmldir"_s;
    for (const QString &path : engine.importPathList())
        if (QFileInfo::exists(path + u'/' + relative))
            return true;
    return false;
}

// The modules of `modules` that the engine cannot import, each with the engine's reason.
QStringList unresolved(QQmlEngine &engine, const QStringList &modules)
{
    QStringList missing;
    for (const QString &module : modules) {
        if (LoadedByTheirOwnProcess.contains(module)) {
            if (!hasQmldir(engine, module))
                missing << module + u": no qmldir on the import path"_s;
            continue;
        }
        QQmlComponent component(&engine);
        component.setData(u"import QtQml\nimport %1\nQtObject {}\n"_s.arg(module).toUtf8(),
                          QUrl(u"file:///imports/%1.qml"_s.arg(module)));
        if (component.isError())
            missing << module + u": "_s + component.errorString().trimmed();
    }
    return missing;
}

} // namespace

TEST(QmlImports, EveryModuleTheScreensImportIsInstalled)
{
    const QString source = QStringLiteral(MELODRIFT_SOURCE_DIR);
    const QStringList modules = importedModules({source + u"/src"_s, source + u"/tests/screens"_s, source + u"/tests/Kit"_s});
    // The scan itself works: the application's own module and the basic ones are among them.
    for (const char *expected : {"Melodrift", "QtQuick", "QtQuick.Controls", "QtMultimedia"})
        EXPECT_TRUE(modules.contains(QLatin1String(expected))) << expected << " not found by the scan";

    MessageTrap trap;
    auto engine = makeEngine();
    const QStringList missing = unresolved(*engine, modules);
    EXPECT_TRUE(missing.isEmpty()) << "not installed:\n" << qPrintable(missing.join(u'\n'));

    // And the check does report a module that is not there, by name.
    const QStringList absent = unresolved(*engine, {u"QtQuick"_s, u"Qt.labs.nosuchmodule"_s});
    ASSERT_EQ(absent.size(), 1);
    EXPECT_TRUE(absent[0].startsWith(u"Qt.labs.nosuchmodule: "_s)) << qPrintable(absent[0]);
}
