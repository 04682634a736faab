#pragma once

#include "dialogs/fieldform.h"
#include "einvoice/invoicedata.h"

class QCheckBox;
class QComboBox;

// "&Datei" -> "&Firmendaten ...": the business's own data, as the letterhead
// and the electronic invoice use it.
class BusinessDialog : public FieldForm<einvoice::Seller>
{
public:
    explicit BusinessDialog(QWidget *parent = nullptr);
    void setValue(const einvoice::Seller &s) override;
    einvoice::Seller value() const override;

    QComboBox *taxRegime = nullptr;
};

// The customer's data for the electronic invoice, shown before each export,
// pre-filled the first time from the customer's record.
class BuyerDialog : public FieldForm<einvoice::Buyer>
{
public:
    explicit BuyerDialog(QWidget *parent = nullptr);
    void setValue(const einvoice::Buyer &b) override;
    einvoice::Buyer value() const override;

    QCheckBox *isPerson = nullptr;
    // The customer's VAT treatment; abroad it fixes the recipient code.
    QComboBox *kind = nullptr;

private:
    void showKind(CustomerKind chosen);
};
