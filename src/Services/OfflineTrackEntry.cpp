#include "Services/OfflineTrackEntry.h"

#include <QHashFunctions>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QTimeZone>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cmath>
#include <limits>
#include <vector>

size_t qHash(const OfflineTrackEntry &e, size_t seed) noexcept
{
    QtPrivate::QHashCombine combine;
    seed = combine(seed, e.key);
    seed = combine(seed, e.trackType.value_or(QString()));
    seed = combine(seed, e.trackID.value_or(QString()));
    seed = combine(seed, e.title);
    seed = combine(seed, e.artist);
    seed = combine(seed, e.artworkRemoteURL.value_or(QString()));
    seed = combine(seed, e.artworkFileName.value_or(QString()));
    seed = combine(seed, e.audioFileName);
    seed = combine(seed, e.duration.value_or(-1));
    seed = combine(seed, e.sizeBytes);
    seed = combine(seed, e.downloadedAt.toMSecsSinceEpoch());
    return seed;
}

namespace OfflineIndex {

namespace {

// 2001-01-01 00:00:00 UTC in milliseconds since 1970.
constexpr qint64 kReferenceMSecs = 978307200000LL;
// About 3,000 years either way: far beyond any real date, far inside what QDateTime and a
// double's integer range hold.
constexpr double kMaxSeconds = 1e11;

// Appends raw bytes through a pointer into reserved space: the index of a thousand entries
// is encoded in well under a millisecond.
class Output
{
public:
    explicit Output(qsizetype reserve) { m_bytes.reserve(reserve); }

    // Room for `n` more bytes; returns where to write them.
    char *room(qsizetype n)
    {
        const qsizetype used = m_bytes.size();
        if (m_bytes.capacity() - used < n)
            m_bytes.reserve(std::max(m_bytes.capacity() * 2, used + n));
        m_bytes.resize(used + n);
        return m_bytes.data() + used;
    }
    void commit(const char *end) { m_bytes.resize(end - m_bytes.constData()); }

    void append(char c) { *room(1) = c; }
    void append(const char *text, qsizetype n) { std::memcpy(room(n), text, size_t(n)); }
    template<size_t N> void literal(const char (&text)[N]) { append(text, N - 1); }

    void integer(qint64 value)
    {
        char *d = room(24);
        commit(std::to_chars(d, d + 24, value).ptr);
    }

    // A JSON string: UTF-16 to UTF-8, quotes, backslashes and control characters escaped.
    void string(const QString &text)
    {
        // Worst case per UTF-16 unit: 6 bytes (\u00XX); a surrogate pair gives 4 bytes for 2.
        char *d = room(text.size() * 6 + 2);
        *d++ = '"';
        const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
        const char16_t *end = p + text.size();
        static const char hex[] = "0123456789abcdef";
        while (p < end) {
            char32_t c = *p++;
            if (c < 0x80) {
                if (c >= 0x20 && c != '"' && c != '\\') {
                    *d++ = char(c);
                    continue;
                }
                *d++ = '\\';
                switch (c) {
                case '"': *d++ = '"'; break;
                case '\\': *d++ = '\\'; break;
                case '\n': *d++ = 'n'; break;
                case '\r': *d++ = 'r'; break;
                case '\t': *d++ = 't'; break;
                case '\b': *d++ = 'b'; break;
                case '\f': *d++ = 'f'; break;
                default:
                    *d++ = 'u';
                    *d++ = '0';
                    *d++ = '0';
                    *d++ = hex[c >> 4];
                    *d++ = hex[c & 0xf];
                }
                continue;
            }
            if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
                c = QChar::surrogateToUcs4(char16_t(c), *p++);
            } else if (QChar::isSurrogate(c)) {
                c = 0xfffd; // a lone surrogate cannot be written as UTF-8
            }
            if (c < 0x800) {
                *d++ = char(0xc0 | (c >> 6));
            } else if (c < 0x10000) {
                *d++ = char(0xe0 | (c >> 12));
                *d++ = char(0x80 | ((c >> 6) & 0x3f));
            } else {
                *d++ = char(0xf0 | (c >> 18));
                *d++ = char(0x80 | ((c >> 12) & 0x3f));
                *d++ = char(0x80 | ((c >> 6) & 0x3f));
            }
            *d++ = char(0x80 | (c & 0x3f));
        }
        *d++ = '"';
        commit(d);
    }

