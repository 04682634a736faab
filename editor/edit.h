#pragma once

#include <QDialog>

class InvoiceData;

// The invoice editor: the lines of one invoice, its totals and the 10 %
// deduction, shown modally over the main window.
class Teditrechnung : public QDialog
{
    Q_OBJECT
public:
    explicit Teditrechnung(InvoiceData &data, QWidget *parent = nullptr);

private:
    InvoiceData &m_data;
};
