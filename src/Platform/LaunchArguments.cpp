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

QString LaunchArguments::consumeWithValue(const QString &option, const QString &plain)
{
    const QString prefix = option + QLatin1Char('=');
    for (const QString &argument : std::as_const(m_arguments)) {
        const bool bare = argument == option;
        if (!bare && !argument.startsWith(prefix))
            continue;
        if (m_consumed.contains(option))
            return {};
        m_consumed.insert(option);
        return bare ? plain : argument.mid(prefix.size());
    }
    return {};
}

const QStringList &LaunchArguments::valueOptions()
{
    static const QStringList options{QStringLiteral("--intent")};
    return options;
}

QString LaunchArguments::value(const QString &option) const
{
    const QString prefix = option + QLatin1Char('=');
    for (qsizetype i = 0; i < m_arguments.size(); ++i) {
        const QString &argument = m_arguments.at(i);
        if (argument == option)
            return i + 1 < m_arguments.size() ? m_arguments.at(i + 1) : QString();
        if (argument.startsWith(prefix))
            return argument.mid(prefix.size());
    }
    return {};
}

QStringList LaunchArguments::urls() const
{
    QStringList out;
    for (qsizetype i = 0; i < m_arguments.size(); ++i) {
        const QString &argument = m_arguments.at(i);
        if (valueOptions().contains(argument)) {
            ++i; // its value
            continue;
        }
        if (!argument.isEmpty() && !argument.startsWith(QLatin1Char('-')))
            out.append(argument);
    }
    return out;
}
