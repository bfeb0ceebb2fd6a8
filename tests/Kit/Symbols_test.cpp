#include "Kit/Symbols.h"

#include <QDirIterator>
#include <QFile>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

// Symbol names reach SymbolImage from the QML files: as a lower-case word on a line that sets a
// property whose name contains "symbol" (symbol: "trash", symbol: playing ? "pause.fill" :
// "play.fill"), or as any string that looks like a dotted symbol name. Every such name must be in
// the table. (Keep symbol names in QML: a name a screen model hands over is only checked when
// drawn, by the warning SymbolImage gives, which fails the load test.)

namespace {

struct NameUse {
    QString name;
    QString where;
};

QList<NameUse> symbolNamesUsedInQml()
{
    static const QRegularExpression symbolLine(QStringLiteral(R"((?i)\w*symbol\w*\s*:)"));
    static const QRegularExpression literal(QStringLiteral(R"re("([^"\\]*)")re"));
    static const QRegularExpression dotted(QStringLiteral(R"(^[a-z][a-z0-9]*(\.[a-z0-9]+)+$)"));
    static const QRegularExpression word(QStringLiteral(R"(^[a-z][a-z0-9]*(\.[a-z0-9]+)*$)"));
    QList<NameUse> uses;
    QDirIterator it(QStringLiteral(MELODRIFT_SOURCE_DIR "/src"), {QStringLiteral("*.qml")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        int lineNumber = 0;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine());
            ++lineNumber;
            const QString code = line.trimmed().startsWith(QLatin1String("//")) ? QString() : line;
            const bool onSymbolProperty = symbolLine.match(code).hasMatch();
            auto matches = literal.globalMatch(code);
            while (matches.hasNext()) {
                const QString text = matches.next().captured(1);
                if (text.isEmpty())
                    continue;
                if ((onSymbolProperty && word.match(text).hasMatch()) || dotted.match(text).hasMatch())
                    uses.append({text, QStringLiteral("%1:%2").arg(path).arg(lineNumber)});
            }
        }
    }
    return uses;
}

} // namespace

TEST(Symbols, EveryNameUsedInQmlIsInTheTable)
{
    const QList<NameUse> uses = symbolNamesUsedInQml();
    ASSERT_FALSE(uses.isEmpty());
    for (const NameUse &use : uses)
        EXPECT_TRUE(Symbols::contains(use.name))
            << "symbol \"" << use.name.toStdString() << "\" used at " << use.where.toStdString()
            << " is missing from the table in Symbols.cpp";
}

TEST(Symbols, EveryGlyphIsInTheInstalledIconFont)
{
    QRawFont font(Symbols::fontPath(), 24);
    ASSERT_TRUE(font.isValid()) << Symbols::fontPath().toStdString();
    for (auto it = Symbols::table().cbegin(); it != Symbols::table().cend(); ++it)
        EXPECT_TRUE(font.supportsCharacter(QChar(it.value())))
            << it.key().toStdString() << " -> U+" << std::hex << int(it.value());
}

TEST(Symbols, GlyphOfAKnownAndAnUnknownName)
{
    Symbols symbols;
    EXPECT_EQ(symbols.glyph(QStringLiteral("play.fill")), QString(QChar(0xe037)));
    EXPECT_TRUE(symbols.glyph(QString()).isEmpty());
    EXPECT_TRUE(symbols.glyph(QStringLiteral("no.such.symbol")).isEmpty());
    EXPECT_FALSE(Symbols::fontFamily().isEmpty());
}
