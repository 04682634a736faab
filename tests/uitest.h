#pragma once

// What the window tests share: answering message boxes without blocking,
// and driving a modal dialog from inside its own event loop.

#include "framework/messages.h"

#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace uitest {

// Answers every box with the next of its answers (the last one repeats) and
// remembers each as "title|text".
struct Boxes
{
    explicit Boxes(QList<bool> answers = {true}) : m_answers(std::move(answers))
    {
        setBoxHook([this](const BoxRequest &r) {
            asked << r.title + QLatin1Char('|') + r.text;
            kinds << r.kind;
            return m_answers.size() > 1 ? m_answers.takeFirst() : m_answers.value(0, true);
        });
    }
    ~Boxes() { setBoxHook({}); }
    Boxes(const Boxes &) = delete;
    Boxes &operator=(const Boxes &) = delete;

    QStringList asked;
    QList<BoxRequest::Kind> kinds;

private:
    QList<bool> m_answers;
};

struct ModalRun
{
    bool wasModal = false;   // the dialog was the active modal window when `inside` ran
    bool stayedOpen = false; // it was still open after `inside` (and was then rejected)
};

// Calls open(), which shows `dialog` modally; once it runs, calls inside()
// and, when the dialog is still open afterwards, closes it so open() returns.
inline ModalRun whileModal(QDialog *dialog, const std::function<void()> &open, const std::function<void()> &inside)
{
    ModalRun run;
    QTimer::singleShot(0, dialog, [&] {
        run.wasModal = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
        inside();
        if (dialog->isVisible()) {
            run.stayedOpen = true;
            dialog->reject();
        }
    });
    open();
    return run;
}

} // namespace uitest
