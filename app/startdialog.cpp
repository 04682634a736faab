#include "app/startdialog.h"

#include "framework/apptitle.h"
#include "framework/widgets.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
StartDialog::Hook &hook()
{
    static StartDialog::Hook h;
    return h;
}
} // namespace

StartDialog::StartDialog(const QString &reason, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("startDialog"));
    setWindowTitle(applicationTitle());
    auto *layout = new QVBoxLayout(this);
    reasonLabel = new QLabel(reason.isEmpty() ? QStringLiteral("Mit welcher Datenbank soll das Programm arbeiten?")
                                              : reason + QStringLiteral("\n\nMit welcher Datenbank soll das Programm arbeiten?"),
                             this);
    reasonLabel->setObjectName(QStringLiteral("reasonLabel"));
    reasonLabel->setWordWrap(true);
    reasonLabel->setFixedWidth(380);
    reasonLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(reasonLabel);
    layout->addSpacing(8);

    const auto button = [&](const char *name, const QString &text, Choice choice) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, choice] {
            m_choice = choice;
            accept();
        });
        layout->addWidget(b);
        return b;
    };
    openButton = button("openButton", QStringLiteral("Vorhandene Datenbank öffnen ..."), OpenExisting);
    createButton = button("createButton", QStringLiteral("Neue Datenbank anlegen ..."), CreateNew);
    quitButton = button("quitButton", QStringLiteral("Beenden"), Quit);
    // A user who has never had a database most likely wants a new one.
    createButton->setDefault(true);
    createButton->setFocus();
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

StartDialog::Choice StartDialog::ask(const QString &reason)
{
    if (hook())
        return hook()(reason);
    StartDialog dialog(reason);
    centreOnScreen(&dialog);
    return dialog.exec() == QDialog::Accepted ? dialog.m_choice : Quit;
}

void StartDialog::setHook(Hook h)
{
    hook() = std::move(h);
}
