#include "StandInServer.h"

#include <QAbstractHttpServer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace standin {

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

void ReplyHold::release()
{
    if (m_released)
        return;
    m_released = true;
    emit released();
}

Reply Reply::json(const QByteArray &body, int status)
{
    Reply r;
    r.status = status;
    r.body = body;
    return r;
}

Reply Reply::text(const QByteArray &body, int status, const QByteArray &type)
{
    Reply r;
    r.status = status;
    r.body = body;
    r.contentType = type;
    return r;
}

Reply Reply::withStatus(int code)
{
    return text(QByteArray(), code);
}

// Bridges QAbstractHttpServer's two callbacks to the server object.
class HttpFrontEnd : public QAbstractHttpServer
{
public:
    explicit HttpFrontEnd(StandInServer *owner) : m_owner(owner) {}

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        RecordedRequest r;
        r.method = methodName(request.method());
        const QUrl url = request.url();
        r.path = url.path(QUrl::FullyDecoded);
        r.rawPath = url.path(QUrl::FullyEncoded).toUtf8();
        r.hasQuery = url.hasQuery();
        r.query = url.query(QUrl::FullyEncoded);
        r.headers = request.headers();
        r.body = request.body();
        return m_owner->dispatch(std::move(r), socket);
    }

    void missingHandler(const QHttpServerRequest &, QTcpSocket *) override {}

private:
    static QByteArray methodName(QHttpServerRequest::Method m)
    {
        switch (m) {
        case QHttpServerRequest::Method::Get: return "GET";
        case QHttpServerRequest::Method::Post: return "POST";
        case QHttpServerRequest::Method::Put: return "PUT";
        case QHttpServerRequest::Method::Delete: return "DELETE";
        case QHttpServerRequest::Method::Head: return "HEAD";
        case QHttpServerRequest::Method::Patch: return "PATCH";
        case QHttpServerRequest::Method::Options: return "OPTIONS";
        default: return "UNKNOWN";
        }
    }

    StandInServer *m_owner;
};

static QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

StandInServer::StandInServer(QObject *parent)
    : QObject(parent)
    , m_http(std::make_unique<HttpFrontEnd>(this))
{
}

StandInServer::~StandInServer() = default;

quint16 StandInServer::listen(quint16 port)
{
    m_port = m_http->listen(QHostAddress::LocalHost, port);
    return m_port;
}

QUrl StandInServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

void StandInServer::route(const QByteArray &method, const QString &pathPattern, Handler handler)
{
    const QRegularExpression re(QRegularExpression::anchoredPattern(pathPattern));
    Q_ASSERT_X(re.isValid(), "StandInServer::route", qPrintable(pathPattern));
    m_routes.prepend(Route{method, re, std::move(handler)});
}

void StandInServer::script(const QByteArray &method, const QString &path, const Reply &reply, int times)
{
    m_scripted.insert(QString::fromLatin1(method) + QLatin1Char(' ') + path, Scripted{reply, times});
}

void StandInServer::unscript(const QByteArray &method, const QString &path)
{
    m_scripted.remove(QString::fromLatin1(method) + QLatin1Char(' ') + path);
}

QList<RecordedRequest> StandInServer::requestsTo(const QString &path) const
{
    QList<RecordedRequest> out;
    for (const auto &r : m_requests) {
        if (r.path == path)
            out.append(r);
    }
    return out;
}

