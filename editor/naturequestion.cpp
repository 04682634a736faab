#include "naturequestion.h"

#include "data/vatrates.h"

#include <QInputDialog>
#include <QStringList>

QString natureChoiceText(const QString &code)
{
    const VatNature *nature = vatNature(code);
    return nature ? nature->code + QStringLiteral(" – ") + nature->shortText : code;
}

std::optional<QString> askNature(QWidget *parent)
{
    QStringList choices;
    for (const VatNature &n : vatNatures())
        choices << natureChoiceText(n.code);
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("naturwahl"));
    dialog.setWindowTitle(QStringLiteral("Steuersatz 0"));
    dialog.setLabelText(QStringLiteral("Eine Position ohne Mehrwertsteuer braucht den Grund dafür (Natura).\n"
                                       "Bitte den Grund aus der Liste wählen:"));
    dialog.setComboBoxItems(choices);
    dialog.setComboBoxEditable(false);
    dialog.setTextValue(choices.value(0));
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const qsizetype index = choices.indexOf(dialog.textValue());
    if (index < 0)
        return std::nullopt;
    return vatNatures().at(index).code;
}
