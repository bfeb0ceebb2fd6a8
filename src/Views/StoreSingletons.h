#pragma once

// The shared stores as QML singletons: this is how every screen, sheet, full-screen cover and
// pushed page reaches the same store instances (`melodriftEnvironment`).
//
// The stores live in melodrift_core and know nothing of QML. Each gets a small foreign wrapper
// here: QML_FOREIGN names the store, QML_SINGLETON makes it a singleton of the Melodrift module,
// and create() hands the engine the process-wide instance with C++ ownership. Without create()
// the engine would build a second instance; without the ownership call it would delete the store
// when the engine goes away. To publish another store, copy one wrapper and change the names:
//
//     struct RadioPlayerSingleton
//     {
//         Q_GADGET
//         QML_FOREIGN(RadioPlayer)
//         QML_NAMED_ELEMENT(RadioPlayer)
//         QML_SINGLETON
//     public:
//         static RadioPlayer *create(QQmlEngine *, QJSEngine *engine) { return sharedStore<RadioPlayer>(engine); }
//     };
//
// QML then uses it by its name (`RadioPlayer.isPlaying`, `ShazamManager.requestOpen(true)`), and a
// Q_PROPERTY of type `RadioPlayer *` in a screen model is understood by QML as well.

#include "Services/AuthStore.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "Services/ShazamManager.h"
#include "Services/StationStore.h"

#include <QJSEngine>
#include <QQmlEngine>
#include <QtQml/qqmlregistration.h>

#include <type_traits>

// The store's shared instance, marked as owned by C++ for the engine. Accepts shared() returning
// either a reference or a pointer.
template <typename Store>
Store *sharedStore(QJSEngine *)
{
    Store *store = nullptr;
    if constexpr (std::is_pointer_v<decltype(Store::shared())>)
        store = Store::shared();
    else
        store = &Store::shared();
    QJSEngine::setObjectOwnership(store, QJSEngine::CppOwnership);
    return store;
}

struct ShazamManagerSingleton
{
    Q_GADGET
    QML_FOREIGN(ShazamManager)
    QML_NAMED_ELEMENT(ShazamManager)
    QML_SINGLETON
public:
    static ShazamManager *create(QQmlEngine *, QJSEngine *engine) { return sharedStore<ShazamManager>(engine); }
};

struct RadioPlayerSingleton
{
    Q_GADGET
    QML_FOREIGN(RadioPlayer)
    QML_NAMED_ELEMENT(RadioPlayer)
    QML_SINGLETON
public:
    static RadioPlayer *create(QQmlEngine *, QJSEngine *engine) { return sharedStore<RadioPlayer>(engine); }
};

struct StationStoreSingleton
{
    Q_GADGET
    QML_FOREIGN(StationStore)
    QML_NAMED_ELEMENT(StationStore)
    QML_SINGLETON
public:
    static StationStore *create(QQmlEngine *, QJSEngine *engine) { return sharedStore<StationStore>(engine); }
};

struct OfflineStoreSingleton
{
    Q_GADGET
    QML_FOREIGN(OfflineStore)
    QML_NAMED_ELEMENT(OfflineStore)
    QML_SINGLETON
public:
    static OfflineStore *create(QQmlEngine *, QJSEngine *engine) { return sharedStore<OfflineStore>(engine); }
};

struct AuthStoreSingleton
{
    Q_GADGET
    QML_FOREIGN(AuthStore)
    QML_NAMED_ELEMENT(AuthStore)
    QML_SINGLETON
public:
    static AuthStore *create(QQmlEngine *, QJSEngine *engine) { return sharedStore<AuthStore>(engine); }
};
