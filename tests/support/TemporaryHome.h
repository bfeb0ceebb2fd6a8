#pragma once

class QTemporaryDir;

namespace testing_support {

// Moves the process into a home of its own, a "home" folder made inside `root`: HOME points
// there, the XDG folders follow it, QStandardPaths runs in test mode and the keychain is kept in
// memory, so nothing touches the user's own settings, downloads, Videos folder or keychain. Call
// before the application object exists. False when the folder cannot be made.
bool useTemporaryHome(const QTemporaryDir &root);

} // namespace testing_support
