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
    // The same for a switch that may carry a value: "--debug-sync" gives `plain`,
    // "--debug-sync=jazz" gives "jazz"; empty when absent or acted on already.
    QString consumeWithValue(const QString &option, const QString &plain);

    // The value of an option that takes one, given as "--intent NAME" or "--intent=NAME";
    // empty when the option is absent or has no value.
    QString value(const QString &option) const;

    // The arguments that are neither options nor an option's value: the addresses a desktop
    // launch passes ("%u").
    QStringList urls() const;

    // The options that take a value.
    static const QStringList &valueOptions();

private:
    QStringList m_arguments;
    QSet<QString> m_consumed;
};
