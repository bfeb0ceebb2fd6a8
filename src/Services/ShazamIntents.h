#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The recognition shortcuts. Two intents, `ShazamAppIntent` and `ShazamOpenIntent`, do the same
// work: they stamp the time of the request into the app-group suite ("shazamRequestAt", seconds
// since 1970 with the fraction). The application, when it next becomes active, finds the fresh
// stamp and opens the recognition sheet listening. On the desktop they run as
//     melodrift-radio --intent ShazamAppIntent      (or ShazamOpenIntent)
// from the launcher's action or a terminal: the stamp is written, then the running application
// is brought to the front (or started). The hand-over is the stamp alone.

// The one destination of the open intent: the recognition sheet, reached by "melodrift://shazam".
struct MelodriftDestination
{
    QString id = QStringLiteral("shazam");

    static QString typeDisplayName();   // "ملودریفت"
    QString displayTitle() const;       // "ملودریفت", whatever the identifier
    QString urlRepresentation() const;  // "melodrift://shazam", whatever the identifier

    bool operator==(const MelodriftDestination &) const = default;
};

// Its query: the single "shazam" destination, whatever is asked for.
struct MelodriftDestinationQuery
{
    QList<MelodriftDestination> entities(const QStringList &identifiers) const;
    QList<MelodriftDestination> suggestedEntities() const;
};

// The body both intents run: writes the stamp when the suite can be opened (else nothing) and
// never fails.
void performShazamRequest();

struct ShazamAppIntent
{
    static constexpr const char *name = "ShazamAppIntent";
    static QString title(); // "تشخیص آهنگ با ملودریفت"
    static constexpr bool openAppWhenRun = true;
    void perform() const { performShazamRequest(); }
};

struct ShazamOpenIntent
{
    static constexpr const char *name = "ShazamOpenIntent";
    static QString title(); // "تشخیص آهنگ با ملودریفت"
    // Not read by perform(): opening the application is what an open intent does.
    MelodriftDestination target;
    void perform() const { performShazamRequest(); }
};

namespace ShazamIntents {
// The intents by name, as given to --intent.
QStringList names();
// Runs the named intent; false (and nothing written) for a name that is not one of them.
bool perform(const QString &name);
} // namespace ShazamIntents
