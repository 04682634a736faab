#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QPushButton;

// Shown by `Rechnung --choose` (the desktop menu's way of starting) when
// there is no database to start on: the user opens one, makes a new one, or
// ends the program.
class StartDialog : public QDialog
{
    Q_OBJECT
public:
    enum Choice { OpenExisting, CreateNew, Quit };

    // `reason` says why the dialog is shown ("" for none).
    explicit StartDialog(const QString &reason, QWidget *parent = nullptr);

    // Shows the dialog and waits for the answer; the close box and Escape quit.
    static Choice ask(const QString &reason);
    // While set, no dialog opens and the hook answers. UI tests use it.
    using Hook = std::function<Choice(const QString &reason)>;
    static void setHook(Hook hook);

    QLabel *reasonLabel = nullptr;
    QPushButton *openButton = nullptr;
    QPushButton *createButton = nullptr;
    QPushButton *quitButton = nullptr;

private:
    Choice m_choice = Quit;
};
