#include "Services/APIClient.h"

#include "Models/StationCompaction.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QCoroNetworkReply>

// ------------------------------------------------------------------ errors and SimpleMessage

QString APIError::errorDescription() const
{
    switch (m_kind) {
    case Kind::Http: return QStringLiteral("خطای سرور (") + QString::number(m_status) + u')';
    case Kind::BadURL: return QStringLiteral("آدرس سرور نامعتبر است");
    case Kind::Decoding: return QStringLiteral("خطا در پردازش پاسخ سرور");
    }
    return {};
}

SimpleMessage SimpleMessage::fromJson(const QJsonValue &value)
{
    const QJsonObject o = json::object(value, u"reply");
    SimpleMessage m;
    m.code = json::optionalInteger(o, QLatin1StringView("code"));
    m.message = json::optionalString(o, QLatin1StringView("message"));
    return m;
}

QJsonObject SimpleMessage::toJson() const
{
    QJsonObject o;
    json::put(o, QLatin1StringView("code"), code);
    json::put(o, QLatin1StringView("message"), message);
    return o;
}

// ------------------------------------------------------------------ helpers

namespace {

bool isSameOrigin(const QUrl &a, const QUrl &b)
{
    const int defaultPort = a.scheme() == QLatin1String("https") ? 443 : 80;
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port(defaultPort) == b.port(defaultPort);
}

// An idle or whole-request timeout, as the listener reads it. Qt's translations have no text for
// the way it is detected here (an aborted transfer), so the client gives its own.
QString timeoutText()
{
    return QStringLiteral("زمان انتظار برای پاسخ سرور به پایان رسید");
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Percent-encodes what a path may not hold, keeping '/' between segments and %XX escapes that
// url::pathSegment() already made.
QByteArray encodePath(const QString &path)
{
    static const QByteArray allowed = QByteArrayLiteral("-._~!$&'()*+,;=:@/");
    const QByteArray utf8 = path.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum || allowed.contains(c)) {
            out += c;
        } else if (c == '%' && i + 2 < utf8.size() && isHex(utf8[i + 1]) && isHex(utf8[i + 2])) {
            out += c;
        } else {
            static const char hex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
    return out;
}

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

// A non-2xx reply of POST, PUT and DELETE: a body with a "message" becomes a ServerError.
[[noreturn]] void throwServerErrorOrHttp(const QByteArray &body, int status)
{
    std::optional<SimpleMessage> message;
    try {
        message = json::decode<SimpleMessage>(body);
    } catch (const DecodingError &) {
    }
    if (message && message->message)
        throw ServerError(*message->message, status);
    throw APIError::http(status);
}

struct DeleteLater {
    void operator()(QObject *object) const { object->deleteLater(); }
};

} // namespace

// ------------------------------------------------------------------ client

QUrl APIClient::defaultBaseURL()
{
    const QString overridden = qEnvironmentVariable("MELODRIFT_API_BASE_URL");
    if (!overridden.isEmpty())
        return QUrl(overridden);
    return QUrl(QString::fromLatin1(kBaseURL));
}

APIClient &APIClient::shared()
{
    // Never destroyed: the network manager must not outlive the application object's teardown.
    static APIClient *const instance = new APIClient();
    return *instance;
}

APIClient::APIClient()
    : APIClient(Options())
{
}

APIClient::APIClient(Options options)
    : m_options(std::move(options))
    , m_network(std::make_unique<QNetworkAccessManager>())
{
    // No URL cache at all: every catalogue poll reaches the server.
    m_network->setCache(nullptr);
    if (auto *app = QCoreApplication::instance(); app && m_network->thread() != app->thread())
        m_network->moveToThread(app->thread());
}

APIClient::~APIClient() = default;

std::optional<QUrl> APIClient::absolute(const QString &path) const
{
    if (path.isEmpty())
        return std::nullopt;
    if (path.startsWith(QLatin1StringView("http"))) {
        QUrl url(path);
        return url.isValid() ? std::optional<QUrl>(url) : std::nullopt;
    }
    if (path.startsWith(QLatin1StringView("file://"))) {
        QUrl url(path);
        if (url.isValid())
            return url;
    }
    const QUrl relative(path);
    if (!relative.isValid())
        return std::nullopt;
    const QUrl resolved = m_options.baseURL.resolved(relative);
    return resolved.isValid() ? std::optional<QUrl>(resolved) : std::nullopt;
}

std::optional<QUrl> APIClient::absolute(const std::optional<QString> &path) const
{
    return path ? absolute(*path) : std::nullopt;
}

QUrl APIClient::endpoint(const QString &path, const Query &query) const
{
    QString relative = path;
    if (relative.startsWith(u'/'))
        relative.remove(0, 1);
    // A "." or ".." segment (also spelled with escapes) would be resolved away on its way to the
    // server and address another resource: such a request is not sent at all.
    for (const QStringView segment : QStringView(relative).split(u'/')) {
        const QByteArray decoded = QByteArray::fromPercentEncoding(segment.toUtf8());
        if (decoded == "." || decoded == "..")
            return QUrl();
    }
    QByteArray fullPath = m_options.baseURL.path(QUrl::FullyEncoded).toUtf8();
    if (!fullPath.endsWith('/'))
        fullPath += '/';
    fullPath += encodePath(relative);

    QUrl url = m_options.baseURL;
    url.setPath(QString::fromLatin1(fullPath), QUrl::StrictMode);
    QString encodedQuery;
    for (const auto &[name, value] : query) {
        if (!encodedQuery.isEmpty())
            encodedQuery += u'&';
        encodedQuery += url::queryComponent(name) + u'=' + url::queryComponent(value);
    }
    if (query.isEmpty())
        url.setQuery(QString());
    else
        url.setQuery(encodedQuery, QUrl::StrictMode);
    url.setFragment(QString());
    return url;
}

QNetworkRequest APIClient::makeRequest(const QUrl &url, int idleTimeoutMs) const
{
    QNetworkRequest request(url);
    request.setTransferTimeout(idleTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    return request;
}

QString APIClient::bodyTooLargeText()
{
    return QStringLiteral("پاسخ سرور بیش از اندازه بزرگ است");
}



QCoro::Task<APIClient::RawReply> APIClient::perform(QNetworkReply *sent, BodyKind kind)
{
    std::unique_ptr<QNetworkReply, DeleteLater> reply(sent);
    QPointer<QNetworkReply> guarded(sent);
    bool wholeRequestExpired = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, sent, [&wholeRequestExpired, guarded] {
        wholeRequestExpired = true;
        if (guarded)
            guarded->abort();
    });
    limit.start(m_options.totalTimeoutMs);

    // The body is taken as it arrives, so nothing past the cap is ever held.
    const qint64 cap = maxBodyBytes(kind);
    QByteArray body;
    bool tooLarge = false;
    const auto take = [&] {
        if (tooLarge || !guarded || !guarded->isOpen()) // an aborted reply is closed
            return;
        const QVariant declared = guarded->header(QNetworkRequest::ContentLengthHeader);
        if ((declared.isValid() && declared.toLongLong() > cap) || body.size() + guarded->bytesAvailable() > cap) {
            tooLarge = true;
            guarded->abort();
            return;
        }
        body += guarded->readAll();
    };
    QObject::connect(sent, &QNetworkReply::metaDataChanged, sent, take);
    QObject::connect(sent, &QNetworkReply::readyRead, sent, take);

    if (!reply->isFinished())
        co_await reply.get();
    limit.stop();
    take();

    const QNetworkReply::NetworkError error = reply->error();
    if (wholeRequestExpired)
        throw TransportError(QNetworkReply::TimeoutError, timeoutText());
    if (tooLarge)
        throw TransportError(QNetworkReply::UnknownContentError, bodyTooLargeText());
    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int status = statusAttribute.isValid() ? statusAttribute.toInt() : -1;
    // Qt reports 4xx/5xx as errors too; they are HTTP replies and are mapped by status, and so
    // is a redirect that was not followed. A 2xx with an error is a transfer that broke off (a
    // truncated body, an idle timeout during the body).
    if (error != QNetworkReply::NoError && (status == -1 || isSuccess(status))) {
        // Qt aborts a transfer that stays idle longer than its transfer timeout.
        if (error == QNetworkReply::OperationCanceledError)
            throw TransportError(QNetworkReply::TimeoutError, timeoutText());
        throw TransportError(error, reply->errorString());
    }
    co_return RawReply{status, std::move(body)};
}

QByteArray APIClient::mapReply(Method method, const RawReply &reply)
{
    if (reply.status == -1) {
        if (method == Method::Delete) {
            std::optional<SimpleMessage> message;
            try {
                message = json::decode<SimpleMessage>(reply.body);
            } catch (const DecodingError &) {
            }
            if (message && message->message)
                throw ServerError(*message->message, -1);
        }
        throw APIError::http(-1);
    }
    if (isSuccess(reply.status))
        return reply.body;
    if (method == Method::Get)
        throw APIError::http(reply.status);
    throwServerErrorOrHttp(reply.body, reply.status);
}

QCoro::Task<QByteArray> APIClient::send(Method method, QString path, Query query,
                                        std::optional<QJsonObject> body, std::optional<QString> token)
{
    const QUrl url = endpoint(path, method == Method::Get ? query : Query());
    if (!url.isValid())
        throw APIError::badURL();
    QNetworkRequest request = makeRequest(url, m_options.requestIdleTimeoutMs);
    QByteArray payload;
    if (method == Method::Post || method == Method::Put) {
        request.setRawHeader("Content-Type", "application/json");
        payload = QJsonDocument(body.value_or(QJsonObject())).toJson(QJsonDocument::Compact);
    }
    if (token)
        request.setRawHeader("Authorization", "Bearer " + token->toUtf8());

    // Qt turns a 301, 302 or 303 of any method into a GET of the new address, whose answer would
    // then count as the write's own. A write follows only 307 and 308 (which keep the method and
    // the body), within the backend's origin; anything else ends as its status.
    if (method != Method::Get)
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);

