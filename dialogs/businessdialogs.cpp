#include "businessdialogs.h"

#include "data/businesslogo.h"
#include "einvoice/checks.h"
#include "framework/settings.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>

using namespace einvoice;

BusinessDialog::BusinessDialog(QWidget *parent)
    : FieldForm(QStringLiteral("firmendaten"), QStringLiteral("Firmendaten"), parent)
{
    addField("businessName", field::BusinessName, &Seller::businessName, 80);
    addField("owner", field::Owner, &Seller::owner, 80);
    addField("street", field::StreetAndNumber, &Seller::street, 60);
    addField("cap", field::Cap, &Seller::cap, 5);
    addField("town", field::Town, &Seller::town, 60);
    addField("province", field::Province, &Seller::province, 2);
    addField("country", field::Country, &Seller::country, 2);
    addField("vatCountry", field::VatCountry, &Seller::vatCountry, 2);
    addField("vatNumber", field::VatNumber, &Seller::vatNumber, 28);
    addField("fiscalCode", field::FiscalCode, &Seller::fiscalCode, 16);
    taxRegime = new QComboBox(this);
    taxRegime->setObjectName(QStringLiteral("taxRegime"));
    taxRegime->setAccessibleName(field::TaxRegime);
    for (const TaxRegime &r : taxRegimes()) {
        taxRegime->addItem(r.code + QStringLiteral(" – ") + r.description, r.code);
        taxRegime->setItemData(taxRegime->count() - 1, r.description, Qt::ToolTipRole);
    }
    // The longest regime's legal reference would make the form wider than half
    // a screen: the closed box shows the start of the entry, its open list and
    // the tooltip the whole of it.
    taxRegime->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    taxRegime->setMinimumContentsLength(40);
    taxRegime->view()->setMinimumWidth(taxRegime->view()->sizeHintForColumn(0) + 24);
    taxRegime->view()->setTextElideMode(Qt::ElideNone);
    addRow(field::TaxRegime + QLatin1Char(':'), taxRegime);
    addField("telephone", field::Telephone, &Seller::telephone, 40);
    addField("email", field::Email, &Seller::email, 80);
    addField("bankName", field::BankName, &Seller::bankName, 80);
    addField("iban", field::Iban, &Seller::iban, 42);
    addField("bic", field::Bic, &Seller::bic, 11);
    addField("paymentLine", field::PaymentLine, &Seller::paymentLine, 100);
    addField("transmissionNumber", field::TransmissionNumber, &Seller::nextTransmissionNumber, 5);
    // The plant passport's B and the site the goods leave from, as the
    // printed delivery note names them.
    addField("registrationNumber", field::RegistrationNumber, &Seller::registrationNumber, 20)
        ->setPlaceholderText(QStringLiteral("IT-21-1234"));
    addField("siteCode", field::SiteCode, &Seller::siteCode, 20);

    auto *logoRow = new QWidget(this);
    auto *logoLayout = new QHBoxLayout(logoRow);
    logoLayout->setContentsMargins(0, 0, 0, 0);
    logoPreview = new QLabel(logoRow);
    logoPreview->setObjectName(QStringLiteral("logoPreview"));
    // The printed box's shape, 59.53 by 29.90 mm, at half a pixel per tenth.
    logoPreview->setFixedSize(120, 60);
    logoPreview->setAlignment(Qt::AlignCenter);
    logoPreview->setFrameShape(QFrame::Box);
    chooseLogoButton = new QPushButton(QStringLiteral("Logo wählen ..."), logoRow);
    chooseLogoButton->setObjectName(QStringLiteral("chooseLogo"));
    removeLogoButton = new QPushButton(QStringLiteral("Logo entfernen"), logoRow);
    removeLogoButton->setObjectName(QStringLiteral("removeLogo"));
    logoLayout->addWidget(logoPreview);
    logoLayout->addWidget(chooseLogoButton);
    logoLayout->addWidget(removeLogoButton);
    logoLayout->addStretch();
    addRow(QStringLiteral("Logo:"), logoRow);
    connect(chooseLogoButton, &QPushButton::clicked, this, [this] { guarded([this] { chooseLogo(); }); });
    connect(removeLogoButton, &QPushButton::clicked, this, [this] { setLogo(QByteArray()); });
    finish();
    setLogo(QByteArray());
}

