#!/usr/bin/env bash
# Renders named screens to PNG files for review, under Xvfb inside a private session bus, with the
# stand-in backend running in process.
#   scripts/screenshots.sh [build-dir] [out-dir] [name-prefix]
# With a name prefix only the shots whose names start with it are made ("app-").
# Each shot is one line of `shots` below: a file name, then melodrift-screenshot's arguments
# (--screen <module file> or --qml <host file>, --set name=value, --size WxH, --wait ms,
# --script METHOD:PATH:STATUS[:DELAY_MS], --args <launch arguments, comma-separated>, --backend-down,
# --keys <keys pressed after the wait, comma-separated>).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/screenshots}
only=${3:-}
tool="$build/tests/melodrift-screenshot"

shots=(
  "kit-gallery           --screen KitGallery"
  "kit-gallery-sheet     --screen KitGallery --set showSheet=true"
  "kit-gallery-cover     --screen KitGallery --set showCover=true"
  "kit-gallery-tinted    --screen KitGallery --set tint=#e0604a"
  "kit-symbols           --screen KitSymbolGrid --size 430x1000"
  "kit-navigation        --qml tests/screens/KitNavigation.qml"
  "station-grid              --qml tests/screens/StationScene.qml --wait 1500"
  "station-grid-playing      --qml tests/screens/StationScene.qml --set playGenre=jazz --wait 4000"
  "station-grid-paused       --qml tests/screens/StationScene.qml --set playGenre=persian --set pauseAfterStart=true --wait 4000"
  "detail-rotation           --qml tests/screens/StationScene.qml --set detailGenre=persian --wait 1500"
  "detail-rotation-playing   --qml tests/screens/StationScene.qml --set detailGenre=persian --set playGenre=persian --wait 4000"
  "detail-live               --qml tests/screens/StationScene.qml --set detailGenre=pop-live --wait 1500"
  "detail-songsara-loading   --qml tests/screens/StationScene.qml --set detailGenre=songsara-piano --script GET:/api/songsara/playlist/piano:200:60000 --wait 1500"
  "detail-songsara-failed    --qml tests/screens/StationScene.qml --set detailGenre=songsara-piano --script GET:/api/songsara/playlist/piano:500 --wait 1500"
  "detail-songsara-list      --qml tests/screens/StationScene.qml --set detailGenre=songsara-piano --wait 1500"
  "mini-bar-playing          --qml tests/screens/StationScene.qml --set playGenre=jazz --set barOnly=true --size 430x100 --wait 4000"
  "app-home                  --qml tests/screens/AppScene.qml --wait 2000"
  "app-home-iranian          --qml tests/screens/AppScene.qml --set category=1 --wait 2000"
  "app-home-international    --qml tests/screens/AppScene.qml --set category=2 --wait 2000"
  "app-home-instrumental     --qml tests/screens/AppScene.qml --set category=3 --wait 2000"
  "app-home-wide             --qml tests/screens/AppScene.qml --size 900x700 --wait 2000"
  "app-home-loading          --qml tests/screens/AppScene.qml --script GET:/api/stations:200:60000 --wait 1500"
  "app-home-error            --qml tests/screens/AppScene.qml --backend-down --wait 2500"
  "app-home-playing          --qml tests/screens/AppScene.qml --set playGenre=jazz --wait 5000"
  "app-full-player           --qml tests/screens/AppScene.qml --set playGenre=persian --set showFullPlayer=true --wait 5000"
  "app-debug-detail          --qml tests/screens/AppScene.qml --args --debug-detail --wait 2500"
  "app-debug-player-no-cover --qml tests/screens/AppScene.qml --args --debug-player,--no-cover --wait 5000"
  "app-debug-login           --qml tests/screens/AppScene.qml --args --debug-login --wait 2000"
  "app-recognition           --qml tests/screens/AppScene.qml --set openRecognition=true --wait 2000"
  "app-library               --qml tests/screens/AppScene.qml --set currentTab=1 --wait 2000"
  "recognition-idle          --qml tests/screens/RecognitionScene.qml --wait 2000"
  "recognition-listening     --qml tests/screens/RecognitionScene.qml --set listen=true --wait 3500"
  "recognition-processing    --qml tests/screens/RecognitionScene.qml --set listen=true --script POST:/api/shazam:200:60000 --wait 8000"
  "recognition-result        --qml tests/screens/RecognitionScene.qml --set listen=true --wait 9000"
  "recognition-error         --qml tests/screens/RecognitionScene.qml --set listen=true --script POST:/api/shazam:404 --wait 9000"
  "story-picker              --qml tests/screens/StoryScene.qml --size 430x900 --wait 2500"
  "story-loading             --qml tests/screens/StoryScene.qml --size 430x900 --script GET:/api/lyrics:200:60000 --wait 2500"
  "story-failed              --qml tests/screens/StoryScene.qml --size 430x900 --script GET:/api/lyrics:500 --wait 2500"
  "story-no-lyrics           --qml tests/screens/StoryScene.qml --size 430x900 --set genre=ambient --wait 2500"
  "story-rendering           --qml tests/screens/StoryScene.qml --size 430x900 --set renderNow=true --wait 3500"
  "story-result              --qml tests/screens/StoryScene.qml --size 430x900 --set renderNow=true --wait 25000"
  "library-playlist-loading      --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --script GET:/api/playlists/1:200:60000 --wait 1200"
  "library-playlist-failed       --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --script GET:/api/playlists/1:500 --wait 1200"
  "library-playlist              --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --wait 1500"
  "library-playlist-downloading  --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --set downloadRows=[0,2] --script GET:/media/library/lib-mahtab.mp3:200:60000 --wait 2500"
  "library-playlist-busy         --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --set busy=true --script PUT:/api/playlists/1:200:60000 --wait 1500"
  "library-edit-playlist         --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --set dialog=edit --wait 1500"
  "library-delete-playlist       --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --set dialog=delete --wait 1500"
  "library-edit-track            --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --set dialog=editTrack --wait 1500"
  "library-delete-track          --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --set dialog=deleteTrack --wait 1500"
  "library-offline-empty         --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set offline=true --wait 1500"
  "library-offline-running       --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --set downloadRows=[0,1] --set offline=true --script GET:/media/library/lib-mahtab.mp3:200:60000 --wait 3000"
  "library-offline-full          --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --set downloadRows=[0,1,2] --set offline=true --wait 8000"
  "library-tab-signed-out        --qml tests/screens/LibraryTabScene.qml --wait 1500"
  "library-tab                   --qml tests/screens/LibraryTabScene.qml --sign-in demo:demo1234 --wait 1500"
  "library-tab-wide              --qml tests/screens/LibraryTabScene.qml --sign-in demo:demo1234 --size 900x700 --wait 1500"
  "library-tab-playing           --qml tests/screens/LibraryTabScene.qml --sign-in demo:demo1234 --set playFavorites=true --wait 4000"
  "library-tab-no-playlists      --qml tests/screens/LibraryTabScene.qml --sign-in demo:demo1234 --no-playlists --wait 1500"
  "library-tab-delete            --qml tests/screens/LibraryTabScene.qml --sign-in demo:demo1234 --set deleteIndex=0 --wait 1500"
  "library-add-signed-out        --qml tests/screens/AddSheetScene.qml --wait 1200"
  "library-add-empty             --qml tests/screens/AddSheetScene.qml --sign-in demo:demo1234 --no-playlists --wait 1200"
  "library-add-list              --qml tests/screens/AddSheetScene.qml --sign-in demo:demo1234 --wait 1200"
  "library-add-adding            --qml tests/screens/AddSheetScene.qml --sign-in demo:demo1234 --set addRow=1 --script POST:/api/playlists/1/tracks:201:60000 --wait 1500"
  "library-add-created           --qml tests/screens/AddSheetScene.qml --sign-in demo:demo1234 --set createName=میکس_شب --script POST:/api/playlists/3/tracks:201:60000 --wait 1500"
  "mini-bar-buffering        --qml tests/screens/StationScene.qml --set playGenre=pop-live --set barOnly=true --size 430x100 --script GET:/live/pop-live:200:60000 --wait 2500"
  "full-player-rotation          --qml tests/screens/AppScene.qml --set playGenre=persian --set showFullPlayer=true --wait 5000"
  "full-player-rotation-compact  --qml tests/screens/AppScene.qml --set playGenre=persian --set showFullPlayer=true --size 430x700 --wait 5000"
  "full-player-live              --qml tests/screens/AppScene.qml --set playGenre=tehran-live --set showFullPlayer=true --wait 5000"
  "full-player-live-compact      --qml tests/screens/AppScene.qml --set playGenre=tehran-live --set showFullPlayer=true --size 430x700 --wait 5000"
  "full-player-no-station        --qml tests/screens/AppScene.qml --set showFullPlayer=true --wait 2500"
  "full-player-no-station-compact --qml tests/screens/AppScene.qml --set showFullPlayer=true --size 430x700 --wait 2500"
  "full-player-wide              --qml tests/screens/AppScene.qml --set playGenre=persian --set showFullPlayer=true --size 900x800 --wait 5000"
  "full-player-desktop           --qml tests/screens/AppScene.qml --set playGenre=persian --set showFullPlayer=true --size 1280x800 --wait 5000"
  "a11y-focus-chip           --qml tests/screens/KeyboardFocusScene.qml --set focusName=chip0 --wait 2000"
  "a11y-focus-card           --qml tests/screens/KeyboardFocusScene.qml --set focusName=station_tehran-live --set playGenre=tehran-live --wait 4000"
  "a11y-focus-account        --qml tests/screens/KeyboardFocusScene.qml --set focusName=accountButton --wait 2000"
  "a11y-focus-mini-bar       --qml tests/screens/KeyboardFocusScene.qml --set focusName=playPauseButton --set playGenre=jazz --wait 4000"
  "a11y-ring-sheet-close     --qml tests/screens/AccountScene.qml --wait 800 --keys Tab"
  "a11y-ring-track-row       --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --wait 1500 --keys Tab,Tab,Tab,Tab"
  "a11y-ring-delete-track    --qml tests/screens/LibraryScene.qml --sign-in demo:demo1234 --set playlistId=1 --wait 1500 --keys Tab,Tab,Tab,Tab,Delete"
  "a11y-ring-save-entry      --qml tests/screens/SaveDialogScene.qml --wait 800 --keys Tab,Tab,Tab"
  "account-login             --qml tests/screens/AccountScene.qml --wait 800"
  "account-login-filled      --qml tests/screens/AccountScene.qml --set shot=login-filled --wait 800"
  "account-login-disabled    --qml tests/screens/AccountScene.qml --set shot=login-disabled --wait 800"
  "account-login-error       --qml tests/screens/AccountScene.qml --set shot=login-error --wait 1500"
  "account-signup            --qml tests/screens/AccountScene.qml --set shot=signup --wait 800"
  "account-telegram          --qml tests/screens/AccountScene.qml --set shot=telegram --args --debug-telegram --wait 1200"
  "account-telegram-late     --qml tests/screens/AccountScene.qml --set shot=telegram-late --args --debug-telegram --wait 1200"
  "account-forgot            --qml tests/screens/AccountScene.qml --set shot=forgot --wait 800"
  "account-reset             --qml tests/screens/AccountScene.qml --set shot=reset --wait 1500"
  "account-done              --qml tests/screens/AccountScene.qml --set shot=done --wait 2000"
  "account-sheet             --qml tests/screens/AccountScene.qml --set shot=account --wait 2000"
  "sheets-lyrics-loading     --qml tests/screens/PlayerSheetsScene.qml --set playGenre=persian --script GET:/api/lyrics:200:60000 --wait 2500"
  "sheets-lyrics-synced      --qml tests/screens/PlayerSheetsScene.qml --set playGenre=persian --set showTranslation=false --wait 9000"
  "sheets-lyrics-translated  --qml tests/screens/PlayerSheetsScene.qml --set playGenre=persian --wait 9000"
  "sheets-lyrics-none        --qml tests/screens/PlayerSheetsScene.qml --set playGenre=ambient --wait 3000"
  "sheets-lyrics-failed      --qml tests/screens/PlayerSheetsScene.qml --set playGenre=persian --script GET:/api/lyrics:500 --wait 3000"
  "sheets-eq-flat            --qml tests/screens/PlayerSheetsScene.qml --set sheet=eq --wait 800"
  "sheets-eq-off             --qml tests/screens/PlayerSheetsScene.qml --set sheet=eq --set preset=راک --set eqEnabled=false --wait 800"
  "sheets-eq-preset          --qml tests/screens/PlayerSheetsScene.qml --set sheet=eq --set preset=پاپ --wait 800"
  "sheets-eq-menu            --qml tests/screens/PlayerSheetsScene.qml --set sheet=eq --set preset=پاپ --set openMenu=true --wait 1200"
  "sheets-eq-custom          --qml tests/screens/PlayerSheetsScene.qml --set sheet=eq --set preset=جاز --set gains=[6.4,-3,0,8,-11.6] --wait 800"
  "sheets-footer-idle        --qml tests/screens/PlayerSheetsScene.qml --set sheet=footer --set playGenre=jazz --size 430x220 --wait 3000"
  "sheets-footer-live        --qml tests/screens/PlayerSheetsScene.qml --set sheet=footer --set playGenre=pop-live --size 430x220 --wait 3000"
  "sheets-footer-running     --qml tests/screens/PlayerSheetsScene.qml --set sheet=footer --set playGenre=jazz --set download=true --script GET:/audio/jazz-2.mp3:200:60000 --size 430x220 --wait 3000"
  "sheets-footer-downloaded  --qml tests/screens/PlayerSheetsScene.qml --set sheet=footer --set playGenre=jazz --set download=true --size 430x220 --wait 6000"
  "sheets-footer-error       --qml tests/screens/PlayerSheetsScene.qml --set sheet=footer --set playGenre=jazz --set requestLink=true --script POST:/api/telegram/download-token:502 --size 430x220 --wait 3000"
  "search-screen-hint        --qml tests/screens/SearchScene.qml --size 430x800 --wait 1500"
  "search-screen-results     --qml tests/screens/SearchScene.qml --size 430x800 --set shot=screen-results --wait 2500"
  "search-screen-empty       --qml tests/screens/SearchScene.qml --size 430x800 --set shot=screen-empty --wait 2000"
  "search-screen-error       --qml tests/screens/SearchScene.qml --size 430x800 --set shot=screen-error --script GET:/api/soundcloud/search:500 --wait 2000"
  "search-cards-idle         --qml tests/screens/SearchScene.qml --size 430x900 --set shot=cards-idle --wait 1500"
  "search-cards-loading      --qml tests/screens/SearchScene.qml --size 430x900 --set shot=cards-loading --script GET:/api/soundcloud/search:200:60000 --script GET:/api/spotify/resolve:200:60000 --wait 1500"
  "search-cards-results      --qml tests/screens/SearchScene.qml --size 430x900 --set shot=cards-results --wait 2500"
  "search-cards-preview      --qml tests/screens/SearchScene.qml --size 430x900 --set shot=cards-preview --wait 2500"
)

