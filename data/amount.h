#pragma once

#include <QChar>
#include <QObject>
#include <QString>
#include <functional>

// The two separators amounts are written and read with. Every conversion is
// handed the ones it uses: whoever owns the data holds them (the user's
// regional settings today) and passes them down.
struct Separators
{
    QChar decimal = QLatin1Char(',');
    QChar thousands = QLatin1Char('.');

    // The user's regional settings: the first character of QLocale::system()'s
    // entries; "." and "," when empty.
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

// An amount the program writes, adds and prints: finite and below 10^15 in
// magnitude, where a double still holds every cent.
bool isValidAmount(long double value);
