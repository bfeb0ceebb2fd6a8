#include "AccountRoutes.h"

#include "AccountState.h"
#include "DemoCatalogue.h"
#include "HostileRoutes.h"
#include "StandInAudio.h"
#include "StandInServer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cmath>

namespace standin {

namespace {

// --- replies ----------------------------------------------------------------------------------

Reply jsonReply(const QJsonObject &object, int status = 200)
{
    return Reply::json(QJsonDocument(object).toJson(QJsonDocument::Compact), status);
}

Reply refusal(int status, const QString &message)
{
    return jsonReply({{QStringLiteral("code"), status}, {QStringLiteral("message"), message}}, status);
}

Reply withData(const QJsonValue &data, const QString &message = {}, int status = 200)
{
    QJsonObject object{{QStringLiteral("code"), status}, {QStringLiteral("data"), data}};
    if (!message.isEmpty())
        object.insert(QStringLiteral("message"), message);
    return jsonReply(object, status);
}

Reply done(const QString &message, int status = 200)
{
    return jsonReply({{QStringLiteral("code"), status}, {QStringLiteral("message"), message}}, status);
}

const QString notSignedIn = QStringLiteral("برای این کار باید وارد حساب شوید");
const QString badSession = QStringLiteral("نشست شما معتبر نیست؛ دوباره وارد شوید");
const QString badBody = QStringLiteral("درخواست نامعتبر است");
const QString noPlaylist = QStringLiteral("پلیلیست پیدا نشد");
const QString noTrack = QStringLiteral("آهنگ در این پلیلیست پیدا نشد");
const QString badSpotifyLink = QStringLiteral("لینک اسپاتیفای نامعتبر است");

// --- request bodies ---------------------------------------------------------------------------

// The fields of a JSON request body. The first problem (not an object, a missing or wrongly typed
// field) is kept in `error` and turned into a 422 (400 for a body that is not JSON at all).
class Body
{
public:
    explicit Body(const RecordedRequest &request)
    {
        QJsonParseError parse;
        const QJsonDocument document = QJsonDocument::fromJson(request.body, &parse);
        if (parse.error != QJsonParseError::NoError || !document.isObject()) {
            m_status = 400;
            m_error = badBody;
            return;
        }
        m_object = document.object();
    }

    QString text(const char *key, bool required = true)
    {
        const QJsonValue value = m_object.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull()) {
            if (required)
                problem(QLatin1String(key) + QStringLiteral(" لازم است"));
            return {};
        }
        if (!value.isString()) {
            problem(QLatin1String(key) + QStringLiteral(" باید متن باشد"));
            return {};
        }
        return value.toString();
    }

    qint64 integer(const char *key)
    {
        const QJsonValue value = m_object.value(QLatin1String(key));
        if (value.isUndefined() || value.isNull())
            return 0;
        const double d = value.toDouble(std::nan(""));
        if (!value.isDouble() || std::trunc(d) != d) {
            problem(QLatin1String(key) + QStringLiteral(" باید عدد صحیح باشد"));
            return 0;
        }
        return value.toInteger();
    }

    bool ok() const { return m_error.isEmpty(); }
    Reply refused() const { return refusal(m_status, m_error); }

private:
    void problem(const QString &text)
    {
        if (m_error.isEmpty())
            m_error = text;
    }

