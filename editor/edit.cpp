#include "edit.h"

#include "data/database.h"

Teditrechnung::Teditrechnung(InvoiceData &data, QWidget *parent) : QDialog(parent), m_data(data)
{
    setObjectName(QStringLiteral("editrechnung"));
    (void)m_data;
}
