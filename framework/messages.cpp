#include "framework/messages.h"

#include "framework/apptitle.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

BoxHook &boxHook()
{
    static BoxHook hook;
    return hook;
}

const QString &confirmationTitle()
{
    static const QString title = QStringLiteral("Bestätigung");
    return title;
}

// Without a widget application no box can open; the text still has to reach
// someone, so it goes to standard error.
bool haveWidgets()
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        return true;
    return false;
}

void toStandardError(const QString &title, const QString &text)
{
    const QByteArray line = (title + QStringLiteral(": ") + text).toLocal8Bit();
    std::fputs(line.constData(), stderr);
    std::fputc('\n', stderr);
}

// Builds a box whose buttons carry our own German texts: Qt's own labels
// would depend on which translations happen to be installed.
struct Box
{
    QMessageBox box;
    QPushButton *accept = nullptr;
    QPushButton *reject = nullptr;

    Box(QMessageBox::Icon icon, const QString &title, const QString &text, QWidget *parent)
        : box(icon, title, text, QMessageBox::NoButton, parent)
    {
        // A message is never markup: "<" in a customer's name must show as "<".
        box.setTextFormat(Qt::PlainText);
    }

    void oneButton(const QString &label)
    {
        accept = box.addButton(label, QMessageBox::AcceptRole);
        box.setDefaultButton(accept);
        box.setEscapeButton(accept);
    }

    void twoButtons(const QString &yes, QMessageBox::ButtonRole yesRole, const QString &no,
                    QMessageBox::ButtonRole noRole)
    {
        accept = box.addButton(yes, yesRole);
        reject = box.addButton(no, noRole);
        box.setDefaultButton(accept);
        box.setEscapeButton(reject);
    }

    bool run()
    {
        box.exec();
        return box.clickedButton() == accept;
    }
};

bool ask(BoxRequest::Kind kind, const QString &title, const QString &text)
{
    if (const BoxHook &hook = boxHook())
        return hook(BoxRequest{kind, title, text});
    if (!haveWidgets()) {
        toStandardError(title, text);
        return false;
    }

    QWidget *parent = QApplication::activeWindow();
    switch (kind) {
    case BoxRequest::Error: {
        Box b(QMessageBox::Critical, title, text, parent);
        b.oneButton(QStringLiteral("OK"));
        return b.run();
    }
    case BoxRequest::Plain: {
        Box b(QMessageBox::NoIcon, title, text, parent);
        b.oneButton(QStringLiteral("OK"));
        return b.run();
    }
    case BoxRequest::ConflictQuestion: {
        Box b(QMessageBox::Critical, title, text, parent);
        b.twoButtons(QStringLiteral("&Ja"), QMessageBox::YesRole, QStringLiteral("&Nein"),
                     QMessageBox::NoRole);
        return b.run();
    }
    case BoxRequest::Confirm: {
        Box b(QMessageBox::Question, title, text, parent);
        b.twoButtons(QStringLiteral("&Ja"), QMessageBox::YesRole, QStringLiteral("&Nein"),
                     QMessageBox::NoRole);
        return b.run();
    }
    case BoxRequest::ConfirmOkCancel: {
        Box b(QMessageBox::Question, title, text, parent);
        b.twoButtons(QStringLiteral("OK"), QMessageBox::AcceptRole, QStringLiteral("Abbrechen"),
                     QMessageBox::RejectRole);
        return b.run();
    }
    case BoxRequest::StartupError: {
        // No parent: the main window may not exist yet, and the box must block
        // the whole program, not one window.
        Box b(QMessageBox::Critical, title, text, nullptr);
        b.box.setWindowModality(Qt::ApplicationModal);
        b.oneButton(QStringLiteral("OK"));
        return b.run();
    }
    }
    return false;
}

QString programFileName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

} // namespace

void setBoxHook(BoxHook hook)
{
    boxHook() = std::move(hook);
}

namespace {
TextHook &textHook()
{
    static TextHook hook;
    return hook;
}
} // namespace

void setTextHook(TextHook hook)
{
    textHook() = std::move(hook);
}

namespace {
FolderHook &folderHook()
{
    static FolderHook hook;
    return hook;
}
} // namespace

void setFolderHook(FolderHook hook)
{
    folderHook() = std::move(hook);
}

