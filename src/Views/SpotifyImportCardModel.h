#pragma once

#include "Models/APIModels.h"
#include "Models/Station.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <optional>

class APIClient;
class AuthStore;
class RadioPlayer;

// The library tab's Spotify card: the link field, the resolved playlist's preview, playing it as
// a "spotify-e-" station and saving it as one of the listener's playlists. While a save runs,
// further saves are ignored, so a double tap never makes two playlists.
//
//     SpotifyImportCardModel { id: model }
//     model.pasteClipboard()   // the paste button
class SpotifyImportCardModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The link field's text as typed or pasted.
    Q_PROPERTY(QString link READ link WRITE setLink NOTIFY linkChanged)
    // Not resolving, and the link without spaces and tabs at either end is not empty.
    Q_PROPERTY(bool canResolve READ canResolve NOTIFY canResolveChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    // The card's status or error line; empty when there is none.
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    // A resolved playlist is previewed.
    Q_PROPERTY(bool hasEntity READ hasEntity NOTIFY entityChanged)
    Q_PROPERTY(QString entityTitle READ entityTitle NOTIFY entityChanged)
    // "<count> آهنگ · <artist>".
    Q_PROPERTY(QString entityDetail READ entityDetail NOTIFY entityChanged)
    Q_PROPERTY(QString coverURL READ coverURL NOTIFY entityChanged)
    // Signed in: the preview offers saving.
    Q_PROPERTY(bool canSave READ canSave NOTIFY canSaveChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)

public:
    static const QString SavingText;       // "در حال ذخیره…"
    static const QString SavedText;        // "ذخیره شد"
    static const QString UntitledText;     // "پلیلیست اسپاتیفای"

    explicit SpotifyImportCardModel(QObject *parent = nullptr);
    // Tests hand in their own; all must outlive the model.
    SpotifyImportCardModel(RadioPlayer *player, AuthStore *auth, APIClient *client, QObject *parent = nullptr);

    QString link() const { return m_link; }
    void setLink(const QString &link);
    bool canResolve() const;
    bool isLoading() const { return m_isLoading; }
    QString message() const { return m_message; }
    const std::optional<SpotifyEntity> &entity() const { return m_entity; }
    bool hasEntity() const { return m_entity.has_value(); }
    QString entityTitle() const;
    QString entityDetail() const;
    QString coverURL() const;
    bool canSave() const;
    bool isSaving() const { return m_isSaving; }

    // The pasted text without white space and line breaks at either end; empty text changes
    // nothing. Does not resolve.
    Q_INVOKABLE void paste(const QString &text);
    // The paste button: paste() with the clipboard's text.
    Q_INVOKABLE void pasteClipboard();
    // The search button: drops the preview and the line at once and resolves the link.
    Q_INVOKABLE void resolve();
    // The preview's play button: the playlist as a station, then the full player. Nothing
    // without tracks.
    Q_INVOKABLE void play();
    // The preview's save button: imports the link as a playlist and reloads the library. Does
    // nothing signed out or while a save runs.
    Q_INVOKABLE void save();

    // The playlist as a station: nullopt when it has no tracks.
    static std::optional<Station> station(const SpotifyEntity &entity);
    // The playlist's name and description as saved.
    static QString importTitle(const SpotifyEntity &entity);
    static QString importDescription(const SpotifyEntity &entity);

signals:
    void linkChanged();
    void canResolveChanged();
    void isLoadingChanged();
    void messageChanged();
    void entityChanged();
    void canSaveChanged();
    void isSavingChanged();

private:
    QCoro::Task<> runResolve(QString link);
    QCoro::Task<> runImport(QString url, SpotifyEntity entity, QString token);
    void setLoading(bool loading);
    void setSaving(bool saving);
    void setMessage(const QString &message);
    void setEntity(std::optional<SpotifyEntity> entity);

    RadioPlayer *m_player;
    AuthStore *m_auth;
    APIClient *m_client;

    QString m_link;
    std::optional<SpotifyEntity> m_entity;
    bool m_isLoading = false;
    bool m_isSaving = false;
    QString m_message;
};
