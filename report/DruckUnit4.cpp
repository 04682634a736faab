#include "DruckUnit4.h"

#include "data/database.h"

TFRMDruck::TFRMDruck(InvoiceData &data, QWidget *parent) : QWidget(parent), m_data(data)
{
    setObjectName(QStringLiteral("FRMDruck"));
    setAccessibleName(QStringLiteral("Rechnungsdruck"));
    (void)m_data;
}
