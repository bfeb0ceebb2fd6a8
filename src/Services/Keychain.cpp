#include "Services/Keychain.h"

#include <QEventLoop>
#include <QStringDecoder>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <functional>

namespace {

std::shared_ptr<KeychainBackend> &installedBackend()
{
    static std::shared_ptr<KeychainBackend> backend;
    return backend;
}

// Starts `job` and waits for it for at most `timeoutMs`; `onSuccess` sees the finished job. Returns
// false when the job failed or did not finish in time. The job deletes itself when it finishes,
// now or later; a late finish reaches nothing here.
bool runJob(QKeychain::Job *job, int timeoutMs,
            const std::function<void(QKeychain::Job *)> &onSuccess = {})
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    QEventLoop loop;
    bool finished = false;
    bool ok = false;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job *done) {
        finished = true;
        ok = done->error() == QKeychain::NoError;
        if (ok && onSuccess)
            onSuccess(done);
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    return finished && ok;
}

} // namespace

SecretServiceKeychainBackend::SecretServiceKeychainBackend(QString service, int timeoutMs)
    : m_service(std::move(service)), m_timeoutMs(timeoutMs)
{
}

std::optional<QByteArray> SecretServiceKeychainBackend::read(const QString &key)
{
    auto *job = new QKeychain::ReadPasswordJob(m_service);
    job->setKey(key);
    std::optional<QByteArray> result;
    const bool ok = runJob(job, m_timeoutMs, [&result](QKeychain::Job *done) {
        result = static_cast<QKeychain::ReadPasswordJob *>(done)->binaryData();
    });
    return ok ? result : std::nullopt;
}

void SecretServiceKeychainBackend::write(const QString &key, const QByteArray &value)
{
    auto *job = new QKeychain::WritePasswordJob(m_service);
    job->setKey(key);
    // Stored as text, so other Secret Service clients show the token as it is.
    job->setTextData(QString::fromUtf8(value));
    runJob(job, m_timeoutMs);
}

void SecretServiceKeychainBackend::remove(const QString &key)
{
    auto *job = new QKeychain::DeletePasswordJob(m_service);
    job->setKey(key);
    runJob(job, m_timeoutMs);
}

std::optional<QByteArray> InMemoryKeychainBackend::read(const QString &key)
{
    const auto it = m_items.constFind(key);
    if (it == m_items.cend())
        return std::nullopt;
    return *it;
}

void InMemoryKeychainBackend::write(const QString &key, const QByteArray &value)
{
    ++m_writes;
    m_items.insert(key, value);
}

void InMemoryKeychainBackend::remove(const QString &key)
{
    ++m_removals;
    m_items.remove(key);
}

const QString Keychain::service = QStringLiteral("melodrift-radio");

std::optional<QString> Keychain::get(const QString &key)
{
    const std::optional<QByteArray> data = backend()->read(key);
    if (!data)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(*data);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

void Keychain::set(const std::optional<QString> &value, const QString &key)
{
    if (!value || value->isEmpty())
        backend()->remove(key);
    else
        backend()->write(key, value->toUtf8());
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
