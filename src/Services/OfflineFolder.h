#pragma once

#include "Services/OfflineTrackEntry.h"

#include <QList>
#include <QSet>
#include <QString>

// The files of the downloads folder that belong to no index entry yet: a running download holds
// a lock on its file from the moment the file has a name until the download has ended (stored
// and indexed, or failed), so that any store, of this process or of another one sharing the
// folder, can tell a running download's file from one a crash or a kill left behind.
namespace OfflineFolder {

// A new file `name` in `folder`, open for writing and locked for as long as it stays open. On
// file systems that allow it, the file is locked before it gets its name. -1 on failure, with
// errno set.
int createLocked(const QString &folder, const QString &name);

// Removes the regular file at `path` unless an open file holds its lock. True when removed.
bool removeUnlessHeld(const QString &path);

// Removes the temporary ".part" files that no running download holds, except those named in
// `own` (this store's running downloads). Returns how many went.
int removeLeftoverParts(const QString &folder, const QSet<QString> &own = {});

// Removes the audio and artwork files that `named` does not list and no running download holds.
void removeUnnamedFiles(const QString &folder, const QSet<QString> &named);

// Entries for the audio files that `named` does not list and no running download holds, made
// from the files alone: the title "بدون عنوان", no artist, the file's size and modification
// time, and a key of their own ("file|<name>"), newest first.
QList<OfflineTrackEntry> entriesFromFiles(const QString &folder, const QSet<QString> &named);

bool isPartFileName(const QString &name);

} // namespace OfflineFolder
