#pragma once

#include <QDialog>

class InvoiceData;

// The dialog in which a customer is added or changed.
class Tkundenedit : public QDialog
{
    Q_OBJECT
public:
    explicit Tkundenedit(InvoiceData &data, QWidget *parent = nullptr);

private:
    InvoiceData &m_data;
};
