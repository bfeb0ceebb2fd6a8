#pragma once

#include <QString>

// The executables the application starts for work in a process of its own (the banner's web
// engine, a recording): looked for next to the application's own, then in the installation's
// libexec folder. The path, or empty when there is none.
QString findHelperProgram(const QString &name);