std::optional<QString> askFolder(const QString &title, const QString &start)
{
    if (const FolderHook &hook = folderHook())
        return hook(start);
    if (!haveWidgets())
        return std::nullopt;
    const QString folder = QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, start);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

namespace {
SaveFileHook &saveFileHook()
{
    static SaveFileHook hook;
    return hook;
}
} // namespace

void setSaveFileHook(SaveFileHook hook)
{
    saveFileHook() = std::move(hook);
}

std::optional<QString> askSaveFile(const QString &title, const QString &proposal, const QString &filter, bool mustBeNew)
{
    if (const SaveFileHook &hook = saveFileHook())
        return hook(proposal);
    if (!haveWidgets())
        return std::nullopt;
    const QString file = QFileDialog::getSaveFileName(QApplication::activeWindow(), title, proposal, filter, nullptr,
                                                      mustBeNew ? QFileDialog::DontConfirmOverwrite : QFileDialog::Options());
    if (file.isEmpty())
        return std::nullopt;
    return file;
}

namespace {
OpenFileHook &openFileHook()
{
    static OpenFileHook hook;
    return hook;
}
} // namespace

void setOpenFileHook(OpenFileHook hook)
{
    openFileHook() = std::move(hook);
}

std::optional<QString> askOpenFile(const QString &title, const QString &start, const QString &filter)
{
    if (const OpenFileHook &hook = openFileHook())
        return hook(start);
    if (!haveWidgets())
        return std::nullopt;
    const QString file = QFileDialog::getOpenFileName(QApplication::activeWindow(), title, start, filter);
    if (file.isEmpty())
        return std::nullopt;
    return file;
}

std::optional<QString> askText(const QString &title, const QString &label, const QString &proposal)
{
    if (const TextHook &hook = textHook())
        return hook(label, proposal);
    if (!haveWidgets())
        return std::nullopt;
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextValue(proposal);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    // A short label makes a dialog narrower than its own title, which the
    // window manager then cuts; leave room for the title and its buttons.
    const int titleWidth = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(title);
    dialog.setMinimumWidth(std::max(dialog.minimumSizeHint().width(), titleWidth + 140));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString withFullStop(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > QChar(QLatin1Char('.')).unicode())
        return message + QLatin1Char('.');
    return message;
}

void showErrorBox(const QString &message)
{
    ask(BoxRequest::Error, applicationTitle(), withFullStop(message));
}

bool confirm(const QString &text)
{
    return ask(BoxRequest::Confirm, confirmationTitle(), text);
}

bool confirmOkCancel(const QString &text)
{
    return ask(BoxRequest::ConfirmOkCancel, confirmationTitle(), text);
}

void showMessage(const QString &text)
{
    ask(BoxRequest::Plain, applicationTitle(), text);
}

void framework_detail::reportError(const QString &message) noexcept
{
    try {
        showErrorBox(message);
    } catch (...) {
        // Nothing is left to tell the user with; the event loop must go on.
    }
}

bool framework_detail::resolveConflict(const ConflictError &e) noexcept
{
    bool discard = false;
    try {
        discard = ask(BoxRequest::ConflictQuestion, applicationTitle(), e.question());
    } catch (...) {
        return false;
    }
    if (!discard)
        return false;
    return guarded([&] { e.discard(); });
}

QString startupErrorText(const QString &kind, const QString &module, const void *address,
                         const QString &message)
{
    const QString hexAddress =
        QStringLiteral("%1")
            .arg(quintptr(address), int(sizeof(void *) * 2), 16, QLatin1Char('0'))
            .toUpper();
    const QString stop = message.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral(".");
    // One multi-argument arg() so that a "%1" inside the message stays text.
    return QStringLiteral("Exception %1 in Modul %2 bei %3.\n%4%5\n")
        .arg(kind, module, hexAddress, message, stop);
}

// Kept out of line: the address shown is the return address into the caller,
// i.e. the catch block that reported the failure, which is the nearest code
// address to the failure this function can know. Compilers without that
// builtin show this function's own address instead.
Q_NEVER_INLINE int showStartupError(const AppError &e)
{
#if defined(__GNUC__)
    const void *site = __builtin_return_address(0);
#else
    const void *site = reinterpret_cast<const void *>(&showStartupError);
#endif
    const QString text = startupErrorText(QString::fromLatin1(e.kindName()), programFileName(),
                                          site, e.message());
    ask(BoxRequest::StartupError, QStringLiteral("Anwendungsfehler"), text);
    return 1;
}