    QNetworkReply *reply = nullptr;
    switch (method) {
    case Method::Get: reply = m_network->get(request); break;
    case Method::Post: reply = m_network->post(request, payload); break;
    case Method::Put: reply = m_network->put(request, payload); break;
    case Method::Delete: reply = m_network->deleteResource(request); break;
    }
    auto refusedStatus = std::make_shared<int>(0);
    if (method != Method::Get) {
        // The reply's own address is already the target's here; the request keeps where it began.
        const QUrl origin = reply->request().url();
        QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, refusedStatus, origin](const QUrl &target) {
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if ((status == 307 || status == 308) && isSameOrigin(origin, origin.resolved(target))) {
                emit reply->redirectAllowed();
                return;
            }
            *refusedStatus = status > 0 ? status : -1;
            reply->abort();
        });
    }
    RawReply raw;
    try {
        raw = co_await perform(reply);
    } catch (const TransportError &) {
        if (*refusedStatus == 0)
            throw;
    }
    if (*refusedStatus != 0)
        throw APIError::http(*refusedStatus);
    co_return mapReply(method, raw);
}

QCoro::Task<StationsResponse> APIClient::getCatalogue(QString path)
{
    const QUrl url = endpoint(path);
    if (!url.isValid())
        throw APIError::badURL();
    RawReply raw =
        co_await perform(m_network->get(makeRequest(url, m_options.catalogueIdleTimeoutMs)), BodyKind::Catalogue);
    QByteArray body = mapReply(Method::Get, raw);
    raw.body.clear();
    if (body.size() <= kOffThreadDecodeBytes)
        co_return json::decode<StationsResponse>(body);
    // A large catalogue is kept for long. Its stations are copied into storage of their own while
    // the parse still holds its blocks, so the copies sit together at the end of the worker's
    // heap and everything before them goes back to the system whole once the parse is freed.
    std::function<StationsResponse()> work = [body = std::move(body)]() mutable {
        const QJsonDocument document = json::parse(std::exchange(body, QByteArray()));
        StationsResponse response = StationsResponse::fromJson(json::root(document));
        if (response.data)
            response.data = compactStations(std::exchange(*response.data, {}));
        return response;
    };
    co_return co_await onWorker<StationsResponse>(std::move(work));
}

QCoro::Task<QList<Station>> APIClient::fetchStations()
{
    StationsResponse response = co_await getCatalogue(QStringLiteral("api/stations"));
    if (!response.data)
        throw APIError::decoding();
    co_return std::move(*response.data);
}

QCoro::Task<Station> APIClient::hydrateSongsara(QString genre)
{
    QString key = genre;
    key.replace(QLatin1StringView("songsara-"), QString());
    StationsResponse response =
        co_await getCatalogue(QStringLiteral("api/songsara/playlist/") + url::pathSegment(key));
    if (!response.data || response.data->isEmpty())
        throw APIError::decoding();
    Station station = response.data->first();
    station.genre = genre;
    co_return station;
}
