#include "Services/Keychain.h"

#include <QCoroTask>

#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

// Run by keychain_secret_service.sh on private session buses; see there.

namespace {

// Uses the system keychain for the length of a test, with a timeout generous enough for a loaded
// machine (a call that hangs still shows, as the whole test would then take minutes).
class SystemKeychain : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = Keychain::backend();
        Keychain::setBackend(std::make_shared<SecretServiceKeychainBackend>(Keychain::service));
    }
    void TearDown() override
    {
        QCoro::waitFor(Keychain::set(std::nullopt, "session_token"));
        Keychain::setBackend(m_previous);
    }

private:
    std::shared_ptr<KeychainBackend> m_previous;
};

// What another Secret Service client (secret-tool) sees for the item.
QString lookedUpBySecretTool(const QString &key)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("lookup"), QStringLiteral("server"), Keychain::service, QStringLiteral("user"), key});
    if (!tool.waitForFinished(10000))
        return QStringLiteral("<secret-tool did not finish>");
    return QString::fromUtf8(tool.readAllStandardOutput());
}

// The keychain's warnings while `run` runs.
template<typename Run>
QStringList keychainWarnings(Run run)
{
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (type == QtWarningMsg && QLatin1String(context.category) == QLatin1String("melodrift.keychain"))
            logged.append(message);
    });
    run();
    qInstallMessageHandler(previous);
    return logged;
}

} // namespace

using SecretService = SystemKeychain;
using NoSecretService = SystemKeychain;

TEST_F(SecretService, StoresReplacesAndDeletesTheItem)
{
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), std::nullopt);

    EXPECT_TRUE(keychainWarnings([] { QCoro::waitFor(Keychain::set(QStringLiteral("first-token"), "session_token")); }).isEmpty());
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), QStringLiteral("first-token"));

    QCoro::waitFor(Keychain::set(QStringLiteral("دومین-توکن"), "session_token"));
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), QStringLiteral("دومین-توکن"));
    EXPECT_EQ(lookedUpBySecretTool("session_token"), QStringLiteral("دومین-توکن"));

    QCoro::waitFor(Keychain::set(QString(), "session_token"));
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), std::nullopt);
    EXPECT_EQ(lookedUpBySecretTool("session_token"), QString());
}

TEST_F(SecretService, KeysAreSeparateItems)
{
    QCoro::waitFor(Keychain::set(QStringLiteral("a"), "session_token"));
    QCoro::waitFor(Keychain::set(QStringLiteral("b"), "another_key"));
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), QStringLiteral("a"));
    EXPECT_EQ(QCoro::waitFor(Keychain::get("another_key")), QStringLiteral("b"));
    QCoro::waitFor(Keychain::set(std::nullopt, "another_key"));
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), QStringLiteral("a"));
    EXPECT_EQ(QCoro::waitFor(Keychain::get("another_key")), std::nullopt);
}

// Quietly for the listener, but a token that could not be stored says so in the log: the
// next start will be signed out.
TEST_F(NoSecretService, EveryCallFailsQuicklyAndAFailedStoreIsLogged)
{
    QElapsedTimer timer;
    timer.start();
    const QStringList warnings = keychainWarnings([] { QCoro::waitFor(Keychain::set(QStringLiteral("token"), "session_token")); });
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings.first().contains(QLatin1String("session_token")));
    EXPECT_TRUE(warnings.first().contains(QLatin1String("until the app quits")));
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), std::nullopt);
    QCoro::waitFor(Keychain::set(std::nullopt, "session_token"));
    EXPECT_LT(timer.elapsed(), 10000);
}