void BusinessDialog::setLogo(const QByteArray &bytes)
{
    m_logo = bytes;
    const QImage image = QImage::fromData(bytes);
    if (image.isNull()) {
        logoPreview->setPixmap(QPixmap());
        logoPreview->setText(QStringLiteral("kein Logo"));
    } else {
        logoPreview->setPixmap(QPixmap::fromImage(
            image.scaled(logoPreview->size() - QSize(2, 2), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    removeLogoButton->setEnabled(!bytes.isEmpty());
}

void BusinessDialog::chooseLogo()
{
    const std::optional<QString> file =
        askOpenFile(QStringLiteral("Logo wählen"), rememberedFolder(QStringLiteral("logo"), QDir::homePath()),
                    QStringLiteral("Bilder (*.png *.jpg *.jpeg *.bmp)"));
    if (!file)
        return;
    rememberFolderOf(QStringLiteral("logo"), *file);
    const QByteArray bytes = readLogoFile(*file);
    // A file may begin like a picture and still be none.
    if (QImage::fromData(bytes).isNull())
        throw ConversionError(QStringLiteral("Die Datei \"%1\" lässt sich nicht als Bild lesen. "
                                             "Bitte wählen Sie ein anderes Bild; das bisherige Logo bleibt")
                                  .arg(QFileInfo(*file).fileName()));
    setLogo(bytes);
}

void BusinessDialog::setValue(const Seller &s)
{
    FieldForm::setValue(s);
    taxRegime->setCurrentIndex(std::max(0, taxRegime->findData(s.taxRegime)));
}

Seller BusinessDialog::value() const
{
    Seller s = FieldForm::value();
    s.taxRegime = taxRegime->currentData().toString();
    return s;
}

BuyerDialog::BuyerDialog(QWidget *parent)
    : FieldForm(QStringLiteral("efatturakunde"), QStringLiteral("Kundendaten für die elektronische Rechnung"), parent)
{
    addField("name", field::Name, &Buyer::name, 80);
    isPerson = new QCheckBox(QStringLiteral("Privatperson (mit Vor- und Nachname)"), this);
    isPerson->setObjectName(QStringLiteral("isPerson"));
    addRow(QString(), isPerson);
    addField("firstName", field::FirstName, &Buyer::firstName, 60);
    addField("lastName", field::LastName, &Buyer::lastName, 60);
    kind = new QComboBox(this);
    kind->setObjectName(QStringLiteral("kind"));
    kind->setAccessibleName(field::Kind);
    for (const CustomerKind k : {CustomerKind::ItalianBusiness, CustomerKind::ItalianPerson, CustomerKind::EuBusiness,
                                 CustomerKind::EuPerson, CustomerKind::OutsideEu, CustomerKind::SanMarino,
                                 CustomerKind::Vatican})
        kind->addItem(customerKindName(k), customerKindCode(k));
    addRow(field::Kind + QLatin1Char(':'), kind);
    connect(kind, &QComboBox::currentIndexChanged, this,
            [this] { showKind(customerKindOfCode(kind->currentData().toString())); });
    addField("vatCountry", field::VatCountry, &Buyer::vatCountry, 2);
    addField("vatNumber", field::VatNumber, &Buyer::vatNumber, 28);
    addField("fiscalCode", field::FiscalCode, &Buyer::fiscalCode, 16);
    addField("recipientCode", field::RecipientCode, &Buyer::recipientCode, 7);
    addField("pec", field::Pec, &Buyer::pec, 256);
    addField("street", field::Street, &Buyer::street, 60);
    addField("houseNumber", field::HouseNumber, &Buyer::houseNumber, 8);
    // Abroad a postcode may be longer ("SW1A 1AA"); the checks bound it.
    addField("cap", field::Cap, &Buyer::cap, 10);
    addField("town", field::Town, &Buyer::town, 60);
    addField("province", field::Province, &Buyer::province, 2);
    addField("country", field::Country, &Buyer::country, 2);
    finish();
}

void BuyerDialog::setValue(const Buyer &b)
{
    FieldForm::setValue(b);
    isPerson->setChecked(b.isPerson);
    kind->setCurrentIndex(std::max(0, kind->findData(customerKindCode(b.kind))));
    showKind(b.kind);
}

Buyer BuyerDialog::value() const
{
    Buyer b = FieldForm::value();
    b.isPerson = isPerson->isChecked();
    b.kind = customerKindOfCode(kind->currentData().toString());
    return b;
}

void BuyerDialog::showKind(CustomerKind chosen)
{
    // Abroad the exchange system takes only the kind's own code; at home the
    // customer's, which a code meant for abroad is not.
    QLineEdit *code = field("recipientCode");
    const QString foreign = foreignRecipientCode(chosen);
    if (!foreign.isEmpty())
        code->setText(foreign);
    else if (code->text() == foreignRecipientCode(CustomerKind::EuBusiness)
             || code->text() == foreignRecipientCode(CustomerKind::SanMarino))
        code->setText(QStringLiteral("0000000"));
    code->setEnabled(foreign.isEmpty());
}
