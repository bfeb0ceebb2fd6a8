#include "Platform/AppGroupSuite.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString &overriddenLocation()
{
    static QString path;
    return path;
}
} // namespace

QString AppGroupSuite::location()
{
    if (!overriddenLocation().isEmpty())
        return overriddenLocation();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/melodrift/group.ini");
}

void AppGroupSuite::setLocation(const QString &path)
{
    overriddenLocation() = path;
}

std::unique_ptr<QSettings> AppGroupSuite::open()
{
    const QString path = location();
    const QFileInfo info(path);
    if (info.isDir() || !QDir().mkpath(info.absolutePath()))
        return nullptr;
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}
