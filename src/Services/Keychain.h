#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QCoroTask>

#include <memory>
#include <optional>

namespace QKeychain {
class Job;
}

// Where Keychain keeps its items. The application uses the system's Secret Service; tests put an
// in-memory store in its place. Every operation is asynchronous: a keyring that takes its time
// (waiting to be unlocked) is awaited, never given up on and never waited for in a nested event
// loop. Operations take effect in the order they were started.
class KeychainBackend
{
public:
    virtual ~KeychainBackend() = default;
    // The stored value, or none for a missing item and for any failure.
    virtual QCoro::Task<std::optional<QByteArray>> read(QString key) = 0;
    // Creates or replaces the item. Failures are silent.
    virtual QCoro::Task<void> write(QString key, QByteArray value) = 0;
    // Deletes the item if there is one. Failures are silent.
    virtual QCoro::Task<void> remove(QString key) = 0;
};

// Secret Service (GNOME Keyring, KWallet, KeePassXC...) through QtKeychain, one item per key under
// one service name. Jobs run one at a time, in order; each is awaited until QtKeychain reports it
// done (it fails within milliseconds without a Secret Service, and after the bus's own call
// limit when the service never answers). There is never a fallback to a plain file. Lives on
// the GUI thread.
class SecretServiceKeychainBackend final : public KeychainBackend
{
public:
    explicit SecretServiceKeychainBackend(QString service);
    ~SecretServiceKeychainBackend() override;

    QCoro::Task<std::optional<QByteArray>> read(QString key) override;
    QCoro::Task<void> write(QString key, QByteArray value) override;
    QCoro::Task<void> remove(QString key) override;

private:
    // Queues `job`, starts it when the jobs before it are done, and completes when it is done;
    // true when it succeeded. The job is deleted later, after the caller has read it.
    QCoro::Task<bool> run(QKeychain::Job *job, QString *errorText = nullptr);
    void startNext();

    QString m_service;
    QList<QPointer<QKeychain::Job>> m_queue; // the first one runs
};

// Items in a map, for tests. Answers at once.
class InMemoryKeychainBackend final : public KeychainBackend
{
public:
    QCoro::Task<std::optional<QByteArray>> read(QString key) override;
    QCoro::Task<void> write(QString key, QByteArray value) override;
    QCoro::Task<void> remove(QString key) override;

    // Direct access for tests.
    void put(const QString &key, const QByteArray &value) { m_items.insert(key, value); }
    const QHash<QString, QByteArray> &items() const { return m_items; }
    int writes() const { return m_writes; }
    int removals() const { return m_removals; }

private:
    QHash<QString, QByteArray> m_items;
    int m_writes = 0;
    int m_removals = 0;
};

// Short secret strings (the session token under "session_token") in the system keychain, one item
// per key. Asynchronous; meant for the GUI thread. Failures are never reported: a failed read is
// none, a failed write or delete leaves no trace.
class Keychain
{
public:
    Keychain() = delete;

    // The service name under which every item is stored.
    static const QString service;

    // The stored string, or none when there is no item, the keychain is unavailable, or the data
    // is not valid UTF-8.
    static QCoro::Task<std::optional<QString>> get(QString key);

    // Stores `value` under `key`; none or the empty string deletes the item.
    static QCoro::Task<void> set(std::optional<QString> value, QString key);

    // UTF-8 bytes as text; none when they are not valid UTF-8.
    static std::optional<QString> decode(const QByteArray &bytes);

    // Replaces the backend (tests); nullptr goes back to the system's Secret Service.
    static void setBackend(std::shared_ptr<KeychainBackend> backend);
    static std::shared_ptr<KeychainBackend> backend();
};
