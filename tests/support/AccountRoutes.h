#pragma once

namespace standin {

class StandInServer;
class AccountState;

// Installs the backend's account and library routes on the stand-in server, backed by an
// AccountState that the server owns (with the demo account already in it) and that is returned
// for tests to prepare and inspect:
//
//   POST   /api/auth/login                        {username, password}
//   POST   /api/auth/telegram/init-signup         {username, password, display_name}
//   POST   /api/auth/telegram/verify-signup-otp   {session_id, otp_code}
//   POST   /api/auth/telegram/forgot-password     {identifier}
//   POST   /api/auth/telegram/reset-password      {session_id, otp_code, new_password}
//   POST   /api/auth/logout                       bearer
//   GET    /api/auth/me                           bearer
//   GET    /api/playlists                         bearer
//   POST   /api/playlists                         bearer {title, description}
//   GET    /api/playlists/<id>                    bearer optional
//   PUT    /api/playlists/<id>                    bearer {title, description}
//   DELETE /api/playlists/<id>                    bearer
//   POST   /api/playlists/<id>/tracks             bearer {track_type, track_id, title, artist,
//                                                         stream_url, artwork_url, duration}
//   PUT    /api/playlists/<id>/tracks/<track>     bearer {title, artist}; <track> is the row id,
//   DELETE /api/playlists/<id>/tracks/<track>     bearer   else the track's track_id
//   GET    /api/favorites                         bearer
//   POST   /api/favorites/toggle                  bearer {the seven track keys}
//   GET    /api/lyrics?genre=&title=&artist=&duration=
//   GET    /api/soundcloud/search?q=
//   GET    /api/spotify/resolve?url=
//   POST   /api/spotify/import                    bearer {url, title, description}
//   POST   /api/telegram/download-token           {track_type, track_id, title, artist,
//                                                  stream_url, artwork_url, seconds}
//   POST   /api/shazam                            raw audio, Content-Type audio/*
//   GET    /media/library/<track>.mp3 | .jpg      the library catalogue's audio and artwork
//
// Refusals are JSON {"code": status, "message": Persian text} with a 4xx status. Sign-up and
// reset codes are printed as "[stand-in] telegram code for ...: NNNNNN (session ...)" and are
// readable from the state (lastCode(), codeFor(), the codeSent signal).
AccountState &installAccountRoutes(StandInServer &server);

} // namespace standin
