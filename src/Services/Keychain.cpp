#include "Services/Keychain.h"

#include <QCoroSignal>
#include <QLoggingCategory>
#include <QStringDecoder>
#include <qt6keychain/keychain.h>

namespace {

Q_LOGGING_CATEGORY(lcKeychain, "melodrift.keychain")

std::shared_ptr<KeychainBackend> &installedBackend()
{
    static std::shared_ptr<KeychainBackend> backend;
    return backend;
}

} // namespace

SecretServiceKeychainBackend::SecretServiceKeychainBackend(QString service)
    : m_service(std::move(service))
{
}

SecretServiceKeychainBackend::~SecretServiceKeychainBackend()
{
    for (const QPointer<QKeychain::Job> &job : std::as_const(m_queue))
        if (job)
            job->deleteLater();
}

void SecretServiceKeychainBackend::startNext()
{
    while (!m_queue.isEmpty() && !m_queue.first())
        m_queue.removeFirst();
    if (!m_queue.isEmpty())
        m_queue.first()->start();
}

QCoro::Task<bool> SecretServiceKeychainBackend::run(QKeychain::Job *job, QString *errorText)
{
    job->setAutoDelete(false);
    job->setInsecureFallback(false);
    QPointer<QKeychain::Job> guarded(job);
    m_queue.append(guarded);
    if (m_queue.size() == 1)
        job->start();
    co_await qCoro(job, &QKeychain::Job::finished);
    m_queue.removeOne(guarded);
    startNext();
    const bool ok = guarded && guarded->error() == QKeychain::NoError;
    if (!ok && errorText)
        *errorText = guarded ? guarded->errorString() : QString();
    if (guarded)
        guarded->deleteLater();
    co_return ok;
}

QCoro::Task<std::optional<QByteArray>> SecretServiceKeychainBackend::read(QString key)
{
    auto *job = new QKeychain::ReadPasswordJob(m_service);
    job->setKey(key);
    QPointer<QKeychain::ReadPasswordJob> guarded(job);
    const bool ok = co_await run(job);
    if (!ok || !guarded)
        co_return std::nullopt;
    co_return guarded->binaryData();
}

QCoro::Task<void> SecretServiceKeychainBackend::write(QString key, QByteArray value)
{
    auto *job = new QKeychain::WritePasswordJob(m_service);
    job->setKey(key);
    // Stored as text, so other Secret Service clients show the token as it is.
    job->setTextData(QString::fromUtf8(value));
    QString error;
    // Nothing else tells the listener that the session will not outlive the app.
    if (!co_await run(job, &error))
        qCWarning(lcKeychain, "the keyring could not store \"%s\" (%s): the sign-in lasts only until the app quits",
                  qUtf8Printable(key), qUtf8Printable(error));
}

QCoro::Task<void> SecretServiceKeychainBackend::remove(QString key)
{
    auto *job = new QKeychain::DeletePasswordJob(m_service);
    job->setKey(key);
    co_await run(job);
}

QCoro::Task<std::optional<QByteArray>> InMemoryKeychainBackend::read(QString key)
{
    const auto it = m_items.constFind(key);
    if (it == m_items.cend())
        co_return std::nullopt;
    co_return *it;
}

QCoro::Task<void> InMemoryKeychainBackend::write(QString key, QByteArray value)
{
    ++m_writes;
    m_items.insert(key, value);
    co_return;
}

QCoro::Task<void> InMemoryKeychainBackend::remove(QString key)
{
    ++m_removals;
    m_items.remove(key);
    co_return;
}

const QString Keychain::service = QStringLiteral("melodrift-radio");

std::optional<QString> Keychain::decode(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

QCoro::Task<std::optional<QString>> Keychain::get(QString key)
{
    const std::shared_ptr<KeychainBackend> store = backend();
    const std::optional<QByteArray> data = co_await store->read(std::move(key));
    co_return data ? decode(*data) : std::nullopt;
}

QCoro::Task<void> Keychain::set(std::optional<QString> value, QString key)
{
    const std::shared_ptr<KeychainBackend> store = backend();
    if (!value || value->isEmpty())
        co_await store->remove(std::move(key));
    else
        co_await store->write(std::move(key), value->toUtf8());
}

void Keychain::setBackend(std::shared_ptr<KeychainBackend> backend)
{
    installedBackend() = std::move(backend);
}

std::shared_ptr<KeychainBackend> Keychain::backend()
{
    std::shared_ptr<KeychainBackend> &backend = installedBackend();
    if (!backend)
        backend = std::make_shared<SecretServiceKeychainBackend>(service);
    return backend;
}
