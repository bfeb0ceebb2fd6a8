#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <optional>

// One downloaded track as listed in the offline index file "offline_index.json".
// The JSON keys are the field names; optional fields are omitted when absent; `downloadedAt`
// is a plain number of seconds since 2001-01-01 00:00:00 UTC.
struct OfflineTrackEntry
{
    Q_GADGET
    Q_PROPERTY(QString key MEMBER key CONSTANT)
    Q_PROPERTY(QVariant trackType READ trackTypeValue CONSTANT)
    Q_PROPERTY(QVariant trackID READ trackIDValue CONSTANT)
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(QString artist MEMBER artist CONSTANT)
    Q_PROPERTY(QVariant artworkRemoteURL READ artworkRemoteURLValue CONSTANT)
    Q_PROPERTY(QVariant artworkFileName READ artworkFileNameValue CONSTANT)
    Q_PROPERTY(QString audioFileName MEMBER audioFileName CONSTANT)
    Q_PROPERTY(QVariant duration READ durationValue CONSTANT)
    Q_PROPERTY(qint64 sizeBytes MEMBER sizeBytes CONSTANT)
    Q_PROPERTY(QDateTime downloadedAt MEMBER downloadedAt CONSTANT)

public:
    QString key; // the track's offline key; unique within the index
    std::optional<QString> trackType;
    std::optional<QString> trackID;
    QString title;
    QString artist;
    std::optional<QString> artworkRemoteURL; // as the track gave it, not resolved
    std::optional<QString> artworkFileName;  // in the downloads folder
    QString audioFileName;                   // in the downloads folder
    std::optional<qint64> duration;          // seconds
    qint64 sizeBytes = 0;
    QDateTime downloadedAt;

    const QString &id() const { return key; }

    bool operator==(const OfflineTrackEntry &) const = default;

    // For QML: an absent optional reads as undefined.
    QVariant trackTypeValue() const { return optionalValue(trackType); }
    QVariant trackIDValue() const { return optionalValue(trackID); }
    QVariant artworkRemoteURLValue() const { return optionalValue(artworkRemoteURL); }
    QVariant artworkFileNameValue() const { return optionalValue(artworkFileName); }
    QVariant durationValue() const { return duration ? QVariant(*duration) : QVariant(); }

private:
    static QVariant optionalValue(const std::optional<QString> &v) { return v ? QVariant(*v) : QVariant(); }
};

size_t qHash(const OfflineTrackEntry &entry, size_t seed = 0) noexcept;

Q_DECLARE_METATYPE(OfflineTrackEntry)

namespace OfflineIndex {

// Seconds since 2001-01-01 00:00:00 UTC, the reference date of the index file.
double secondsSince2001(const QDateTime &date);
// The inverse; millisecond precision. Absent for values no calendar date can hold.
std::optional<QDateTime> dateFromSecondsSince2001(double seconds);

// The index file: one compact JSON array, keys in field order, in the order given.
QByteArray encode(const QList<OfflineTrackEntry> &entries);
// Strict: any element that is not a well-formed entry fails the whole file (absent result).
std::optional<QList<OfflineTrackEntry>> decode(const QByteArray &json);
// What can still be read of an index that does not decode (cut short, or with a damaged
// element): every element before the damage, or between damaged ones, that is a whole,
// well-formed entry.
QList<OfflineTrackEntry> salvage(const QByteArray &json);

// Newest download first (the order of the published list and of the file).
void sortNewestFirst(QList<OfflineTrackEntry> &entries);

// The file extension of audio from its first bytes: "wav" (RIFF), "mp3" (ID3, or too short to
// tell), "m4a" ("ftyp" at byte 4), else "mp3".
QString sniffAudioExtension(const QByteArray &data);

// True for a name we could have made ourselves: one plain file name inside the downloads
// folder, never a path ("a/b", "..", "" are refused).
bool isPlainFileName(const QString &name);

} // namespace OfflineIndex
