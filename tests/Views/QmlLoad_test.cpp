#include "support/AccessibleTree.h"
#include "support/QuickHost.h"
#include "support/StandInServer.h"

#include <QFile>
#include <QFileInfo>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
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

// Every text item (Text, a Label, a control's own text) below `root`. A text field's placeholder
// is left out: it only ever shows a label the screen wrote.
QList<QQuickItem *> textsBelow(QQuickItem *root)
{
    QList<QQuickItem *> found;
    for (QQuickItem *child : root->childItems()) {
        if (child->inherits("QQuickText") && !child->inherits("QQuickPlaceholderText"))
            found.append(child);
        found += textsBelow(child);
    }
    return found;
}

// The element blocks `Text { ... }` and `Label { ... }` of a QML source, each from its opening
// brace to its closing one.
QStringList textElements(const QString &source)
{
    static const QRegularExpression opening(QStringLiteral(R"((?<![\w.])(Text|Label)\s*\{)"));
    QStringList blocks;
    for (auto match = opening.globalMatch(source); match.hasNext();) {
        const auto found = match.next();
        qsizetype at = found.capturedEnd() - 1;
        int depth = 0;
        const qsizetype start = at;
        for (; at < source.size(); ++at) {
            depth += source[at] == QLatin1Char('{') ? 1 : source[at] == QLatin1Char('}') ? -1 : 0;
            if (depth == 0)
                break;
        }
        // Only the element's own lines: what its children declare is theirs.
        QString own = source.mid(start + 1, at - start - 1);
        static const QRegularExpression nested(QStringLiteral(R"(\{[^{}]*\})"));
        while (own.contains(nested))
            own.remove(nested);
        blocks.append(found.captured(1) + QStringLiteral(" {") + own + QLatin1Char('}'));
    }
    return blocks;
}

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
        // Nothing shown is read as markup: rich text would draw a server's tags and fetch its images.
        for (QQuickItem *text : textsBelow(hosted.window()->contentItem()))
            EXPECT_EQ(text->property("textFormat").toInt(), int(Qt::PlainText))
                << text->metaObject()->className() << " \"" << qPrintable(text->property("text").toString()) << '"';
        // (The kit's review pages show samples and symbol names, not data.)
        const bool review = name == QLatin1String("KitGallery") || name == QLatin1String("KitSymbolGrid");
        const QStringList unexposed = review ? QStringList() : accessibletree::unexposedTexts(hosted.window());
        EXPECT_TRUE(unexposed.isEmpty()) << "shown but not exposed: " << qPrintable(unexposed.join(QLatin1Char('|')));
    }
    const QStringList messages = trap.messages();
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(QLatin1Char('\n')));
}

INSTANTIATE_TEST_SUITE_P(Module, QmlLoad, ::testing::ValuesIn(moduleFileNames() + galleryFileNames()),
                         [](const ::testing::TestParamInfo<QString> &info) {
                             return info.param.toStdString();
                         });

// Also the texts of delegates no screen above had data for: every text element of every QML file
// of the module declares plain text, whatever it shows.
TEST(QmlModule, EveryTextElementIsPlainText)
{
    static const QRegularExpression comment(QStringLiteral(R"(^\s*//.*$)"), QRegularExpression::MultilineOption);
    int checked = 0;
    for (const QString &name : moduleFileNames() + galleryFileNames()) {
        QFile file(QLatin1Char(':') + moduleFile(name).path());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(name);
        const QString source = QString::fromUtf8(file.readAll()).remove(comment);
        for (const QString &element : textElements(source)) {
            ++checked;
            EXPECT_TRUE(element.contains(QStringLiteral("textFormat: Text.PlainText")))
                << qPrintable(name) << ": " << qPrintable(element.left(200));
        }
    }
    EXPECT_GT(checked, 40);
}

TEST(QmlModule, HoldsTheKit)
{
    // Guards the data-driven test above against an empty module listing.
    const QStringList names = moduleFileNames();
    for (const char *file : {"AppWindow", "MelodriftWindow", "NavigationStack", "Sheet", "SymbolImage"})
        EXPECT_TRUE(names.contains(QLatin1String(file))) << file;
    EXPECT_TRUE(galleryFileNames().contains(QLatin1String("KitGallery")));
}
