#pragma once

#include "support/DemoCatalogue.h"
#include "support/StandInServer.h"

#include <QUrl>

namespace standin {

// Routes of a backend that misbehaves, for tests and `melodrift-stand-in --hostile`:
//   GET, POST /hostile/endless/<any>  200 with a body that never ends (no length announced); a name
//                                     ending in ".jpg" starts like a JPEG, others like JSON
//   GET, POST /hostile/huge/<any>     announces 100 GiB of audio and sends bytes without end
//   GET  /hostile/stall/<id>.mp3      announces a whole 60 s MP3 track, sends its first quarter,
//                                     then nothing more while keeping the connection open
//   GET  /hostile/giant.jpg           a real 5600 x 5600 JPEG
//   GET  /hostile/giant-<any>.gif     a real 5000 x 5000 GIF of about 20 KB (no format that
//                                     cannot be scaled while decoding is smaller for its size)
//   GET  /hostile/trickle/<any>       a 600-byte picture sent one byte a second
//   GET  /hostile/long-lyrics/<any>   lyrics whose one line holds 1.9 million letters; so do
//                                     the backend's lyrics of a track titled "Long Line"
//   any  /hostile/redirect/<code>     <code> (301, 302, 303, 307, 308) to the address in "?to="
void installHostileRoutes(StandInServer &server);

// A catalogue whose addresses misbehave: device-file artwork ("file:///dev/zero",
// "file:///dev/urandom"), endless, giant, trickling and giant-GIF artwork, artwork behind a
// redirect to another origin,
// a stalling track, a track announced as 100 GiB, and one plain live station.
DemoCatalogue hostileCatalogue(const QUrl &base);

// The bodies of the giant JPEG and GIF and of the trickling picture.
QByteArray giantJpeg();
QByteArray giantGif();
QByteArray tricklingPicture();
// A lyrics reply whose first line holds 1.9 million Persian letters (a 3.8 MB body).
Reply longLineLyrics();

} // namespace standin