    QJsonObject m_object;
    QString m_error;
    int m_status = 422;
};

// The track keys a client sends when it adds or likes a track.
LibraryTrack trackFromBody(Body &body, const char *durationKey = "duration")
{
    LibraryTrack t;
    t.trackType = body.text("track_type", false);
    t.trackID = body.text("track_id");
    t.title = body.text("title", false);
    t.artist = body.text("artist", false);
    t.streamURL = body.text("stream_url", false);
    t.artworkURL = body.text("artwork_url", false);
    t.duration = body.integer(durationKey);
    return t;
}

QString queryValue(const RecordedRequest &request, const QString &key)
{
    return request.queryItems().queryItemValue(key, QUrl::FullyDecoded);
}

// --- lyrics -----------------------------------------------------------------------------------

QJsonObject lyricsJson(const QList<LyricLine> &lines)
{
    QJsonArray array;
    for (const LyricLine &line : lines) {
        QJsonObject object{{QStringLiteral("time"), line.time}, {QStringLiteral("text"), line.text}};
        if (!line.translation.isEmpty())
            object.insert(QStringLiteral("translation"), line.translation);
        array.append(object);
    }
    return {{QStringLiteral("lines"), array}};
}

// Lines for a title the catalogue does not know (stations of the demo catalogue), so that every
// sung track has something to show.
QList<LyricLine> placeholderLyrics(const QString &title, qint64 duration)
{
    static const QStringList verses = {
        QStringLiteral("The radio plays our song tonight"), QStringLiteral("Every word a little light"),
        QStringLiteral("Hold the chorus, hold it near"), QStringLiteral("Sing it so the stars can hear"),
        QStringLiteral("Turn the dial and find the sound"), QStringLiteral("Round and round and round")};
    static const QStringList translations = {
        QStringLiteral("رادیو امشب آهنگ ما را پخش میکند"), QString(), QStringLiteral("ترجیعبند را نزدیک نگه دار"),
        QString(), QStringLiteral("پیچ را بچرخان و صدا را پیدا کن"), QString()};
    QList<LyricLine> lines{LyricLine{2.0, title, QString()}};
    const double end = duration > 0 ? double(duration) : 180.0;
    for (int i = 0; 6.0 + 5.0 * i < end; ++i)
        lines.append(LyricLine{6.0 + 5.0 * i, verses.at(i % verses.size()), translations.at(i % translations.size())});
    return lines;
}

// --- Spotify ----------------------------------------------------------------------------------

struct SpotifyLink
{
    QString type; // "playlist" or "album"
    QString id;
};

std::optional<SpotifyLink> parseSpotifyLink(const QString &link)
{
    static const QRegularExpression web(QStringLiteral(
        "^https?://open\\.spotify\\.com/(?:intl-[a-z]{2}(?:-[a-z]{2})?/)?(playlist|album)/([A-Za-z0-9]{1,40})/?(?:[?#].*)?$"));
    static const QRegularExpression uri(QStringLiteral("^spotify:(playlist|album):([A-Za-z0-9]{1,40})$"));
    for (const QRegularExpression *re : {&web, &uri}) {
        const QRegularExpressionMatch m = re->match(link.trimmed());
        if (m.hasMatch())
            return SpotifyLink{m.captured(1), m.captured(2)};
    }
    return std::nullopt;
}

struct SpotifyEntityData
{
    QString title;
    QString artist;
    QString cover;
    QList<CatalogueTrack> tracks;
};

// Any well-formed link resolves: the id picks tracks of the catalogue. An album holds one artist's
// tracks; a playlist a mix.
SpotifyEntityData spotifyEntity(const AccountState &state, const SpotifyLink &link)
{
    const QList<CatalogueTrack> &all = state.catalogue();
    const size_t seed = qHash(link.id);
    SpotifyEntityData e;
    if (link.type == QLatin1String("album")) {
        e.artist = all.at(qsizetype(seed % size_t(all.size()))).artist;
        for (const CatalogueTrack &t : all) {
            if (t.artist == e.artist)
                e.tracks.append(t);
        }
        e.title = e.artist + QStringLiteral(" — Collected");
    } else {
        const qsizetype count = 3 + qsizetype(seed % 3);
        for (qsizetype i = 0; i < count; ++i)
            e.tracks.append(all.at(qsizetype((seed + size_t(i) * 3) % size_t(all.size()))));
        e.title = QStringLiteral("Discover Mix ") + link.id.left(6);
        e.artist = QStringLiteral("Spotify");
    }
    e.cover = e.tracks.first().artworkURL;
    return e;
}

QJsonObject spotifyEntityJson(const SpotifyLink &link, const SpotifyEntityData &e)
{
    const bool album = link.type == QLatin1String("album");
    QJsonArray tracks;
    for (const CatalogueTrack &t : e.tracks) {
        QJsonObject track{{QStringLiteral("id"), t.id},
                          {QStringLiteral("title"), t.title},
                          {QStringLiteral("artist"), t.artist},
                          {QStringLiteral("duration"), t.duration},
                          {QStringLiteral("stream_url"), t.streamURL}};
        // An album's tracks share its cover and carry none of their own.
        if (!album)
            track.insert(QStringLiteral("artwork_url"), t.artworkURL);
        tracks.append(track);
    }
    // Albums come back with the older key names ("kind", "artwork_url").
    return QJsonObject{{QStringLiteral("id"), link.id},
                       {album ? QStringLiteral("kind") : QStringLiteral("type"), link.type},
                       {QStringLiteral("title"), e.title},
                       {QStringLiteral("artist"), e.artist},
                       {album ? QStringLiteral("artwork_url") : QStringLiteral("cover_url"), e.cover},
                       {QStringLiteral("track_count"), qint64(e.tracks.size())},
                       {QStringLiteral("tracks"), tracks}};
}

// --- the routes -------------------------------------------------------------------------------

// Owned by the server (a child object), so it outlives every route that calls it.
class AccountRoutes : public QObject
{
public:
    AccountRoutes(AccountState *state, QObject *parent) : QObject(parent), m_state(state) { m_clock.start(); }

