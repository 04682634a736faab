#pragma once

#include <QChar>
#include <QLocale>
#include <QObject>
#include <QString>
#include <functional>

// The two separators amounts are written and read with. Every conversion is
// handed the ones it uses: whoever owns the data holds them (the ones the file
// names, data/fileseparators.h, else the user's regional settings) and passes
// them down.
struct Separators
{
    QChar decimal = QLatin1Char(',');
    QChar thousands = QLatin1Char('.');

    // A locale's: the first character of its entries; "." and "," when empty.
    static Separators ofLocale(const QLocale &locale);
    // The user's regional settings, QLocale::system()'s.
    static Separators fromSystem();
    bool operator==(const Separators &) const = default;
};

// Installed on the application: tells its owner the system's separators
// again on every QEvent::LocaleChange.
class LocaleWatcher : public QObject
{
    Q_OBJECT
public:
    explicit LocaleWatcher(std::function<void(const Separators &)> changed, QObject *parent = nullptr)
        : QObject(parent), m_changed(std::move(changed)) {}
protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
private:
    std::function<void(const Separators &)> m_changed;
};

// The pattern every amount is written with.
inline const QString AmountPattern = QStringLiteral("###,###0.00");

// Formats by a number pattern ("#", "0", first "." for the decimal place, ","
// anywhere switching on thousands grouping, up to three ";" sections), in
// extended precision: 18 significant digits, then decimal half-up rounding.
QString formatFloat(const QString &pattern, long double value, const Separators &separators);
inline QString formatAmount(long double value, const Separators &separators)
{
    return formatFloat(AmountPattern, value, separators);
}

// A number as a text field takes it and a record set shows a stored one: 15
// significant digits, the decimal separator, no grouping.
QString generalNumber(double value, const Separators &separators);

// The plain number conversion: leading/trailing blanks, optional sign, digits
// with the given decimal separator, optional exponent. Anything else throws
// ConversionError "'<text>' ist kein gültiger Gleitkommawert".
long double textToFloat(const QString &text, const Separators &separators);
// Same rules; returns false instead of throwing.
bool tryTextToFloat(const QString &text, long double &result, const Separators &separators);

// How a number stored in the file was read.
enum class StoredNumber {
    Read,                   // by the plain conversion
    ReadWithOtherSeparator, // written with the other decimal separator, see tryStoredNumber
    Unreadable,
};

// A number the file holds, for the line amount, the totals and the e-invoice:
// the plain conversion, or, for a text written with the other decimal
// separator where it cannot mean anything else, that separator. Files written
// before they named their separators hold such texts, typed on PCs of other
// settings. "2.50" in a file of decimal commas (one point, no comma, one or
// two digits after the point) is 2,50, and "2,50" in a file of decimal points
// is 2.50; "1.250" stays unreadable, as it may be a thousand and a quarter.
// What is typed is never read this way: it takes the file's separator.
StoredNumber tryStoredNumber(const QString &text, long double &result, const Separators &separators);
// Same; an unreadable text throws as textToFloat does.
long double storedNumber(const QString &text, const Separators &separators);

// A number exactly as its text writes it: digits × 10^-scale. At most 18
// significant digits are kept (decimal half-up beyond them), as many as any
// amount is ever shown with.
struct ExactNumber
{
    __int128 digits = 0;
    int scale = 0;
};

// storedNumber's rules, with the exact value of the text: what money is
// computed from, never a binary approximation.
bool tryExactStoredNumber(const QString &text, ExactNumber &result, const Separators &separators);
// Same; an unreadable text throws as textToFloat does.
ExactNumber exactStoredNumber(const QString &text, const Separators &separators);

// An amount the program writes, adds and prints: finite and below 10^15 in
// magnitude, where a double still holds every cent.
bool isValidAmount(long double value);
