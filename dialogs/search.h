#pragma once

#include <QDialog>

class InvoiceData;

// The customer search: narrows the customer set by part of the name.
class Tformsuch : public QDialog
{
    Q_OBJECT
public:
    explicit Tformsuch(InvoiceData &data, QWidget *parent = nullptr);

private:
    InvoiceData &m_data;
};