    void install(StandInServer &server);

private:
    // The signed-in user of a request, or the refusal to send.
    std::optional<qint64> signedIn(const RecordedRequest &request, Reply &refused) const
    {
        const QByteArray header = request.header("Authorization");
        if (!header.startsWith("Bearer ")) {
            refused = refusal(401, notSignedIn);
            return std::nullopt;
        }
        const std::optional<qint64> user = m_state->userForToken(QString::fromUtf8(header.mid(7)));
        if (!user)
            refused = refusal(401, badSession);
        return user;
    }

    // The playlist of the path, when the user owns it.
    std::optional<Playlist> ownedPlaylist(const QString &idText, qint64 user) const
    {
        bool ok = false;
        const qint64 id = idText.toLongLong(&ok);
        const std::optional<Playlist> p = ok ? m_state->playlist(id) : std::nullopt;
        if (!p || p->ownerID != user)
            return std::nullopt;
        return p;
    }

    QJsonObject signedInData(qint64 user)
    {
        return {{QStringLiteral("token"), m_state->issueToken(user)},
                {QStringLiteral("user"), AccountState::userJson(*m_state->user(user))}};
    }

    static QJsonObject sessionFields(const CodeSession &s, const QString &telegramUsername)
    {
        QJsonObject o{{QStringLiteral("session_id"), s.id},
                      {QStringLiteral("bot_link"), QStringLiteral("https://t.me/%1?start=%2").arg(AccountState::botUsername, s.id)},
                      {QStringLiteral("bot_username"), AccountState::botUsername},
                      {QStringLiteral("expires_in"), AccountState::codeLifetimeSeconds}};
        if (!telegramUsername.isEmpty())
            o.insert(QStringLiteral("telegram_username"), telegramUsername);
        return o;
    }

    // Checks a session and its code; on success returns the session (still open).
    std::optional<CodeSession> confirmCode(const QString &sessionID, const QString &code, CodeSession::Purpose purpose,
                                           Reply &refused)
    {
        const std::optional<CodeSession> s = m_state->session(sessionID);
        if (!s || s->purpose != purpose) {
            refused = refusal(404, QStringLiteral("نشست پیدا نشد؛ دوباره کد بگیرید"));
            return std::nullopt;
        }
        if (s->expiresAt < QDateTime::currentDateTimeUtc()) {
            m_state->closeSession(sessionID);
            refused = refusal(410, QStringLiteral("کد تایید منقضی شده است"));
            return std::nullopt;
        }
        if (code != s->code) {
            refused = m_state->recordFailedAttempt(sessionID)
                          ? refusal(429, QStringLiteral("تعداد تلاشها زیاد بود؛ دوباره کد بگیرید"))
                          : refusal(400, QStringLiteral("کد تایید نامعتبر است"));
            return std::nullopt;
        }
        return s;
    }

    Reply login(const RecordedRequest &r);
    Reply initSignup(const RecordedRequest &r);
    Reply verifySignup(const RecordedRequest &r);
    Reply forgotPassword(const RecordedRequest &r);
    Reply resetPassword(const RecordedRequest &r);
    Reply logout(const RecordedRequest &r);
    Reply me(const RecordedRequest &r);
    Reply playlists(const RecordedRequest &r);
    Reply createPlaylist(const RecordedRequest &r);
    Reply playlistDetail(const RecordedRequest &r);
    Reply updatePlaylist(const RecordedRequest &r);
    Reply deletePlaylist(const RecordedRequest &r);
    Reply addTrack(const RecordedRequest &r);
    Reply updateTrack(const RecordedRequest &r);
    Reply deleteTrack(const RecordedRequest &r);
    Reply favorites(const RecordedRequest &r);
    Reply toggleFavorite(const RecordedRequest &r);
    Reply lyrics(const RecordedRequest &r);
    Reply soundcloudSearch(const RecordedRequest &r);
    Reply spotifyResolve(const RecordedRequest &r);
    Reply spotifyImport(const RecordedRequest &r);
    Reply downloadToken(const RecordedRequest &r);
    Reply recognize(const RecordedRequest &r);
    Reply media(const RecordedRequest &r);

