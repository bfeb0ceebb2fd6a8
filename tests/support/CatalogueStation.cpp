#include "support/CatalogueStation.h"

#include "Services/RadioPlayer.h"
#include "Services/StationStore.h"
#include "support/PlaybackTestSupport.h"

namespace testsupport {

bool selectCatalogueStation(const QString &genre, int timeoutMs)
{
    StationStore *store = StationStore::shared();
    store->requestLoad(true);
    if (!waitUntil([store] { return !store->isLoading() && !store->stations().isEmpty(); }, timeoutMs))
        return false;
    for (const Station &station : store->stations()) {
        if (station.genre == genre) {
            RadioPlayer::shared()->select(station);
            return true;
        }
    }
    return false;
}

} // namespace testsupport
