#pragma once

#include <QString>

#include <exception>

// The one base of every error the backend client, the stores and the services throw or publish.
// errorDescription() is the text a screen shows the listener (Persian where the error is ours).
class AppError : public std::exception
{
public:
    virtual QString errorDescription() const = 0;
    const char *what() const noexcept override;

private:
    mutable QByteArray m_what;
};

// A reply body that could not be decoded into the record the caller asked for: not JSON, a
// required key missing, a value of the wrong type. `detail` says where, for logs and tests.
class DecodingError : public AppError
{
public:
    explicit DecodingError(QString detail) : m_detail(std::move(detail)) {}
    QString errorDescription() const override;
    const QString &detail() const { return m_detail; }

private:
    QString m_detail;
};
