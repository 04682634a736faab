#pragma once

#include "data/errors.h"

#include <QString>

#include <exception>
#include <functional>
#include <optional>

// Every message box of the program is opened here, so the wording, the
// buttons and the test hook stay the same everywhere.

struct BoxRequest
{
    // ConflictQuestion: error icon, "&Ja" and "&Nein", for a row another
    // program changed; the answer says whether to drop the pending work.
    enum Kind { Error, Confirm, ConfirmOkCancel, Plain, StartupError, ConflictQuestion } kind;
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

// One line of text from the user, with "OK" and "Abbrechen"; nothing on
// "Abbrechen". Tests answer it through a hook of its own, like the boxes.
std::optional<QString> askText(const QString &title, const QString &label, const QString &proposal);
using TextHook = std::function<std::optional<QString>(const QString &label, const QString &proposal)>;
void setTextHook(TextHook hook);

// A folder from the user, starting at `start`; nothing on "Abbrechen".
std::optional<QString> askFolder(const QString &title, const QString &start);
using FolderHook = std::function<std::optional<QString>(const QString &start)>;
void setFolderHook(FolderHook hook);

// A file to write, proposed as `proposal` (a full path), of the kind `filter`
// describes; nothing on "Abbrechen". The dialog itself asks before an
// existing file is replaced.
// With `mustBeNew` the dialog does not offer to replace an existing file:
// for a file that the caller refuses to overwrite anyway.
std::optional<QString> askSaveFile(const QString &title, const QString &proposal, const QString &filter,
                                   bool mustBeNew = false);
using SaveFileHook = std::function<std::optional<QString>(const QString &proposal)>;
void setSaveFileHook(SaveFileHook hook);

// An existing file to open, starting in the folder `start`; nothing on "Abbrechen".
std::optional<QString> askOpenFile(const QString &title, const QString &start, const QString &filter);
using OpenFileHook = std::function<std::optional<QString>(const QString &start)>;
void setOpenFileHook(OpenFileHook hook);

// "Bestätigung", question icon, "OK" (default) and "Abbrechen" (Escape, close box).
bool confirmOkCancel(const QString &text);

// No icon, one "OK", titled with the program's name.
void showMessage(const QString &text);

// How a guarded handler ended.
enum class GuardOutcome {
    Done,      // ran to its end
    Failed,    // an error box was shown
    Discarded, // a conflict with another program: the user dropped the pending row
};

namespace framework_detail {
// Shows the error box and swallows whatever showing it may throw, because it
// runs inside the catch blocks of guarded().
void reportError(const QString &message) noexcept;
// Asks the conflict's question; on "&Ja" drops the pending row and shows the
// stored state. True when it was dropped.
bool resolveConflict(const ConflictError &e) noexcept;
}

// Every event handler body runs through this: Qt cannot carry an exception
// through its event loop, so anything thrown ends here as one error box.
template <class F>
GuardOutcome guardedOutcome(F &&f) noexcept
{
    try {
        std::forward<F>(f)();
        return GuardOutcome::Done;
    } catch (const ConflictError &e) {
        // The one error a user could not get past by correcting what was
        // typed: it offers the way out.
        return framework_detail::resolveConflict(e) ? GuardOutcome::Discarded : GuardOutcome::Failed;
    } catch (const AppError &e) {
        framework_detail::reportError(e.message());
    } catch (const std::exception &e) {
        framework_detail::reportError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        framework_detail::reportError(QStringLiteral("Unbekannter Fehler"));
    }
    return GuardOutcome::Failed;
}

// The same; true when f ran to its end.
template <class F>
bool guarded(F &&f) noexcept
{
    return guardedOutcome(std::forward<F>(f)) == GuardOutcome::Done;
}

// For an error that stops the program before or while it starts: an
// application-modal "Anwendungsfehler" box. Returns the exit status (1).
int showStartupError(const AppError &e);

// "Exception <kind> in Modul <module> bei <address>.\n<message>[.]\n"; the
// full stop is added when the message does not already end with one.
QString startupErrorText(const QString &kind, const QString &module, const void *address,
                         const QString &message);
