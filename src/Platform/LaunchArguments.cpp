#include "Platform/LaunchArguments.h"

#include <QCoreApplication>

LaunchArguments &LaunchArguments::shared()
{
    static LaunchArguments instance = [] {
        QStringList arguments = QCoreApplication::arguments();
        if (!arguments.isEmpty())
            arguments.removeFirst();
        return LaunchArguments(arguments);
    }();
    return instance;
}

LaunchArguments::LaunchArguments(QStringList arguments)
    : m_arguments(std::move(arguments))
{
}

void LaunchArguments::setArguments(QStringList arguments)
{
    m_arguments = std::move(arguments);
    m_consumed.clear();
}

bool LaunchArguments::consume(const QString &argument)
{
    if (!contains(argument) || m_consumed.contains(argument))
        return false;
    m_consumed.insert(argument);
    return true;
}

QStringList LaunchArguments::urls() const
{
    QStringList out;
    for (const QString &argument : m_arguments) {
        if (!argument.isEmpty() && !argument.startsWith(QLatin1Char('-')))
            out.append(argument);
    }
    return out;
}
