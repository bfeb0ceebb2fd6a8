#include "Platform/LaunchArguments.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(LaunchArguments, AnOptionsValueIsNeitherAnAddressNorLost)
{
    const struct {
        QStringList arguments;
        QString intent;
        QStringList urls;
    } rows[] = {
        {{u"--intent"_s, u"ShazamOpenIntent"_s}, u"ShazamOpenIntent"_s, {}},
        {{u"--intent=ShazamAppIntent"_s, u"melodrift://shazam"_s}, u"ShazamAppIntent"_s, {u"melodrift://shazam"_s}},
        {{u"melodrift://shazam"_s, u"--intent"_s, u"X"_s, u"--debug-player"_s}, u"X"_s, {u"melodrift://shazam"_s}},
        {{u"--intent"_s}, QString(), {}},
        {{u"melodrift://shazam"_s}, QString(), {u"melodrift://shazam"_s}},
    };
    for (const auto &row : rows) {
        const LaunchArguments arguments(row.arguments);
        EXPECT_EQ(arguments.value(u"--intent"_s), row.intent) << qPrintable(row.arguments.join(u' '));
        EXPECT_EQ(arguments.urls(), row.urls) << qPrintable(row.arguments.join(u' '));
    }
}

TEST(LaunchArguments, ASwitchWithAValueIsActedOnOnce)
{
    const struct {
        QStringList arguments;
        QString first;
    } rows[] = {
        {{u"--debug-sync"_s}, u"persian"_s},
        {{u"--debug-sync=tehran-live"_s}, u"tehran-live"_s},
        {{u"--debug-sync=tehran-live"_s, u"--debug-sync"_s}, u"tehran-live"_s},
        {{u"--debug-syncing"_s, u"--debug-player"_s}, QString()},
        {{}, QString()},
    };
    for (const auto &row : rows) {
        LaunchArguments arguments(row.arguments);
        EXPECT_EQ(arguments.consumeWithValue(u"--debug-sync"_s, u"persian"_s), row.first)
            << qPrintable(row.arguments.join(u' '));
        EXPECT_EQ(arguments.consumeWithValue(u"--debug-sync"_s, u"persian"_s), QString())
            << qPrintable(row.arguments.join(u' '));
    }
}
