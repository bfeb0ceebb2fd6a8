#pragma once

#include <QString>

#include <memory>

namespace standin {

class StandInServer;
class AccountState;
struct DemoCatalogue;

// Large but legal replies for the list screens, every row with artwork of its own
// ("/artwork/bulk-<kind>-<n>.jpg", so a test can count what the screens fetch):
//   - the demo account gets `count` more playlists of one track each, and one playlist,
//     "bulkPlaylistTitle", of `count` tracks (its id is returned);
//   - the catalogue gains the songsara station "songsara-bulk", whose list holds `count` tracks;
//   - every SoundCloud search answers `count` results.
// Installed after the demo catalogue and the account routes (melodrift-stand-in --bulk N).
struct BulkLibrary {
    qint64 bigPlaylistID = 0;
    int count = 0;

    static inline const QString bulkPlaylistTitle = QStringLiteral("Bulk playlist");
    static inline const QString stationKey = QStringLiteral("bulk");
    static inline const QString artworkPrefix = QStringLiteral("/artwork/bulk-");
};

BulkLibrary installBulkLibrary(StandInServer &server, AccountState &state,
                               const std::shared_ptr<DemoCatalogue> &catalogue, int count);

} // namespace standin
