#pragma once

#include <QHash>
#include <QString>

#include <memory>
#include <optional>

// Where Keychain keeps its items. The application uses the system's Secret Service; tests put an
// in-memory store in its place.
class KeychainBackend
{
public:
    virtual ~KeychainBackend() = default;
    // The stored value, or none for a missing item and for any failure.
    virtual std::optional<QByteArray> read(const QString &key) = 0;
    // Creates or replaces the item. Failures are silent.
    virtual void write(const QString &key, const QByteArray &value) = 0;
    // Deletes the item if there is one. Failures are silent.
    virtual void remove(const QString &key) = 0;
};

// Secret Service (GNOME Keyring, KWallet, KeePassXC...) through QtKeychain, one item per key under
// one service name. QtKeychain works asynchronously; each call here waits for its job in a local
// event loop for at most `timeoutMs`, and a job that is not done by then counts as failed (it is
// left to finish on its own). Without a Secret Service every job fails within milliseconds. There is
// never a fallback to a plain file.
class SecretServiceKeychainBackend final : public KeychainBackend
{
public:
    explicit SecretServiceKeychainBackend(QString service, int timeoutMs = 3000);

    std::optional<QByteArray> read(const QString &key) override;
    void write(const QString &key, const QByteArray &value) override;
    void remove(const QString &key) override;

private:
    QString m_service;
    int m_timeoutMs;
};

// Items in a map, for tests.
class InMemoryKeychainBackend final : public KeychainBackend
{
public:
    std::optional<QByteArray> read(const QString &key) override;
    void write(const QString &key, const QByteArray &value) override;
    void remove(const QString &key) override;

    // Inspection for tests.
    const QHash<QString, QByteArray> &items() const { return m_items; }
    int writes() const { return m_writes; }
    int removals() const { return m_removals; }

private:
    QHash<QString, QByteArray> m_items;
    int m_writes = 0;
    int m_removals = 0;
};

// Short secret strings (the session token under "session_token") in the system keychain, one item
// per key. Synchronous; meant for the main thread. Failures are never reported: a failed read is
// none, a failed write or delete leaves no trace.
class Keychain
{
public:
    Keychain() = delete;

    // The service name under which every item is stored.
    static const QString service;

    // The stored string, or none when there is no item, the keychain is unavailable, or the data
    // is not valid UTF-8.
    static std::optional<QString> get(const QString &key);

    // Stores `value` under `key`; none or the empty string deletes the item.
    static void set(const std::optional<QString> &value, const QString &key);

    // Replaces the backend (tests); nullptr goes back to the system's Secret Service.
    static void setBackend(std::shared_ptr<KeychainBackend> backend);
    static std::shared_ptr<KeychainBackend> backend();
};
