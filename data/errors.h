#pragma once

#include <QString>
#include <exception>
#include <functional>

// Every failure the program reports to the user is one of these. They carry a
// finished German message; the kind name fills the start-up error text.
class AppError : public std::exception
{
public:
    explicit AppError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }
    virtual const char *kindName() const noexcept = 0;

private:
    QString m_message;
    QByteArray m_utf8;
};

// The message of a failure kept for later ("" for none), as the error box
// would show it.
inline QString messageOf(const std::exception_ptr &failure)
{
    if (!failure)
        return QString();
    try {
        std::rethrow_exception(failure);
    } catch (const AppError &e) {
        return e.message();
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
    }
    return QStringLiteral("Unbekannter Fehler");
}

// Raised by the database engine (SQLite) itself: no record-set prefix.
class EngineError : public AppError
{
public:
    using AppError::AppError;
    const char *kindName() const noexcept override { return "EngineError"; }
};

// Raised by a record set; the message already starts with "name: ".
class RecordSetError : public AppError
{
public:
    RecordSetError(const QString &recordSetName, const QString &message)
        : AppError(recordSetName + QStringLiteral(": ") + message) {}
    const char *kindName() const noexcept override { return "RecordSetError"; }
};

// A text that is not a number.
class ConversionError : public AppError
{
public:
    using AppError::AppError;
    const char *kindName() const noexcept override { return "ConversionError"; }
};

// Another program changed or deleted the row since it was read, so a store
// or a delete could not go through. The box offers the way out that the
// question names: the pending work is dropped and the stored state shown.
class ConflictError : public EngineError
{
public:
    ConflictError(QString message, QString question, std::function<void()> discard)
        : EngineError(std::move(message)), m_question(std::move(question)), m_discard(std::move(discard)) {}
    const char *kindName() const noexcept override { return "EngineError"; }
    const QString &question() const noexcept { return m_question; }
    // Drops the pending row (if any) and shows what the file holds now.
    void discard() const { if (m_discard) m_discard(); }

private:
    QString m_question;
    std::function<void()> m_discard;
};
