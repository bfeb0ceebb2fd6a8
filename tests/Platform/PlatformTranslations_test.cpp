#include "Models/AppError.h"
#include "Platform/PlatformTranslations.h"
#include "Services/APIClient.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <QCoreApplication>
#include <QTranslator>
#include <gtest/gtest.h>

// Qt's own texts reach the listener in Persian once the platform's translations are installed:
// the transport error of a refused connection, as the backend client reports it, included.

namespace {

bool isPersian(const QString &text)
{
    for (QChar c : text) {
        if (c.script() == QChar::Script_Arabic)
            return true;
    }
    return false;
}

class PlatformTranslationsTest : public ::testing::Test
{
protected:
    void SetUp() override { translator = PlatformTranslations::install(*QCoreApplication::instance()); }
    void TearDown() override
    {
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
    QTranslator *translator = nullptr;
};

} // namespace

TEST_F(PlatformTranslationsTest, QtsOwnTextsArePersian)
{
    ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is installed by scripts/setup.sh";
    const struct { const char *context; const char *english; } texts[] = {
        {"QNativeSocketEngine", "Connection refused"},
        {"QNativeSocketEngine", "Network unreachable"},
        {"QAbstractSocket", "Connection refused"},
        {"QAbstractSocket", "Host not found"},
        {"QNativeSocketEngine", "The remote host closed the connection"},
    };
    for (const auto &text : texts) {
        SCOPED_TRACE(text.english);
        EXPECT_TRUE(isPersian(QCoreApplication::translate(text.context, text.english)))
            << qPrintable(QCoreApplication::translate(text.context, text.english));
    }
}

TEST_F(PlatformTranslationsTest, ARefusedConnectionReadsInPersian)
{
    ASSERT_NE(translator, nullptr);
    quint16 closedPort = 0;
    {
        standin::StandInServer gone;
        closedPort = gone.listen();
    }
    APIClient::Options options;
    options.baseURL = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closedPort));
    APIClient client(options);
    auto outcome = testing_support::runTask(client.fetchStations());
    auto error = outcome.errorAs<TransportError>();
    ASSERT_TRUE(error);
    EXPECT_TRUE(isPersian(error->errorDescription())) << qPrintable(error->errorDescription());
}

TEST_F(PlatformTranslationsTest, OurDecodingErrorReadsInPersian)
{
    EXPECT_TRUE(isPersian(DecodingError(QStringLiteral("data: expected an array")).errorDescription()));
}

TEST(PlatformTranslations, AFolderWithoutThemInstallsNothing)
{
    EXPECT_EQ(PlatformTranslations::install(*QCoreApplication::instance(), QStringLiteral("/nonexistent")), nullptr);
}
