#pragma once

#include "data/errors.h"

#include <QString>

#include <exception>
#include <functional>

// Every message box of the program is opened here, so the wording, the
// buttons and the test hook stay the same everywhere.

struct BoxRequest
{
    enum Kind { Error, Confirm, ConfirmOkCancel, Plain, StartupError } kind;
    QString title;
    QString text; // exactly as the box would show it
};

// While a hook is set no window opens: the hook gets every box and its return
// value is the answer (true = "&Ja" / "OK"). An empty hook restores the real
// boxes. UI tests use it so that nothing waits for a click.
using BoxHook = std::function<bool(const BoxRequest &)>;
void setBoxHook(BoxHook hook);

// Error icon, one "OK", titled with the program's name.
void showErrorBox(const QString &message);

// Appends "." when the last character sorts after "." (so "!", "?", ")" and
// a trailing blank keep the message as it is).
QString withFullStop(const QString &message);

// "Bestätigung", question icon, "&Ja" (default) and "&Nein" (Escape, close box).
bool confirm(const QString &text);

// "Bestätigung", question icon, "OK" (default) and "Abbrechen" (Escape, close box).
bool confirmOkCancel(const QString &text);

// No icon, one "OK", titled with the program's name.
void showMessage(const QString &text);

namespace framework_detail {
// Shows the error box and swallows whatever showing it may throw, because it
// runs inside the catch blocks of guarded().
void reportError(const QString &message) noexcept;
}

// Every event handler body runs through this: Qt cannot carry an exception
// through its event loop, so anything thrown ends here as one error box.
// Returns true when f ran to its end.
template <class F>
bool guarded(F &&f) noexcept
{
    try {
        std::forward<F>(f)();
        return true;
    } catch (const AppError &e) {
        framework_detail::reportError(e.message());
    } catch (const std::exception &e) {
        framework_detail::reportError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        framework_detail::reportError(QStringLiteral("Unbekannter Fehler"));
    }
    return false;
}

// For an error that stops the program before or while it starts: an
// application-modal "Anwendungsfehler" box. Returns the exit status (1).
int showStartupError(const AppError &e);

// "Exception <kind> in Modul <module> bei <address>.\n<message>[.]\n"; the
// full stop is added when the message does not already end with one.
QString startupErrorText(const QString &kind, const QString &module, const void *address,
                         const QString &message);
