#include "Services/Keychain.h"

#include <QCoroTask>
#include <gtest/gtest.h>

namespace {

class KeychainTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = Keychain::backend();
        Keychain::setBackend(m_memory);
    }
    void TearDown() override { Keychain::setBackend(m_previous); }

    std::shared_ptr<InMemoryKeychainBackend> m_memory = std::make_shared<InMemoryKeychainBackend>();
    std::shared_ptr<KeychainBackend> m_previous;
};

} // namespace

TEST_F(KeychainTest, StoresOneItemPerKeyAndTheLastValueWins)
{
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), std::nullopt);
    QCoro::waitFor(Keychain::set(QStringLiteral("first"), "session_token"));
    QCoro::waitFor(Keychain::set(QStringLiteral("توکن-دوم"), "session_token"));
    QCoro::waitFor(Keychain::set(QStringLiteral("other"), "other_key"));
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), QStringLiteral("توکن-دوم"));
    EXPECT_EQ(m_memory->items().value("session_token"), QStringLiteral("توکن-دوم").toUtf8());
    EXPECT_EQ(m_memory->items().size(), 2);
}

TEST_F(KeychainTest, NoneAndTheEmptyStringDelete)
{
    QCoro::waitFor(Keychain::set(QStringLiteral("t"), "session_token"));
    QCoro::waitFor(Keychain::set(QString(), "session_token"));
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), std::nullopt);
    EXPECT_EQ(m_memory->writes(), 1);
    EXPECT_EQ(m_memory->removals(), 1);

    QCoro::waitFor(Keychain::set(QStringLiteral("t"), "session_token"));
    QCoro::waitFor(Keychain::set(std::nullopt, "session_token"));
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), std::nullopt);
    QCoro::waitFor(Keychain::set(std::nullopt, "never_set")); // deleting nothing is fine
    EXPECT_EQ(m_memory->removals(), 3);
}

TEST_F(KeychainTest, DataThatIsNotUtf8ReadsAsNone)
{
    m_memory->put("session_token", QByteArray("ok\xff\xfe", 4));
    EXPECT_EQ(QCoro::waitFor(Keychain::get("session_token")), std::nullopt);
}

// Tests run with an in-memory keychain unless they ask for another, so none touches a real one.
TEST(KeychainDefaults, TestsStartWithAnInMemoryBackend)
{
    EXPECT_NE(dynamic_cast<InMemoryKeychainBackend *>(Keychain::backend().get()), nullptr);
}