    AccountState *m_state;
    QElapsedTimer m_clock;
    QHash<QString, QByteArray> m_mediaCache;
};

Reply AccountRoutes::login(const RecordedRequest &r)
{
    Body body(r);
    const QString username = body.text("username");
    const QString password = body.text("password");
    if (!body.ok())
        return body.refused();
    const std::optional<AccountUser> user = m_state->checkPassword(username.trimmed(), password);
    if (!user)
        return refusal(401, QStringLiteral("نام کاربری یا رمز عبور اشتباه است"));
    return withData(signedInData(user->id), QStringLiteral("خوش آمدید"));
}

Reply AccountRoutes::initSignup(const RecordedRequest &r)
{
    static const QRegularExpression validName(QStringLiteral("^[A-Za-z0-9_.]{3,32}$"));
    Body body(r);
    const QString username = body.text("username");
    const QString password = body.text("password");
    const QString displayName = body.text("display_name", false);
    if (!body.ok())
        return body.refused();
    if (!validName.match(username).hasMatch())
        return refusal(422, QStringLiteral("نام کاربری باید ۳ تا ۳۲ حرف انگلیسی، رقم، نقطه یا زیرخط باشد"));
    if (password.size() < 4)
        return refusal(422, QStringLiteral("رمز عبور باید حداقل ۴ کاراکتر باشد"));
    if (m_state->userNamed(username))
        return refusal(409, QStringLiteral("این نام کاربری قبلاً گرفته شده است"));
    const CodeSession s = m_state->openSignup(username, password, displayName);
    return withData(sessionFields(s, {}), QStringLiteral("کد تایید در ربات تلگرام منتظر شماست"));
}

Reply AccountRoutes::verifySignup(const RecordedRequest &r)
{
    Body body(r);
    const QString sessionID = body.text("session_id");
    const QString code = body.text("otp_code");
    if (!body.ok())
        return body.refused();
    Reply refused;
    const std::optional<CodeSession> s = confirmCode(sessionID, code, CodeSession::Purpose::Signup, refused);
    if (!s)
        return refused;
    m_state->closeSession(sessionID);
    if (m_state->userNamed(s->username))
        return refusal(409, QStringLiteral("این نام کاربری قبلاً گرفته شده است"));
    const qint64 user = m_state->addUser(s->username, s->password, s->displayName);
    return withData(signedInData(user), QStringLiteral("ثبتنام انجام شد"));
}

Reply AccountRoutes::forgotPassword(const RecordedRequest &r)
{
    Body body(r);
    const QString identifier = body.text("identifier").trimmed();
    if (!body.ok())
        return body.refused();
    const std::optional<AccountUser> user = m_state->userByIdentifier(identifier);
    if (!user)
        return refusal(404, QStringLiteral("کاربری با این مشخصات پیدا نشد"));
    const CodeSession s = m_state->openReset(user->id);
    // This reply carries the session at the top level as well as inside "data".
    QJsonObject reply = sessionFields(s, user->telegramUsername);
    reply.insert(QStringLiteral("code"), 200);
    reply.insert(QStringLiteral("message"), QStringLiteral("کد بازیابی به تلگرام ارسال شد"));
    reply.insert(QStringLiteral("data"), sessionFields(s, user->telegramUsername));
    return jsonReply(reply);
}

Reply AccountRoutes::resetPassword(const RecordedRequest &r)
{
    Body body(r);
    const QString sessionID = body.text("session_id");
    const QString code = body.text("otp_code");
    const QString newPassword = body.text("new_password");
    if (!body.ok())
        return body.refused();
    if (newPassword.size() < 4)
        return refusal(422, QStringLiteral("رمز عبور باید حداقل ۴ کاراکتر باشد"));
    Reply refused;
    const std::optional<CodeSession> s = confirmCode(sessionID, code, CodeSession::Purpose::Reset, refused);
    if (!s)
        return refused;
    m_state->closeSession(sessionID);
    m_state->setPassword(s->userID, newPassword);
    m_state->revokeTokensOf(s->userID);
    return done(QStringLiteral("رمز عبور تغییر کرد"));
}

Reply AccountRoutes::logout(const RecordedRequest &r)
{
    Reply refused;
    if (!signedIn(r, refused))
        return refused;
    m_state->revokeToken(QString::fromUtf8(r.header("Authorization").mid(7)));
    return done(QStringLiteral("از حساب خارج شدید"));
}

Reply AccountRoutes::me(const RecordedRequest &r)
{
    Reply refused;
    const std::optional<qint64> user = signedIn(r, refused);
    if (!user)
        return refused;
    return withData(QJsonObject{{QStringLiteral("user"), AccountState::userJson(*m_state->user(*user))}});
}

Reply AccountRoutes::playlists(const RecordedRequest &r)
{
    Reply refused;
    const std::optional<qint64> user = signedIn(r, refused);
    if (!user)
        return refused;
    QJsonArray list;
    for (const Playlist &p : m_state->playlistsOf(*user))
        list.append(m_state->playlistSummaryJson(p));
    return withData(QJsonObject{{QStringLiteral("playlists"), list},
                                {QStringLiteral("favorites_count"), qint64(m_state->favoritesOf(*user).size())}});
}

Reply AccountRoutes::createPlaylist(const RecordedRequest &r)
{
    Reply refused;
    const std::optional<qint64> user = signedIn(r, refused);
    if (!user)
        return refused;
    Body body(r);
    const QString title = body.text("title");
    const QString description = body.text("description", false);
    if (!body.ok())
        return body.refused();
    if (title.trimmed().isEmpty())
        return refusal(422, QStringLiteral("نام پلیلیست نمیتواند خالی باشد"));
    const qint64 id = m_state->addPlaylist(*user, title.trimmed(), description);
    return withData(m_state->playlistSummaryJson(*m_state->playlist(id)), QStringLiteral("پلیلیست ساخته شد"), 201);
}

Reply AccountRoutes::playlistDetail(const RecordedRequest &r)
{
    // Readable by anyone who has its id; a token, when sent, must be valid.
    if (!r.header("Authorization").isEmpty()) {
        Reply refused;
        if (!signedIn(r, refused))
            return refused;
    }
    bool ok = false;
    const qint64 id = r.captures.value(0).toLongLong(&ok);
    const std::optional<Playlist> p = ok ? m_state->playlist(id) : std::nullopt;
    if (!p)
        return refusal(404, noPlaylist);
    QJsonArray tracks;
    for (const LibraryTrack &t : p->tracks)
        tracks.append(AccountState::trackJson(t));
    QJsonObject detail = m_state->playlistSummaryJson(*p);
    detail.remove(QStringLiteral("track_count"));
    detail.insert(QStringLiteral("tracks"), tracks);
    return withData(detail);
}

Reply AccountRoutes::updatePlaylist(const RecordedRequest &r)
{
    Reply refused;
    const std::optional<qint64> user = signedIn(r, refused);
    if (!user)
        return refused;
    const std::optional<Playlist> p = ownedPlaylist(r.captures.value(0), *user);
    if (!p)
        return refusal(404, noPlaylist);
    Body body(r);
    const QString title = body.text("title");
    const QString description = body.text("description", false);
    if (!body.ok())
        return body.refused();
    if (title.trimmed().isEmpty())
        return refusal(422, QStringLiteral("نام پلیلیست نمیتواند خالی باشد"));
    m_state->updatePlaylist(p->id, title, description);
    return done(QStringLiteral("پلیلیست ذخیره شد"));
}

Reply AccountRoutes::deletePlaylist(const RecordedRequest &r)
{
    Reply refused;
    const std::optional<qint64> user = signedIn(r, refused);
    if (!user)
        return refused;
    const std::optional<Playlist> p = ownedPlaylist(r.captures.value(0), *user);
    if (!p)
        return refusal(404, noPlaylist);
    m_state->removePlaylist(p->id);
    return done(QStringLiteral("پلیلیست حذف شد"));
}

Reply AccountRoutes::addTrack(const RecordedRequest &r)
{
    Reply refused;
    const std::optional<qint64> user = signedIn(r, refused);
    if (!user)
        return refused;
    const std::optional<Playlist> p = ownedPlaylist(r.captures.value(0), *user);
    if (!p)
        return refusal(404, noPlaylist);
    Body body(r);
    const LibraryTrack track = trackFromBody(body);
    if (!body.ok())
        return body.refused();
    if (track.trackID.isEmpty())
        return refusal(422, QStringLiteral("شناسهی آهنگ خالی است"));
    for (const LibraryTrack &t : p->tracks) {
        if (t.trackID == track.trackID)
            return refusal(409, QStringLiteral("این آهنگ از قبل در پلیلیست هست"));
    }
    m_state->addPlaylistTrack(p->id, track);
    return done(QStringLiteral("به پلیلیست اضافه شد"), 201);
}

Reply AccountRoutes::updateTrack(const RecordedRequest &r)
{
    Reply refused;
    const std::optional<qint64> user = signedIn(r, refused);
    if (!user)
        return refused;
    const std::optional<Playlist> p = ownedPlaylist(r.captures.value(0), *user);
    if (!p)
        return refusal(404, noPlaylist);
    const std::optional<LibraryTrack> track = m_state->findPlaylistTrack(p->id, r.captures.value(1));
    if (!track)
        return refusal(404, noTrack);
    Body body(r);
    const QString title = body.text("title");
    const QString artist = body.text("artist", false);
    if (!body.ok())
        return body.refused();
    if (title.trimmed().isEmpty())
        return refusal(422, QStringLiteral("عنوان آهنگ نمیتواند خالی باشد"));
    m_state->updatePlaylistTrack(p->id, track->id, title, artist);
    return done(QStringLiteral("آهنگ ویرایش شد"));
}

Reply AccountRoutes::deleteTrack(const RecordedRequest &r)
{
    Reply refused;
    const std::optional<qint64> user = signedIn(r, refused);
    if (!user)
        return refused;
    const std::optional<Playlist> p = ownedPlaylist(r.captures.value(0), *user);
    if (!p)
        return refusal(404, noPlaylist);
    const std::optional<LibraryTrack> track = m_state->findPlaylistTrack(p->id, r.captures.value(1));
    if (!track)
        return refusal(404, noTrack);
    m_state->removePlaylistTrack(p->id, track->id);
    return done(QStringLiteral("آهنگ از پلیلیست حذف شد"));
}

Reply AccountRoutes::favorites(const RecordedRequest &r)
{
    Reply refused;
    const std::optional<qint64> user = signedIn(r, refused);
    if (!user)
        return refused;
    QJsonArray list;
    for (const LibraryTrack &t : m_state->favoritesOf(*user))
        list.append(AccountState::trackJson(t));
    return withData(list);
}

Reply AccountRoutes::toggleFavorite(const RecordedRequest &r)
{
    Reply refused;
    const std::optional<qint64> user = signedIn(r, refused);
    if (!user)
        return refused;
    Body body(r);
    const LibraryTrack track = trackFromBody(body);
    if (!body.ok())
        return body.refused();
    if (track.trackID.isEmpty())
        return refusal(422, QStringLiteral("شناسهی آهنگ خالی است"));
    const bool liked = m_state->toggleFavorite(*user, track);
    return withData(QJsonObject{{QStringLiteral("favorited"), liked}},
                    liked ? QStringLiteral("به پسندیدهها اضافه شد") : QStringLiteral("از پسندیدهها حذف شد"));
}

Reply AccountRoutes::lyrics(const RecordedRequest &r)
{
    const QString title = queryValue(r, QStringLiteral("title")).trimmed();
    const QString genre = queryValue(r, QStringLiteral("genre"));
    const QString durationText = queryValue(r, QStringLiteral("duration"));
    if (title.isEmpty())
        return withData(QJsonObject{{QStringLiteral("found"), false}}, QStringLiteral("متن ترانه پیدا نشد"));
    if (title == QLatin1String("Long Line"))
        return longLineLyrics();

    std::optional<CatalogueTrack> known;
    for (const CatalogueTrack &t : m_state->catalogue()) {
        if (t.title.compare(title, Qt::CaseInsensitive) == 0)
            known = t;
    }
    bool instrumental = known && known->instrumental;
    for (const QString &word : m_state->instrumentalGenres)
        instrumental = instrumental || (!known && genre.contains(word, Qt::CaseInsensitive));
    const QList<LyricLine> lines = known ? known->lyrics : placeholderLyrics(title, durationText.toLongLong());
    if (instrumental || lines.isEmpty())
        return withData(QJsonObject{{QStringLiteral("found"), false}}, QStringLiteral("متن ترانه پیدا نشد"));

    QJsonObject data = lyricsJson(lines);
    data.insert(QStringLiteral("found"), true);
    data.insert(QStringLiteral("synced"), true);
    data.insert(QStringLiteral("title"), known ? known->title : title);
    data.insert(QStringLiteral("artist"), known ? known->artist : queryValue(r, QStringLiteral("artist")));
    // A live stream (no duration) is somewhere in its song on the server's clock.
    if (durationText.isEmpty())
        data.insert(QStringLiteral("elapsed_seconds"), std::fmod(double(m_clock.elapsed()) / 1000.0 + 20.0, 180.0));
    return withData(data);
}

Reply AccountRoutes::soundcloudSearch(const RecordedRequest &r)
{
    const QString q = queryValue(r, QStringLiteral("q")).trimmed();
    QJsonArray results;
    if (!q.isEmpty()) {
        for (const CatalogueTrack &t : m_state->catalogue()) {
            if (!t.title.contains(q, Qt::CaseInsensitive) && !t.artist.contains(q, Qt::CaseInsensitive))
                continue;
            // Numbers inside tracks come as strings here, as this source sends them.
            const QJsonObject track{{QStringLiteral("id"), QString::number(qHash(t.id) % 100000)},
                                    {QStringLiteral("track_type"), QStringLiteral("soundcloud")},
                                    {QStringLiteral("track_id"), QStringLiteral("sc-") + t.id},
                                    {QStringLiteral("title"), t.title},
                                    {QStringLiteral("artist"), t.artist},
                                    {QStringLiteral("artwork_url"), t.artworkURL},
                                    {QStringLiteral("stream_url"), t.streamURL},
                                    {QStringLiteral("duration"), QString::number(t.duration)}};
            results.append(QJsonObject{{QStringLiteral("genre"), QStringLiteral("soundcloud-") + t.id},
                                       {QStringLiteral("title"), t.artist + QStringLiteral(" - ") + t.title},
                                       {QStringLiteral("artist"), t.artist},
                                       {QStringLiteral("server_name"), QStringLiteral("SoundCloud")},
                                       {QStringLiteral("artwork_url"), t.artworkURL},
                                       {QStringLiteral("source"), QStringLiteral("soundcloud")},
                                       {QStringLiteral("category"), QStringLiteral("soundcloud")},
                                       {QStringLiteral("display_genre"), t.genre},
                                       {QStringLiteral("track_index"), 0},
                                       {QStringLiteral("track_count"), 1},
                                       {QStringLiteral("tracks"), QJsonArray{track}}});
        }
    }
    return withData(results);
}

Reply AccountRoutes::spotifyResolve(const RecordedRequest &r)
{
    const std::optional<SpotifyLink> link = parseSpotifyLink(queryValue(r, QStringLiteral("url")));
    if (!link)
        return refusal(422, badSpotifyLink);
    return withData(spotifyEntityJson(*link, spotifyEntity(*m_state, *link)));
}

Reply AccountRoutes::spotifyImport(const RecordedRequest &r)
{
    Reply refused;
    const std::optional<qint64> user = signedIn(r, refused);
    if (!user)
        return refused;
    Body body(r);
    const QString url = body.text("url");
    QString title = body.text("title", false);
    const QString description = body.text("description", false);
    if (!body.ok())
        return body.refused();
    const std::optional<SpotifyLink> link = parseSpotifyLink(url);
    if (!link)
        return refusal(422, badSpotifyLink);
    const SpotifyEntityData entity = spotifyEntity(*m_state, *link);
    if (title.trimmed().isEmpty())
        title = entity.title;
    const qint64 id = m_state->addPlaylist(*user, title, description);
    for (const CatalogueTrack &t : entity.tracks)
        m_state->addPlaylistTrack(id, m_state->libraryTrackFrom(t, QStringLiteral("spotify")));
    return done(QStringLiteral("پلیلیست «%1» با %2 آهنگ ذخیره شد").arg(title).arg(entity.tracks.size()), 201);
}

Reply AccountRoutes::downloadToken(const RecordedRequest &r)
{
    Body body(r);
    const LibraryTrack track = trackFromBody(body, "seconds");
    if (!body.ok())
        return body.refused();
    if (track.title.isEmpty() && track.trackID.isEmpty())
        return refusal(422, QStringLiteral("آهنگ مشخص نیست"));
    const QString token = QStringLiteral("%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
    m_state->downloadTokens.append(token);
    return withData(QJsonObject{{QStringLiteral("token"), token},
                                {QStringLiteral("bot_url"), QStringLiteral("https://t.me/%1?start=dl_%2").arg(AccountState::botUsername, token)},
                                {QStringLiteral("bot_username"), AccountState::botUsername}});
}

Reply AccountRoutes::recognize(const RecordedRequest &r)
{
    if (!r.header("Content-Type").startsWith("audio/"))
        return refusal(415, QStringLiteral("فرمت فایل صوتی پشتیبانی نمیشود"));
    if (r.body.isEmpty())
        return refusal(400, QStringLiteral("فایل صوتی دریافت نشد"));
    const QList<CatalogueTrack> &all = m_state->catalogue();
    const CatalogueTrack &t = all.at(qsizetype(qHash(r.body) % size_t(all.size())));
    ++m_state->recognitions;
    return withData(QJsonObject{{QStringLiteral("title"), t.title},
                                {QStringLiteral("artist"), t.artist},
                                {QStringLiteral("genre"), t.genre},
                                {QStringLiteral("duration"), t.duration},
                                {QStringLiteral("artwork_url"), t.artworkURL},
                                {QStringLiteral("stream_url"), t.streamURL}},
                    QStringLiteral("آهنگ پیدا شد"));
}

Reply AccountRoutes::media(const RecordedRequest &r)
{
    const QString id = r.captures.value(0);
    const QString kind = r.captures.value(1);
    const std::optional<CatalogueTrack> track = m_state->catalogueTrack(id);
    if (!track)
        return Reply::withStatus(404);
    const QString key = id + QLatin1Char('.') + kind;
    auto cached = m_mediaCache.constFind(key);
    if (cached == m_mediaCache.cend())
        cached = m_mediaCache.insert(key, kind == QLatin1String("mp3")
                                              ? toneAudio(AudioFormat::Mp3, toneFrequency(id), double(track->duration))
                                              : artworkJpeg(id));
    if (cached->isEmpty()) // the encoder failed
        return Reply::withStatus(500);
    Reply reply = Reply::text(*cached, 200, kind == QLatin1String("mp3") ? "audio/mpeg" : "image/jpeg");
    reply.acceptRanges = true;
    return reply;
}

void AccountRoutes::install(StandInServer &server)
{
    const auto on = [this, &server](const char *method, const char *pattern, Reply (AccountRoutes::*handler)(const RecordedRequest &)) {
        server.route(method, QString::fromLatin1(pattern), [this, handler](const RecordedRequest &r) { return (this->*handler)(r); });
    };
    on("POST", "/api/auth/login", &AccountRoutes::login);
    on("POST", "/api/auth/telegram/init-signup", &AccountRoutes::initSignup);
    on("POST", "/api/auth/telegram/verify-signup-otp", &AccountRoutes::verifySignup);
    on("POST", "/api/auth/telegram/forgot-password", &AccountRoutes::forgotPassword);
    on("POST", "/api/auth/telegram/reset-password", &AccountRoutes::resetPassword);
    on("POST", "/api/auth/logout", &AccountRoutes::logout);
    on("GET", "/api/auth/me", &AccountRoutes::me);
    on("GET", "/api/playlists", &AccountRoutes::playlists);
    on("POST", "/api/playlists", &AccountRoutes::createPlaylist);
    on("GET", "/api/playlists/([^/]+)", &AccountRoutes::playlistDetail);
    on("PUT", "/api/playlists/([^/]+)", &AccountRoutes::updatePlaylist);
    on("DELETE", "/api/playlists/([^/]+)", &AccountRoutes::deletePlaylist);
    on("POST", "/api/playlists/([^/]+)/tracks", &AccountRoutes::addTrack);
    // A track id may hold any character, "/" included: it takes the rest of the path.
    on("PUT", "/api/playlists/([^/]+)/tracks/(.+)", &AccountRoutes::updateTrack);
    on("DELETE", "/api/playlists/([^/]+)/tracks/(.+)", &AccountRoutes::deleteTrack);
    on("GET", "/api/favorites", &AccountRoutes::favorites);
    on("POST", "/api/favorites/toggle", &AccountRoutes::toggleFavorite);
    on("GET", "/api/lyrics", &AccountRoutes::lyrics);
    on("GET", "/api/soundcloud/search", &AccountRoutes::soundcloudSearch);
    on("GET", "/api/spotify/resolve", &AccountRoutes::spotifyResolve);
    on("POST", "/api/spotify/import", &AccountRoutes::spotifyImport);
    on("POST", "/api/telegram/download-token", &AccountRoutes::downloadToken);
    on("POST", "/api/shazam", &AccountRoutes::recognize);
    on("GET", "/media/library/([A-Za-z0-9-]+)\\.(mp3|jpg)", &AccountRoutes::media);
}

} // namespace

AccountState &installAccountRoutes(StandInServer &server)
{
    auto *state = new AccountState(&server);
    state->addDemoData();
    (new AccountRoutes(state, &server))->install(server);
    return *state;
}

} // namespace standin
