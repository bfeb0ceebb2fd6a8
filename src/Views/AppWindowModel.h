#pragma once

#include <QObject>
#include <QPointer>
#include <QStringView>
#include <QtQml/qqmlregistration.h>

class ShazamManager;
class StationStore;

// The main window's scene: the start-up load of the catalogue when the window first appears,
// the reload and the check for a pending recognition request each time the application becomes
// active, and the handler of the addresses the application is asked to open.
//     AppWindowModel { id: scene }
//     Component.onCompleted: scene.windowAppeared()
// It follows the application's state itself (Qt::ApplicationActive is the scene becoming active).
class AppWindowModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT

public:
    explicit AppWindowModel(QObject *parent = nullptr);
    // Tests hand in their own; both must outlive the model.
    AppWindowModel(StationStore *store, ShazamManager *shazam, QObject *parent = nullptr);

    // "melodrift://shazam": the scheme exactly "melodrift" and the host exactly "shazam", both
    // compared on the raw text, case-sensitively.
    static bool isRecognitionURL(QStringView url);
    // The URL handler: the recognition address opens the recognition sheet listening; anything
    // else is ignored. Returns whether the address was acted on.
    static bool openURL(QStringView url, ShazamManager &shazam);
    Q_INVOKABLE bool openURL(const QString &url);

    // The window appeared: the catalogue is loaded (not forced), once per window.
    Q_INVOKABLE void windowAppeared();
    // The application became active: reload while the catalogue is empty, then answer a
    // recognition request a shortcut left shortly before.
    Q_INVOKABLE void becameActive();

private:
    QPointer<StationStore> m_store;
    QPointer<ShazamManager> m_shazam;
    bool m_started = false;
};
