#pragma once

#include <QString>
#include <optional>

class QWidget;

// What a pick list of the reasons for a rate of 0 shows for one of them:
// "N3.2 – Nicht steuerpflichtig: innergemeinschaftliche Lieferung (...)".
QString natureChoiceText(const QString &code);

// Asks why a line carries no VAT, from the list of vatNatures(). The chosen
// code; nothing on "Abbrechen".
std::optional<QString> askNature(QWidget *parent);
