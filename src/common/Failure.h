#pragma once

#include <QString>

#include <exception>

namespace kestrel {

/// The one exception type of the project. It carries the description a user may
/// be shown; code that reports failures to the user tests and shows description().
/// Platform backends throw it for failed operations, numeric conversions throw it
/// on overflow, and the dispatcher catches it in one place.
class Failure : public std::exception
{
public:
    explicit Failure(QString description)
        : m_description(std::move(description)), m_utf8(m_description.toUtf8())
    {
    }

    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

} // namespace kestrel
