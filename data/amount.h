#pragma once

#include <QChar>
#include <QObject>
#include <QString>

// The two separators of the user's regional settings. One process-wide value,
// read at start-up and again when the system announces a locale change; tests
// set it explicitly so that nothing depends on the machine's locale.
struct Separators
{
    QChar decimal = QLatin1Char(',');
    QChar thousands = QLatin1Char('.');

    static Separators current();
    static void setCurrent(Separators s);
    // First character of QLocale::system()'s entries; "." and "," when empty.
    static Separators fromSystem();
    static void reloadFromSystem() { setCurrent(fromSystem()); }
};

// Installed on the application: re-reads the separators on QEvent::LocaleChange.
class LocaleWatcher : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// The pattern every amount is written with.
inline const QString AmountPattern = QStringLiteral("###,###0.00");

// Formats by a number pattern ("#", "0", first "." for the decimal place, ","
// anywhere switching on thousands grouping, up to three ";" sections), in
// extended precision: 18 significant digits, then decimal half-up rounding.
QString formatFloat(const QString &pattern, long double value);
inline QString formatAmount(long double value) { return formatFloat(AmountPattern, value); }

// The plain number conversion: leading/trailing blanks, optional sign, digits
// with the locale's decimal separator, optional exponent. Anything else throws
// ConversionError "'<text>' ist kein gültiger Gleitkommawert".
long double textToFloat(const QString &text);
// Same rules; returns false instead of throwing.
bool tryTextToFloat(const QString &text, long double &result);

// An amount the program writes, adds and prints: finite and below 10^15 in
// magnitude, where a double still holds every cent.
bool isValidAmount(long double value);
