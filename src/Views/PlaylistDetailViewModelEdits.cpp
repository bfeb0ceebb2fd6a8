#include "PlaylistDetailViewModel.h"

#include "Services/APIClient.h"
#include "Services/AuthStore.h"

#include <QPointer>

// The four edits of the playlist detail screen: each sends one request with the session token,
// shows the busy overlay until its reloads are in, and shows a failure in the error view.
//   name and description: PUT, then the library, then the detail
//   the playlist:         DELETE, then the library, then the page leaves
//   a track's fields:     PUT, then the detail
//   a track:              DELETE, then the detail, then the library
// A page that goes away meanwhile is not written to; the library reloads still run.

void PlaylistDetailViewModel::setEditFields(const QString &title, const QString &description)
{
    m_editTitle = title;
    m_editDesc = description;
    emit editFieldsChanged();
}

void PlaylistDetailViewModel::setTrackEditFields(const QString &title, const QString &artist)
{
    m_editTrackTitle = title;
    m_editTrackArtist = artist;
    emit editFieldsChanged();
}

void PlaylistDetailViewModel::showFailure(const std::exception &error)
{
    setError(describe(error));
    setBusy(false);
}

void PlaylistDetailViewModel::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    emit busyChanged();
}

// ------------------------------------------------------------------ dialogs

void PlaylistDetailViewModel::setDialogFlag(bool &flag, bool shown)
{
    if (flag == shown)
        return;
    flag = shown;
    emit dialogsChanged();
}

void PlaylistDetailViewModel::setShowEditSheet(bool shown)
{
    setDialogFlag(m_showEditSheet, shown);
}

void PlaylistDetailViewModel::setShowDeleteConfirm(bool shown)
{
    setDialogFlag(m_showDeleteConfirm, shown);
}

void PlaylistDetailViewModel::setShowEditTrackSheet(bool shown)
{
    setDialogFlag(m_showEditTrackSheet, shown);
}

void PlaylistDetailViewModel::setShowDeleteTrackConfirm(bool shown)
{
    // Only closing means something: a track is chosen through chooseTrackToDelete().
    if (shown || !m_trackToDelete)
        return;
    m_trackToDelete.reset();
    emit dialogsChanged();
}

QString PlaylistDetailViewModel::trackToDeleteTitle() const
{
    return m_trackToDelete ? m_trackToDelete->title.value_or(QString()) : QString();
}

void PlaylistDetailViewModel::prepareEdit()
{
    if (m_detail && m_detail->title)
        m_editTitle = *m_detail->title;
    else
        m_editTitle = m_summary.title.value_or(QString());
    m_editDesc = m_detail ? m_detail->description.value_or(QString()) : QString();
    emit editFieldsChanged();
    setShowEditSheet(true);
}

void PlaylistDetailViewModel::prepareTrackEdit(int index)
{
    const PlaylistTrack *track = trackAt(index);
    if (!track)
        return;
    m_trackToEdit = *track;
    setTrackEditFields(track->title.value_or(QString()), track->artist.value_or(QString()));
    setShowEditTrackSheet(true);
}

void PlaylistDetailViewModel::chooseTrackToDelete(int index)
{
    const PlaylistTrack *track = trackAt(index);
    if (!track)
        return;
    m_trackToDelete = *track;
    emit dialogsChanged();
}

void PlaylistDetailViewModel::saveEdit()
{
    runSaveEdit();
}

void PlaylistDetailViewModel::deletePlaylist()
{
    runDeletePlaylist();
}

void PlaylistDetailViewModel::saveTrackEdit()
{
    runSaveTrackEdit();
}

void PlaylistDetailViewModel::confirmDeleteTrack()
{
    runDeleteTrack(m_trackToDelete);
}

// ------------------------------------------------------------------ flows

QCoro::Task<bool> PlaylistDetailViewModel::sendEdit(QCoro::Task<> request)
{
    QPointer<PlaylistDetailViewModel> self(this);
    setBusy(true);
    try {
        co_await std::move(request);
    } catch (const std::exception &e) {
        if (self)
            showFailure(e);
        co_return false;
    }
    co_return true;
}

QCoro::Task<> PlaylistDetailViewModel::runSaveEdit()
{
    const std::optional<QString> token = m_auth->token();
    if (!token)
        co_return;
    QPointer<PlaylistDetailViewModel> self(this);
    AuthStore *auth = m_auth;
    // Sent exactly as typed: an empty name is sent empty.
    if (!co_await sendEdit(m_client->updatePlaylist(m_summary.id, m_editTitle, m_editDesc, *token)))
        co_return;
    co_await auth->loadLibrary();
    if (self)
        co_await loadDetail();
    if (self)
        setBusy(false);
}

QCoro::Task<> PlaylistDetailViewModel::runDeletePlaylist()
{
    const std::optional<QString> token = m_auth->token();
    if (!token)
        co_return;
    QPointer<PlaylistDetailViewModel> self(this);
    AuthStore *auth = m_auth;
    if (!co_await sendEdit(m_client->deletePlaylist(m_summary.id, *token)))
        co_return;
    co_await auth->loadLibrary();
    if (self)
        emit dismissRequested();
    if (self)
        setBusy(false);
}

QCoro::Task<> PlaylistDetailViewModel::runSaveTrackEdit()
{
    const std::optional<QString> token = m_auth->token();
    if (!m_trackToEdit || !token)
        co_return;
    const QString identifier = TrackRows::identifier(*m_trackToEdit);
    if (identifier.isEmpty())
        co_return;
    QPointer<PlaylistDetailViewModel> self(this);
    if (!co_await sendEdit(m_client->updatePlaylistTrack(m_summary.id, identifier, m_editTrackTitle,
                                                         m_editTrackArtist, *token)))
        co_return;
    if (!self)
        co_return;
    setShowEditTrackSheet(false);
    m_trackToEdit.reset();
    co_await loadDetail();
    if (self)
        setBusy(false);
}

QCoro::Task<> PlaylistDetailViewModel::runDeleteTrack(std::optional<PlaylistTrack> track)
{
    const std::optional<QString> token = m_auth->token();
    if (!track || !token)
        co_return;
    const QString identifier = TrackRows::identifier(*track);
    if (identifier.isEmpty()) {
        setShowDeleteTrackConfirm(false);
        co_return;
    }
    QPointer<PlaylistDetailViewModel> self(this);
    AuthStore *auth = m_auth;
    if (!co_await sendEdit(m_client->deletePlaylistTrack(m_summary.id, identifier, *token)))
        co_return;
    if (self) {
        setShowDeleteTrackConfirm(false);
        co_await loadDetail();
    }
    co_await auth->loadLibrary();
    if (self)
        setBusy(false);
}
