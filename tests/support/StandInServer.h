#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include <functional>
#include <memory>

class QAbstractHttpServer;
class QTcpSocket;

namespace standin {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// One request as the server saw it.
struct RecordedRequest {
    QByteArray method;     // "GET", "POST", ...
    QString path;          // decoded path, e.g. "/api/stations"
    QByteArray rawPath;    // path as sent on the wire, still percent-encoded
    QString query;         // the query as sent, without '?' (empty when there was none)
    bool hasQuery = false; // true when the target carried a '?', even with nothing after it
    HeaderList headers;
    QByteArray body;
    QStringList captures;  // the route pattern's capture groups

    QByteArray header(const QByteArray &name) const; // case-insensitive; empty when absent
    QUrlQuery queryItems() const { return QUrlQuery(query); }
    QString target() const { return hasQuery ? path + QLatin1Char('?') + query : path; }
};

// Keeps the replies it is given back until release(): for a test that needs a reply out while
// something else happens, however long that takes.
class ReplyHold : public QObject
{
    Q_OBJECT
public:
    void release();
    bool isReleased() const { return m_released; }

signals:
    void released();

private:
    bool m_released = false;
};

// What the server answers. A reply is written either whole (body), by ranges of a whole body
// (acceptRanges: honours "Range: bytes=a-b" with 206), or as an endless stream (stream: called
// for each next chunk until the client goes away).
struct Reply {
    int status = 200;
    QByteArray contentType = "application/json";
    HeaderList headers;
    QByteArray body;
    int delayMs = 0;
    bool acceptRanges = false;
    // Declared length that may differ from the body (to test short bodies); -1 = the body's size.
    qint64 declaredLength = -1;
    // Endless stream: returns the next chunk; an empty chunk ends the reply. A stream announces
    // `declaredLength` as its Content-Length when it is set.
    std::function<QByteArray()> stream;
    int streamIntervalMs = 50;
    // After the stream's last chunk the connection stays open with nothing more sent (a stall).
    bool holdOpenAfterStream = false;
    // Written only once this is released (then after delayMs).
    std::shared_ptr<ReplyHold> heldBy;

    static Reply json(const QByteArray &body, int status = 200);
    static Reply text(const QByteArray &body, int status = 200, const QByteArray &type = "text/plain");
    static Reply withStatus(int code);
};

using Handler = std::function<Reply(const RecordedRequest &)>;

class StandInServer : public QObject
{
    Q_OBJECT
public:
    explicit StandInServer(QObject *parent = nullptr);
    ~StandInServer() override;

    // Listens on 127.0.0.1; port 0 picks a free port. Returns the port, or 0 on failure.
    quint16 listen(quint16 port = 0);
    quint16 port() const { return m_port; }
    QUrl baseUrl() const; // "http://127.0.0.1:<port>"

    // A route answers requests whose method matches and whose decoded path matches the pattern
    // as a whole (a regular expression; its capture groups land in RecordedRequest::captures).
    // Later routes take precedence over earlier ones.
    void route(const QByteArray &method, const QString &pathPattern, Handler handler);

    // A scripted reply overrides routes for this method and exact path; `times` is how many
    // requests it answers before the routes take over again (-1: until unscripted).
    void script(const QByteArray &method, const QString &path, const Reply &reply, int times = -1);
    void unscript(const QByteArray &method, const QString &path);

    QList<RecordedRequest> requests() const { return m_requests; }
    QList<RecordedRequest> requestsTo(const QString &path) const;
    int countRequests(const QString &path) const { return int(requestsTo(path).size()); }
    void clearRequests() { m_requests.clear(); }
    // Spins the event loop until a request to `path` has been seen (counting from `alreadySeen`).
    bool waitForRequest(const QString &path, int timeoutMs = 5000, int alreadySeen = 0);

    // Print each request as one line on standard output (the command-line server does).
    void setLogRequests(bool on) { m_logRequests = on; }

signals:
    void requestReceived(const standin::RecordedRequest &request);

private:
    struct Route {
        QByteArray method;
        QRegularExpression pattern;
        Handler handler;
    };
    struct Scripted {
        Reply reply;
        int remaining;
    };
    friend class HttpFrontEnd;
    bool dispatch(RecordedRequest request, QTcpSocket *socket);
    void send(QPointer<QTcpSocket> socket, const RecordedRequest &request, const Reply &reply);
    void write(QPointer<QTcpSocket> socket, const RecordedRequest &request, const Reply &reply);
    void writeStream(QPointer<QTcpSocket> socket, const Reply &reply);

    std::unique_ptr<QAbstractHttpServer> m_http;
    quint16 m_port = 0;
    QList<Route> m_routes;
    QHash<QString, Scripted> m_scripted;
    QList<RecordedRequest> m_requests;
    bool m_logRequests = false;
};

} // namespace standin
