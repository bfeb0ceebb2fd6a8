#pragma once

#include <QSettings>
#include <QString>

#include <memory>

// The preferences suite shared by the application and its shortcut commands (another process):
// an INI file under the XDG config folder, "melodrift/group.ini". Open it anew for every read so
// that a value another process wrote since is seen, and sync() after every write.
class AppGroupSuite
{
public:
    // The suite, or nullptr when its folder cannot be made (the suite is then unavailable).
    static std::unique_ptr<QSettings> open();

    // Where the suite lives. Tests point it at a temporary file; an empty path restores the default.
    static QString location();
    static void setLocation(const QString &path);
};