    QByteArray take() { return std::move(m_bytes); }

private:
    QByteArray m_bytes;
};

template<size_t N>
void appendKey(Output &out, const char (&key)[N], bool &first)
{
    if (!first)
        out.append(',');
    first = false;
    out.append('"');
    out.append(key, N - 1);
    out.literal("\":");
}

// Milliseconds since 2001 written as seconds, exactly: "0", "12.5", "-3.25".
void appendSeconds(Output &out, qint64 msecs)
{
    if (msecs < 0) {
        out.append('-');
        // Cannot overflow: dates are far inside the 64-bit range.
        msecs = -msecs;
    }
    out.integer(msecs / 1000);
    qint64 fraction = msecs % 1000;
    if (fraction != 0) {
        char digits[4] = {'.', char('0' + fraction / 100), char('0' + fraction / 10 % 10),
                          char('0' + fraction % 10)};
        int n = 4;
        while (digits[n - 1] == '0')
            --n;
        out.append(digits, n);
    }
}

void appendEntry(Output &out, const OfflineTrackEntry &e)
{
    bool first = true;
    out.append('{');
    appendKey(out, "key", first);
    out.string(e.key);
    if (e.trackType) {
        appendKey(out, "trackType", first);
        out.string(*e.trackType);
    }
    if (e.trackID) {
        appendKey(out, "trackID", first);
        out.string(*e.trackID);
    }
    appendKey(out, "title", first);
    out.string(e.title);
    appendKey(out, "artist", first);
    out.string(e.artist);
    if (e.artworkRemoteURL) {
        appendKey(out, "artworkRemoteURL", first);
        out.string(*e.artworkRemoteURL);
    }
    if (e.artworkFileName) {
        appendKey(out, "artworkFileName", first);
        out.string(*e.artworkFileName);
    }
    appendKey(out, "audioFileName", first);
    out.string(e.audioFileName);
    if (e.duration) {
        appendKey(out, "duration", first);
        out.integer(*e.duration);
    }
    appendKey(out, "sizeBytes", first);
    out.integer(e.sizeBytes);
    appendKey(out, "downloadedAt", first);
    appendSeconds(out, e.downloadedAt.toMSecsSinceEpoch() - kReferenceMSecs);
    out.append('}');
}

// Field readers: an absent or null optional gives none; any present value of the wrong type
// makes `ok` false.
bool readString(const QJsonObject &o, const char *key, QString &out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool readOptionalString(const QJsonObject &o, const char *key, std::optional<QString> &out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool readInteger(const QJsonValue &v, qint64 min, qint64 max, qint64 &out)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < -9.2e18 || d > 9.2e18)
        return false;
    const qint64 i = v.toInteger();
    if (i < min || i > max)
        return false;
    out = i;
    return true;
}

std::optional<OfflineTrackEntry> decodeEntry(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    OfflineTrackEntry e;
    if (!readString(o, "key", e.key) || !readOptionalString(o, "trackType", e.trackType)
        || !readOptionalString(o, "trackID", e.trackID) || !readString(o, "title", e.title)
        || !readString(o, "artist", e.artist)
        || !readOptionalString(o, "artworkRemoteURL", e.artworkRemoteURL)
        || !readOptionalString(o, "artworkFileName", e.artworkFileName)
        || !readString(o, "audioFileName", e.audioFileName)) {
        return std::nullopt;
    }
    const QJsonValue duration = o.value(QLatin1String("duration"));
    if (!duration.isUndefined() && !duration.isNull()) {
        qint64 d = 0;
        if (!readInteger(duration, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), d))
            return std::nullopt;
        e.duration = d;
    }
    if (!readInteger(o.value(QLatin1String("sizeBytes")), std::numeric_limits<qint64>::min(),
                     std::numeric_limits<qint64>::max(), e.sizeBytes)) {
        return std::nullopt;
    }
    const QJsonValue at = o.value(QLatin1String("downloadedAt"));
    if (!at.isDouble())
        return std::nullopt;
    const auto date = dateFromSecondsSince2001(at.toDouble());
    if (!date)
        return std::nullopt;
    e.downloadedAt = *date;
    return e;
}

} // namespace

double secondsSince2001(const QDateTime &date)
{
    return double(date.toMSecsSinceEpoch() - kReferenceMSecs) / 1000.0;
}

std::optional<QDateTime> dateFromSecondsSince2001(double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxSeconds)
        return std::nullopt;
    const qint64 msecs = std::llround(seconds * 1000.0);
    return QDateTime::fromMSecsSinceEpoch(msecs + kReferenceMSecs, Qt::UTC);
}

QByteArray encode(const QList<OfflineTrackEntry> &entries)
{
    Output out(entries.size() * 400 + 2);
    out.append('[');
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (i > 0)
            out.append(',');
        appendEntry(out, entries.at(i));
    }
    out.append(']');
    return out.take();
}

std::optional<QList<OfflineTrackEntry>> decode(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    const QJsonArray array = doc.array();
    QList<OfflineTrackEntry> entries;
    entries.reserve(array.size());
    for (const QJsonValue &value : array) {
        auto entry = decodeEntry(value);
        if (!entry)
            return std::nullopt;
        entries.append(std::move(*entry));
    }
    return entries;
}

QList<OfflineTrackEntry> salvage(const QByteArray &json)
{
    QList<OfflineTrackEntry> entries;
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    qsizetype elementStart = -1;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json.at(i);
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
        case '"':
            inString = true;
            break;
        case '[':
        case '{':
            if (depth == 1 && c == '{')
                elementStart = i;
            ++depth;
            break;
        case ']':
        case '}':
            if (--depth == 1 && c == '}' && elementStart >= 0) {
                const QJsonDocument element = QJsonDocument::fromJson(json.mid(elementStart, i + 1 - elementStart));
                if (auto entry = decodeEntry(element.object()))
                    entries.append(std::move(*entry));
                elementStart = -1;
            }
            if (depth <= 0)
                return entries;
            break;
        default:
            break;
        }
    }
    return entries;
}

void sortNewestFirst(QList<OfflineTrackEntry> &entries)
{
    // QDateTime comparisons are costly; compare the instants once taken out.
    std::vector<std::pair<qint64, qsizetype>> order;
    order.reserve(size_t(entries.size()));
    for (qsizetype i = 0; i < entries.size(); ++i)
        order.emplace_back(entries.at(i).downloadedAt.toMSecsSinceEpoch(), i);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    QList<OfflineTrackEntry> sorted;
    sorted.reserve(entries.size());
    for (const auto &[at, index] : order)
        sorted.append(std::move(entries[index]));
    entries = std::move(sorted);
}

QString sniffAudioExtension(const QByteArray &data)
{
    if (data.size() < 13)
        return QStringLiteral("mp3");
    const QByteArray head = data.first(12);
    if (head.startsWith("RIFF"))
        return QStringLiteral("wav");
    if (head.startsWith("ID3"))
        return QStringLiteral("mp3");
    if (head.mid(4, 4) == "ftyp")
        return QStringLiteral("m4a");
    return QStringLiteral("mp3");
}

bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && !name.contains(QChar(0));
}

} // namespace OfflineIndex