if [ "${MELODRIFT_SCREENSHOTS_INNER:-}" != 1 ]; then
  [ -x "$tool" ] || { echo "screenshots: build $tool first" >&2; exit 1; }
  mkdir -p "$out"
  # One X server and one private session bus for all shots.
  export MELODRIFT_SCREENSHOTS_INNER=1 QT_QPA_PLATFORM=xcb GST_PLUGIN_FEATURE_RANK=fakeaudiosink:MAX
  # The microphone of the recognition shots: a test tone.
  export MELODRIFT_RECORDING_SOURCE=${MELODRIFT_RECORDING_SOURCE:-audiotestsrc is-live=true freq=440 volume=0.3}
  exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$build" "$out" "$only"
fi

# A shot may end during a recording: its temporary files go with a folder of their own.
TMPDIR=$(mktemp -d)
export TMPDIR

failed=0
# Each shot keeps its data (offline downloads) in a folder of its own.
data_root=$(mktemp -d)
trap 'rm -rf "$data_root" "$TMPDIR"' EXIT
for shot in "${shots[@]}"; do
  read -r -a args <<<"$shot"
  name=${args[0]}
  [[ "$name" == "$only"* ]] || continue
  if ! XDG_DATA_HOME="$data_root/$name" "$tool" --out "$out/$name.png" "${args[@]:1}"; then
    echo "screenshots: $name failed" >&2
    failed=1
  fi
done
exit $failed
