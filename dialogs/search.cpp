#include "search.h"

#include "data/database.h"

Tformsuch::Tformsuch(InvoiceData &data, QWidget *parent) : QDialog(parent), m_data(data)
{
    setObjectName(QStringLiteral("formsuch"));
    (void)m_data;
}
