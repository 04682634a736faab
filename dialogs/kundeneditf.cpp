#include "kundeneditf.h"

#include "data/database.h"

Tkundenedit::Tkundenedit(InvoiceData &data, QWidget *parent) : QDialog(parent), m_data(data)
{
    setObjectName(QStringLiteral("kundenedit"));
    (void)m_data;
}
