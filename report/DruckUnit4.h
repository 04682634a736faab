#pragma once

#include <QWidget>

class InvoiceData;

// The window that holds the printed invoice's layout. It is never shown; the
// report run draws its bands into pages for the preview and the printer.
class TFRMDruck : public QWidget
{
    Q_OBJECT
public:
    explicit TFRMDruck(InvoiceData &data, QWidget *parent = nullptr);

private:
    InvoiceData &m_data;
};
