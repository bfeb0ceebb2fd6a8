#include "Platform/HelperProgram.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

QString findHelperProgram(const QString &name)
{
    // Asked before the application object exists too: the executable's folder from the kernel.
    const QString appDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                        : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    QStringList candidates = {appDir + u'/' + name, appDir + QStringLiteral("/../libexec/") + name};
#ifdef MELODRIFT_LIBEXECDIR
    candidates.append(QStringLiteral(MELODRIFT_LIBEXECDIR) + u'/' + name);
#endif
    for (const QString &candidate : std::as_const(candidates)) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return {};
}