bool StandInServer::waitForRequest(const QString &path, int timeoutMs, int alreadySeen)
{
    QDeadlineTimer deadline(timeoutMs);
    while (countRequests(path) <= alreadySeen) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool StandInServer::dispatch(RecordedRequest request, QTcpSocket *socket)
{
    m_requests.append(request);
    if (m_logRequests) {
        std::printf("[stand-in] %s %s\n", request.method.constData(), qPrintable(request.target()));
        std::fflush(stdout);
    }
    emit requestReceived(request);

    Reply reply = Reply::text("no route\n", 404);
    const QString key = QString::fromLatin1(request.method) + QLatin1Char(' ') + request.path;
    auto scripted = m_scripted.find(key);
    if (scripted != m_scripted.end()) {
        reply = scripted->reply;
        if (scripted->remaining > 0 && --scripted->remaining == 0)
            m_scripted.erase(scripted);
    } else {
        for (const Route &route : std::as_const(m_routes)) {
            if (route.method != request.method && !(route.method == "GET" && request.method == "HEAD"))
                continue;
            const auto match = route.pattern.match(request.path);
            if (!match.hasMatch())
                continue;
            request.captures = match.capturedTexts().mid(1);
            reply = route.handler(request);
            break;
        }
    }

    QPointer<QTcpSocket> guarded(socket);
    if (reply.heldBy && !reply.heldBy->isReleased()) {
        const std::shared_ptr<ReplyHold> hold = std::exchange(reply.heldBy, nullptr);
        connect(hold.get(), &ReplyHold::released, this, [this, guarded, request, reply] {
            send(guarded, request, reply);
        }, Qt::SingleShotConnection);
    } else {
        send(guarded, request, reply);
    }
    return true;
}

void StandInServer::send(QPointer<QTcpSocket> socket, const RecordedRequest &request, const Reply &reply)
{
    if (reply.delayMs > 0) {
        QTimer::singleShot(reply.delayMs, this, [this, socket, request, reply] { write(socket, request, reply); });
    } else {
        write(socket, request, reply);
    }
}

void StandInServer::write(QPointer<QTcpSocket> socket, const RecordedRequest &request, const Reply &reply)
{
    if (!socket)
        return;

    int status = reply.status;
    QByteArray body = reply.body;
    HeaderList headers = reply.headers;
    qint64 length = reply.declaredLength >= 0 ? reply.declaredLength : body.size();

    if (reply.acceptRanges) {
        headers.emplaceBack("Accept-Ranges", "bytes");
        const QByteArray range = request.header("Range");
        if (range.startsWith("bytes=") && status == 200) {
            const QList<QByteArray> bounds = range.mid(6).split('-');
            bool okFirst = false;
            qint64 first = bounds.value(0).toLongLong(&okFirst);
            qint64 last = bounds.value(1).isEmpty() ? body.size() - 1 : bounds.value(1).toLongLong();
            if (!okFirst || first >= body.size() || last < first) {
                status = 416;
                headers.emplaceBack("Content-Range", "bytes */" + QByteArray::number(body.size()));
                body.clear();
            } else {
                last = std::min<qint64>(last, body.size() - 1);
                status = 206;
                headers.append({"Content-Range", "bytes " + QByteArray::number(first) + '-'
                                                     + QByteArray::number(last) + '/'
                                                     + QByteArray::number(body.size())});
                body = body.mid(first, last - first + 1);
            }
            length = body.size();
        }
    }

    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    if (!reply.contentType.isEmpty())
        head += "Content-Type: " + reply.contentType + "\r\n";
    for (const auto &[key, value] : headers)
        head += key + ": " + value + "\r\n";
    // Every reply closes its connection: simple for clients that hold streams open, and a short
    // body (declared length larger than what is sent) ends the way a dropped connection would.
    head += "Connection: close\r\n";

    if (reply.stream) {
        if (reply.declaredLength >= 0)
            head += "Content-Length: " + QByteArray::number(reply.declaredLength) + "\r\n";
        head += "\r\n";
        socket->write(head);
        writeStream(socket, reply);
        return;
    }
    head += "Content-Length: " + QByteArray::number(length) + "\r\n\r\n";
    socket->write(head);
    if (request.method != "HEAD")
        socket->write(body);
    socket->disconnectFromHost();
}

void StandInServer::writeStream(QPointer<QTcpSocket> socket, const Reply &reply)
{
    auto *timer = new QTimer(this);
    timer->setInterval(reply.streamIntervalMs);
    auto next = reply.stream;
    const bool holdOpen = reply.holdOpenAfterStream;
    connect(timer, &QTimer::timeout, this, [socket, timer, next, holdOpen] {
        if (!socket || socket->state() != QAbstractSocket::ConnectedState) {
            timer->deleteLater();
            return;
        }
        // Keep the kernel buffer from growing without bound when the reader is slow.
        if (socket->bytesToWrite() > 256 * 1024)
            return;
        const QByteArray chunk = next();
        if (chunk.isEmpty()) {
            if (!holdOpen)
                socket->disconnectFromHost();
            timer->deleteLater();
            return;
        }
        socket->write(chunk);
    });
    timer->start();
}

} // namespace standin
