#include "Symbols.h"

#include <QFontDatabase>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSymbols, "melodrift.symbols")

const QHash<QString, char16_t> &Symbols::table()
{
    // symbol name -> Material Icons codepoint (its Material name in the comment)
    static const QHash<QString, char16_t> symbols = {
        {QStringLiteral("antenna.radiowaves.left.and.right"), 0xebba}, // cell_tower
        {QStringLiteral("arrow.counterclockwise"), 0xe042},            // replay
        {QStringLiteral("arrow.down.circle"), 0xf181},                 // arrow_circle_down
        {QStringLiteral("arrow.down.circle.fill"), 0xf000},            // download_for_offline
        {QStringLiteral("arrow.left"), 0xe5c4},                        // arrow_back
        {QStringLiteral("arrow.up"), 0xe5d8},                          // arrow_upward
        {QStringLiteral("arrow.right.circle.fill"), 0xeaaa},           // arrow_circle_right
        {QStringLiteral("backward.fill"), 0xe020},                     // fast_rewind
        {QStringLiteral("checkmark"), 0xe5ca},                         // check
        {QStringLiteral("checkmark.circle.fill"), 0xe86c},             // check_circle
        {QStringLiteral("checkmark.shield"), 0xe8e8},                  // verified_user
        {QStringLiteral("chevron.down"), 0xe5cf},                      // expand_more
        {QStringLiteral("chevron.left"), 0xe5cb},                      // chevron_left
        {QStringLiteral("chevron.right"), 0xe5cc},                     // chevron_right
        {QStringLiteral("doc.on.clipboard"), 0xe14f},                  // content_paste
        {QStringLiteral("dot.radiowaves.left.and.right"), 0xe51e},     // sensors
        {QStringLiteral("ellipsis"), 0xe5d3},                          // more_horiz
        {QStringLiteral("ellipsis.circle"), 0xef64},                   // pending
        {QStringLiteral("exclamationmark.triangle.fill"), 0xe002},     // warning
        {QStringLiteral("film"), 0xe02c},                              // movie
        {QStringLiteral("folder"), 0xe2c7},                            // folder
        {QStringLiteral("forward.fill"), 0xe01f},                      // fast_forward
        {QStringLiteral("gobackward.10"), 0xe059},                     // replay_10
        {QStringLiteral("goforward.10"), 0xe056},                      // forward_10
        {QStringLiteral("heart"), 0xe87e},                             // favorite_border
        {QStringLiteral("heart.fill"), 0xe87d},                        // favorite
        {QStringLiteral("house"), 0xe88a},                             // home
        {QStringLiteral("lock"), 0xe897},                              // lock
        {QStringLiteral("lock.open.fill"), 0xe898},                    // lock_open
        {QStringLiteral("lock.rotation"), 0xeade},                     // lock_reset
        {QStringLiteral("magnifyingglass"), 0xe8b6},                   // search
        {QStringLiteral("mic.fill"), 0xe029},                          // mic
        {QStringLiteral("music.note"), 0xe405},                        // music_note
        {QStringLiteral("music.note.list"), 0xe03d},                   // queue_music
        {QStringLiteral("paperplane.fill"), 0xe163},                   // send
        {QStringLiteral("pause.fill"), 0xe034},                        // pause
        {QStringLiteral("pencil"), 0xe3c9},                            // edit
        {QStringLiteral("person"), 0xe7fd},                            // person
        {QStringLiteral("person.crop.circle"), 0xe853},                // account_circle
        {QStringLiteral("person.crop.circle.badge.plus"), 0xe7fe},     // person_add
        {QStringLiteral("person.crop.circle.fill"), 0xe853},           // account_circle
        {QStringLiteral("person.text"), 0xea67},                       // badge
        {QStringLiteral("play.circle"), 0xe039},                       // play_circle_outline
        {QStringLiteral("play.fill"), 0xe037},                         // play_arrow
        {QStringLiteral("plus"), 0xe145},                              // add
        {QStringLiteral("plus.circle.fill"), 0xe147},                  // add_circle
        {QStringLiteral("rectangle.portrait.and.arrow.right"), 0xe9ba}, // logout
        {QStringLiteral("slider.horizontal.3"), 0xe429},               // tune
        {QStringLiteral("sparkles"), 0xe65f},                          // auto_awesome
        {QStringLiteral("speaker.fill"), 0xe04e},                      // volume_mute
        {QStringLiteral("speaker.wave.3.fill"), 0xe050},               // volume_up
        {QStringLiteral("square.and.arrow.down"), 0xe171},             // save_alt
        {QStringLiteral("square.and.arrow.up"), 0xe6b8},               // ios_share
        {QStringLiteral("text.quote"), 0xe244},                        // format_quote
        {QStringLiteral("trash"), 0xe872},                             // delete
        {QStringLiteral("waveform"), 0xe1b8},                          // graphic_eq
        {QStringLiteral("wifi.exclamationmark"), 0xe648},              // wifi_off
        {QStringLiteral("xmark"), 0xe5cd},                             // close
        {QStringLiteral("xmark.circle.fill"), 0xe5c9},                 // cancel
    };
    return symbols;
}

QStringList Symbols::names()
{
    QStringList list = table().keys();
    list.sort();
    return list;
}

QString Symbols::fontPath()
{
    return QStringLiteral(
        "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf");
}

QString Symbols::fontFamily()
{
    static const QString family = [] {
        // The system knows the same font in WOFF forms too, which are decompressed each time the
        // font is opened, a few milliseconds of every start. Of fonts alike the one registered
        // last is used, so the system's are listed first and this TrueType file added after them.
        QFontDatabase::families();
        const int id = QFontDatabase::addApplicationFont(fontPath());
        const QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
        if (families.isEmpty()) {
            qCWarning(lcSymbols) << "cannot load the icon font" << fontPath();
            return QStringLiteral("Material Icons");
        }
        return families.first();
    }();
    return family;
}

QString Symbols::glyph(const QString &name) const
{
    if (name.isEmpty())
        return {};
    const auto it = table().constFind(name);
    if (it == table().constEnd()) {
        qCWarning(lcSymbols) << "unknown symbol" << name;
        return {};
    }
    return QString(QChar(*it));
}
