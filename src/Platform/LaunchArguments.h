#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The process's launch arguments, matched as whole arguments ("--debug-player"). Development
// switches are acted on once per run: a screen that appears again does not act on them again.
class LaunchArguments
{
public:
    // The arguments this process was started with (the program name left out).
    static LaunchArguments &shared();

    explicit LaunchArguments(QStringList arguments = {});

    const QStringList &arguments() const { return m_arguments; }
    // Replaces the arguments and forgets which were acted on (tests, the screenshot tool).
    void setArguments(QStringList arguments);

    bool contains(const QString &argument) const { return m_arguments.contains(argument); }
    // True when `argument` was given and nothing acted on it yet in this run; marks it acted on.
    bool consume(const QString &argument);

    // The arguments that are not options: the addresses a desktop launch passes ("%u").
    QStringList urls() const;

private:
    QStringList m_arguments;
    QSet<QString> m_consumed;
};
