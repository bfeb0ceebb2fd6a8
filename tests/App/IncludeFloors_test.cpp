#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The source tree is built in floors, and an include only ever points down:
//     Models  <-  Platform  <-  Services, Kit  <-  Views  <-  the application (src/ itself)
// Services and the Kit stand side by side and include neither each other. A file includes its own
// folder's headers and the floors below; the screen kit's QML names none of the screens.

namespace {

const QString SourceRoot = QStringLiteral(MELODRIFT_SOURCE_DIR "/src");

// The floor a path under src/ lives on: its first folder, or "App" for the files at the top.
QString floorOf(const QString &relativePath)
{
    const qsizetype slash = relativePath.indexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral("App") : relativePath.left(slash);
}

// What each floor may include besides itself.
bool mayInclude(const QString &from, const QString &to)
{
    static const QHash<QString, QStringList> below{
        {QStringLiteral("Models"), {}},
        {QStringLiteral("Platform"), {QStringLiteral("Models")}},
        {QStringLiteral("Services"), {QStringLiteral("Platform"), QStringLiteral("Models")}},
        {QStringLiteral("Kit"), {QStringLiteral("Platform"), QStringLiteral("Models")}},
        {QStringLiteral("Views"),
         {QStringLiteral("Kit"), QStringLiteral("Services"), QStringLiteral("Platform"), QStringLiteral("Models")}},
        {QStringLiteral("App"),
         {QStringLiteral("Views"), QStringLiteral("Kit"), QStringLiteral("Services"), QStringLiteral("Platform"),
          QStringLiteral("Models")}},
    };
    return from == to || below.value(from).contains(to);
}

// The file (relative to src/) that `#include "<included>"` in `file` names: a path from src/, or a
// bare name in the file's own folder or in a folder the screens' library puts on the include path.
// Empty for a name the tree does not hold (generated files).
QString resolve(const QString &file, const QString &included, const QString &root)
{
    const QString folder = QFileInfo(file).path();
    QStringList candidates{included};
    if (!included.contains(QLatin1Char('/')))
        candidates = {folder + QLatin1Char('/') + included, QStringLiteral("Views/") + included,
                      QStringLiteral("Kit/") + included};
    for (const QString &candidate : candidates)
        if (QFileInfo::exists(root + QLatin1Char('/') + candidate))
            return QDir::cleanPath(candidate);
    return {};
}

// Every include in the tree under `root` that runs up a floor, as "file: included".
QStringList upwardIncludes(const QString &root)
{
    static const QRegularExpression includeLine(QStringLiteral(R"re(^\s*#\s*include\s+"([^"]+)")re"),
                                                QRegularExpression::MultilineOption);
    QStringList found;
    QDirIterator it(root, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString file = QDir(root).relativeFilePath(path);
        QFile source(path);
        if (!source.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(source.readAll());
        for (auto match = includeLine.globalMatch(text); match.hasNext();) {
            const QString included = match.next().captured(1);
            const QString target = resolve(file, included, root);
            if (!target.isEmpty() && !mayInclude(floorOf(file), floorOf(target)))
                found << file + QStringLiteral(": ") + included;
        }
    }
    return found;
}

} // namespace

TEST(IncludeFloors, AFloorIncludesItselfAndWhatIsBelow)
{
    struct Case
    {
        const char *from;
        const char *to;
        bool allowed;
    };
    const Case cases[] = {
        {"Models", "Models", true},        {"Models", "Platform", false},   {"Platform", "Models", true},
        {"Platform", "Services", false},   {"Platform", "Kit", false},      {"Services", "Platform", true},
        {"Services", "Kit", false},        {"Kit", "Services", false},      {"Kit", "Platform", true},
        {"Kit", "Views", false},           {"Views", "Kit", true},          {"Views", "Services", true},
        {"Views", "App", false},           {"App", "Views", true},          {"Services", "Views", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(mayInclude(QLatin1String(c.from), QLatin1String(c.to)), c.allowed) << c.from << " -> " << c.to;
}

TEST(IncludeFloors, BareNamesResolveToTheFolderThatHoldsThem)
{
    struct Case
    {
        const char *file;
        const char *included;
        const char *resolved;
    };
    const Case cases[] = {
        {"Views/HomeViewModel.cpp", "HomeViewModel.h", "Views/HomeViewModel.h"},
        {"Views/HomeViewModel.h", "Kit/KeyedRows.h", "Kit/KeyedRows.h"},
        {"Services/RadioPlayer.cpp", "AccessibleItems.h", "Kit/AccessibleItems.h"},
        {"Platform/WebBanner/Host/main.cpp", "BannerHost.h", "Platform/WebBanner/Host/BannerHost.h"},
        {"Platform/SingleInstance.cpp", "SingleInstance.moc", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(resolve(QLatin1String(c.file), QLatin1String(c.included), SourceRoot), QLatin1String(c.resolved))
            << c.file << " includes " << c.included;
}

TEST(IncludeFloors, AnIncludeThatRunsUpIsReported)
{
    QTemporaryDir tree;
    ASSERT_TRUE(tree.isValid());
    const auto write = [&](const QString &file, const QByteArray &text) {
        QDir().mkpath(QFileInfo(tree.filePath(file)).path());
        QFile out(tree.filePath(file));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(text), text.size());
    };
    write(QStringLiteral("Models/Station.h"), "#pragma once\n");
    write(QStringLiteral("Services/Store.h"), "#include \"Models/Station.h\"\n");
    write(QStringLiteral("Kit/List.h"), "#include \"Services/Store.h\"\n#include \"Models/Station.h\"\n");
    write(QStringLiteral("Platform/Sink.cpp"), "#include <QObject>\n  #  include \"List.h\"\n");
    QStringList upward = upwardIncludes(tree.path());
    upward.sort();
    EXPECT_EQ(upward, (QStringList{QStringLiteral("Kit/List.h: Services/Store.h"), QStringLiteral("Platform/Sink.cpp: List.h")}));
}

TEST(IncludeFloors, NoIncludeOfTheSourceTreeRunsUp)
{
    ASSERT_TRUE(QFileInfo::exists(SourceRoot + QStringLiteral("/Kit/KeyedRows.h")));
    const QStringList upward = upwardIncludes(SourceRoot);
    EXPECT_TRUE(upward.isEmpty()) << "includes that run up a floor:\n" << qPrintable(upward.join(QLatin1Char('\n')));
}

TEST(IncludeFloors, TheKitsQmlNamesNoScreen)
{
    // A screen's type is its file's name in Views, and the stores are the singletons Views publishes.
    QStringList screenTypes{QStringLiteral("RadioPlayer"), QStringLiteral("StationStore"), QStringLiteral("AuthStore"),
                            QStringLiteral("OfflineStore"), QStringLiteral("ShazamManager")};
    for (const QString &qml : QDir(SourceRoot + QStringLiteral("/Views")).entryList({QStringLiteral("*.qml")}))
        screenTypes << qml.chopped(4);
    ASSERT_GT(screenTypes.size(), 20);
    const QRegularExpression uses(QStringLiteral(R"(\b(%1)\s*[{.])").arg(screenTypes.join(QLatin1Char('|'))));
    static const QRegularExpression comment(QStringLiteral(R"(//[^\n]*)"));

    QStringList found;
    int read = 0;
    for (const QString &qml : QDir(SourceRoot + QStringLiteral("/Kit")).entryList({QStringLiteral("*.qml")})) {
        QFile file(SourceRoot + QStringLiteral("/Kit/") + qml);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(qml);
        ++read;
        const QString text = QString::fromUtf8(file.readAll()).remove(comment);
        for (auto match = uses.globalMatch(text); match.hasNext();)
            found << qml + QStringLiteral(": ") + match.next().captured(1);
    }
    EXPECT_GT(read, 20);
    EXPECT_TRUE(found.isEmpty()) << qPrintable(found.join(QLatin1Char('\n')));
}
