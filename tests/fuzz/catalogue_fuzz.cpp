// Feeds arbitrary bytes to the catalogue decoder. Any input must either decode or throw
// DecodingError; a decoded catalogue must survive its derived properties and an encode/decode
// round trip unchanged.
#include "Models/Station.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void exercise(const Station &s)
{
    const qint64 index = s.normalizedTrackIndex();
    if (s.hasTracks()) {
        check(index >= 0 && index < s.tracks->size());
        check(s.currentTrack() == &s.tracks->at(index));
    } else {
        check(index == 0 && s.currentTrack() == nullptr);
    }
    (void)s.displayName();
    (void)s.displayTrackTitle();
    (void)s.displayArtist();
    (void)s.needsHydration();
    (void)s.currentStreamURL();
    (void)s.currentTrackID();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    StationsResponse response;
    try {
        response = json::decode<StationsResponse>(bytes);
    } catch (const DecodingError &) {
        return 0;
    }
    if (response.data) {
        for (const Station &s : *response.data)
            exercise(s);
    }
    // What we encode, we decode again to the same records.
    const QByteArray encoded = QJsonDocument(response.toJson()).toJson(QJsonDocument::Compact);
    const StationsResponse again = json::decode<StationsResponse>(encoded);
    check(again.code == response.code && again.message == response.message);
    check(again.data.has_value() == response.data.has_value());
    if (response.data) {
        check(again.data->size() == response.data->size());
        for (qsizetype i = 0; i < response.data->size(); ++i) {
            const Station &a = response.data->at(i);
            const Station &b = again.data->at(i);
            check(a == b && a.tracks == b.tracks && a.serverName == b.serverName
                  && a.elapsedSeconds == b.elapsedSeconds && a.trackCount == b.trackCount);
        }
    }
    return 0;
}
