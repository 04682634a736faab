#pragma once

#include "dialogs/fieldform.h"
#include "einvoice/invoicedata.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// "&Datei" -> "&Firmendaten ...": the business's own data, as the letterhead
// and the electronic invoice use it.
class BusinessDialog : public FieldForm<einvoice::Seller>
{
public:
    explicit BusinessDialog(QWidget *parent = nullptr);
    void setValue(const einvoice::Seller &s) override;
    einvoice::Seller value() const override;

    // The logo's bytes as stored (empty: none); what the dialog shows and the
    // user picks or removes, kept apart from the text fields.
    void setLogo(const QByteArray &bytes);
    QByteArray logo() const { return m_logo; }
    // "Logo wählen ...": an image file becomes the logo; a file that is no
    // picture or too large is refused and the logo stays as it was.
    void chooseLogo();

    QComboBox *taxRegime = nullptr;
    QLabel *logoPreview = nullptr;
    QPushButton *chooseLogoButton = nullptr;
    QPushButton *removeLogoButton = nullptr;

private:
    QByteArray m_logo;
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
