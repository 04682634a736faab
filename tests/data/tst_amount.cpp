#include "errorof.h"

#include "data/amount.h"
#include "data/errors.h"
#include "data/money.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>

Q_DECLARE_METATYPE(long double)
Q_DECLARE_METATYPE(Separators)

namespace {

Separators german() { return {QLatin1Char(','), QLatin1Char('.')}; }
Separators english() { return {QLatin1Char('.'), QLatin1Char(',')}; }
Separators swiss() { return {QLatin1Char('.'), QLatin1Char('\'')}; }

QByteArray show(long double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.21Lg", v);
    return buf;
}

QByteArray show(Separators s)
{
    return QString(QLatin1Char('\'') + s.decimal + QLatin1String("' '") + s.thousands
                   + QLatin1Char('\''))
        .toUtf8();
}

// An exact number as plain decimal text ("-0.015", "1000"), written out
// here digit by digit rather than by the program's own conversions.
QString decimalText(const ExactNumber &n)
{
    __int128 magnitude = n.digits < 0 ? -n.digits : n.digits;
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (n.scale <= 0) {
        if (digits != QLatin1String("0"))
            digits += QString(-n.scale, QLatin1Char('0'));
    } else {
        if (digits.size() <= n.scale)
            digits.prepend(QString(n.scale - digits.size() + 1, QLatin1Char('0')));
        digits.insert(digits.size() - n.scale, QLatin1Char('.'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        if (digits.endsWith(QLatin1Char('.')))
            digits.chop(1);
    }
    return n.digits < 0 ? QLatin1Char('-') + digits : digits;
}

bool sameSeparators(Separators a, Separators b)
{
    return a.decimal == b.decimal && a.thousands == b.thousands;
}

class EventCounter : public QObject
{
public:
    int localeChanges = 0;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::LocaleChange)
            ++localeChanges;
        return QObject::event(e);
    }
};

// Switches LC_NUMERIC to a locale with ',' as radix character for one test.
class CommaNumericLocale
{
public:
    CommaNumericLocale()
    {
        const char *saved = std::setlocale(LC_NUMERIC, nullptr);
        m_saved = saved ? saved : "C";
        for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
            if (std::setlocale(LC_NUMERIC, name)) {
                m_active = true;
                break;
            }
        }
    }
    ~CommaNumericLocale() { std::setlocale(LC_NUMERIC, m_saved.constData()); }
    bool active() const { return m_active; }

private:
    QByteArray m_saved;
    bool m_active = false;
};

} // namespace

class TestAmount : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void format_data();
    void format();
    void formatAmountUsesAmountPattern_data();
    void formatAmountUsesAmountPattern();

    void convert_data();
    void convert();
    void convertFails_data();
    void convertFails();

    void roundTrip_data();
    void roundTrip();

    void independentOfProcessLocale_data();
    void independentOfProcessLocale();

    void separatorsFromSystem();
    void watcherReloadsOnLocaleChange_data();
    void watcherReloadsOnLocaleChange();

    void exactStoredNumber_data();
    void exactStoredNumber();
    void formatMoneyWritesWhatFormatAmountWrites_data();
    void formatMoneyWritesWhatFormatAmountWrites();
    void lineAmount_data();
    void lineAmount();
};

void TestAmount::initTestCase()
{
    // Until their owner sets others, the separators are the German ones.
    QCOMPARE(Separators().decimal, QLatin1Char(','));
    QCOMPARE(Separators().thousands, QLatin1Char('.'));
}

void TestAmount::format_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<Separators>("separators");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    const QString amount = AmountPattern;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        const char *tag;
        QString pattern;
        Separators sep;
        double value;
        const char *expected;
    } rows[] = {
        {"zero", amount, german(), 0.0, "0,00"},
        {"negative zero", amount, german(), -0.0, "0,00"},
        {"half cent up", amount, german(), 0.005, "0,01"},
        {"half", amount, german(), 0.5, "0,50"},
        {"integer", amount, german(), 7, "7,00"},
        {"carry into thousands", amount, german(), 999.999, "1.000,00"},
        {"thousands", amount, german(), 1234.5, "1.234,50"},
        {"millions rounded down", amount, german(), 1234567.891, "1.234.567,89"},
        {"beyond pattern places", amount, german(), 12345678.9, "12.345.678,90"},
        {"negative", amount, german(), -2.5, "-2,50"},
        {"negative to zero", amount, german(), -0.001, "0,00"},
        {"negative just below half", amount, german(), -0.004, "0,00"},
        {"negative half cent", amount, german(), -0.005, "-0,01"},
        {"exact tie goes up", amount, german(), 0.125, "0,13"},
        {"double just below tie", amount, german(), 2.675, "2,67"},
        {"1.005 just below tie", amount, german(), 1.005, "1,00"},
        {"1000", amount, german(), 1000, "1.000,00"},
        {"negative thousands", amount, german(), -1234567.891, "-1.234.567,89"},
        {"below the cents", amount, german(), 0.0004, "0,00"},
        {"tiny", amount, german(), 1e-30, "0,00"},
        // Exactly 1000424789838.994995117…: up only because 18 digits end in ...99500.
        {"18 significant digits first", amount, german(), 1000424789838.995,
         "1.000.424.789.839,00"},
        {"largest below 1e18", amount, german(), 999999999999999872.0,
         "999.999.999.999.999.872,00"},
        {"1e18 general", amount, german(), 1e18, "1E18"},
        {"1.5e20 general", amount, german(), 1.5e20, "1,5E20"},
        {"negative general", amount, german(), -2.5e30, "-2,5E30"},
        {"15 digits general", amount, german(), 1.23456789012345678e25, "1,23456789012346E25"},
        {"inf", amount, german(), inf, "INF"},
        {"-inf", amount, german(), -inf, "-INF"},
        {"nan", amount, german(), nan, "NAN"},

        {"en zero", amount, english(), 0.0, "0.00"},
        {"en thousands", amount, english(), 1234.5, "1,234.50"},
        {"en millions", amount, english(), 1234567.891, "1,234,567.89"},
        {"en negative half cent", amount, english(), -0.005, "-0.01"},
        {"en general", amount, english(), 1.5e20, "1.5E20"},
        {"swiss", amount, swiss(), 1234567.5, "1'234'567.50"},

        {"no grouping", QStringLiteral("0.00"), german(), 1234.5, "1234,50"},
        {"grouping comma position irrelevant", QStringLiteral("0.00,"), german(), 1234.5,
         "1.234,50"},
        {"no decimals half up", QStringLiteral("#,##0"), german(), 2.5, "3"},
        {"no decimals grouped", QStringLiteral("#,##0"), german(), 1234567.5, "1.234.568"},
        {"optional decimals dropped", QStringLiteral("0.##"), german(), 1.0, "1"},
        {"optional decimals partly", QStringLiteral("0.##"), german(), 1.5, "1,5"},
        {"optional decimals rounded", QStringLiteral("0.##"), german(), 1.257, "1,26"},
        {"no integer zero", QStringLiteral("#.00"), german(), 0.5, ",50"},
        {"minimum integer digits", QStringLiteral("000"), german(), 5, "005"},
        {"second section for negative", QStringLiteral("0.00;(0.00)"), german(), -2.5, "(2,50)"},
        {"second section not for positive", QStringLiteral("0.00;(0.00)"), german(), 2.5, "2,50"},
        {"negative rounding to zero uses first", QStringLiteral("0.00;(0.00)"), german(), -0.001,
         "0,00"},
        {"zero section", QStringLiteral("0.00;(0.00);'null'"), german(), 0.0, "null"},
        {"negative rounding to zero section", QStringLiteral("0.00;(0.00);'null'"), german(),
         -0.001, "null"},
        {"empty negative section", QStringLiteral("0.00;;'null'"), german(), -2.5, "-2,50"},
        {"literal suffix", QStringLiteral("#,##0.00 \"€\""), german(), 1234.5, "1.234,50 €"},
        {"literal prefix", QStringLiteral("EUR 0.00"), german(), -3, "-EUR 3,00"},
        {"quoted semicolon", QStringLiteral("0.00' ;x'"), german(), -1, "-1,00 ;x"},
        {"empty pattern general", QString(), german(), 1.5, "1,5"},
    };
    for (const auto &r : rows)
        QTest::newRow(r.tag) << r.pattern << r.sep << r.value << QString::fromUtf8(r.expected);
}

void TestAmount::format()
{
    QFETCH(QString, pattern);
    QFETCH(Separators, separators);
    QFETCH(double, value);
    QFETCH(QString, expected);

    QCOMPARE(formatFloat(pattern, static_cast<long double>(value), separators), expected);
}

void TestAmount::formatAmountUsesAmountPattern_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("grouped") << 1234567.891 << QStringLiteral("1.234.567,89");
    QTest::newRow("negative") << -0.005 << QStringLiteral("-0,01");
}

void TestAmount::formatAmountUsesAmountPattern()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(formatAmount(value, german()), expected);
}

void TestAmount::convert_data()
{
    QTest::addColumn<Separators>("separators");
    QTest::addColumn<QString>("text");
    QTest::addColumn<long double>("expected");

    const Separators de = german();
    QTest::newRow("decimal") << de << QStringLiteral("12,50") << 12.5L;
    QTest::newRow("blanks around") << de << QStringLiteral("  12,5  ") << 12.5L;
    QTest::newRow("plus") << de << QStringLiteral("+3") << 3.0L;
    QTest::newRow("minus") << de << QStringLiteral("-0,5") << -0.5L;
    QTest::newRow("blank before sign") << de << QStringLiteral(" -1") << -1.0L;
    QTest::newRow("lone separator") << de << QStringLiteral(",") << 0.0L;
    QTest::newRow("no integer digits") << de << QStringLiteral("-,5") << -0.5L;
    QTest::newRow("no fraction digits") << de << QStringLiteral("5,") << 5.0L;
    QTest::newRow("leading zeros") << de << QStringLiteral("007") << 7.0L;
    QTest::newRow("exponent") << de << QStringLiteral("1e3") << 1000.0L;
    QTest::newRow("exponent with sign") << de << QStringLiteral("1E+2") << 100.0L;
    QTest::newRow("negative exponent") << de << QStringLiteral("1,5E-2") << 0.015L;
    QTest::newRow("exponent without digits") << de << QStringLiteral("1E") << 1.0L;
    QTest::newRow("exponent sign without digits") << de << QStringLiteral("1e-") << 1.0L;
    QTest::newRow("exponent then blanks") << de << QStringLiteral("2e1 ") << 20.0L;
    QTest::newRow("extended precision") << de << QStringLiteral("0,1") << 0.1L;
    QTest::newRow("many digits") << de << QStringLiteral("12345678,25") << 12345678.25L;
    QTest::newRow("underflow") << de << QStringLiteral("1e-5000") << 0.0L;

    const Separators en = english();
    QTest::newRow("en decimal") << en << QStringLiteral("12.50") << 12.5L;
    QTest::newRow("en exponent") << en << QStringLiteral("1.5e3") << 1500.0L;
    QTest::newRow("en extended precision") << en << QStringLiteral("-0.1") << -0.1L;
}

void TestAmount::convert()
{
    QFETCH(Separators, separators);
    QFETCH(QString, text);
    QFETCH(long double, expected);

    long double actual = 0;
    try {
        actual = textToFloat(text, separators);
    } catch (const ConversionError &e) {
        QFAIL(qPrintable(e.message()));
    }
    QVERIFY2(actual == expected, (show(actual) + " != " + show(expected)).constData());

    long double tried = -12345;
    QVERIFY(tryTextToFloat(text, tried, separators));
    QVERIFY2(tried == expected, (show(tried) + " != " + show(expected)).constData());
}

void TestAmount::convertFails_data()
{
    QTest::addColumn<Separators>("separators");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    const Separators de = german();
    const struct
    {
        const char *tag;
        Separators sep;
        const char *text;
        const char *message;
    } rows[] = {
        {"thousands separator", de, "1.234,50", "'1.234,50' ist kein gültiger Gleitkommawert"},
        {"other separator", de, "12.50", "'12.50' ist kein gültiger Gleitkommawert"},
        {"empty", de, "", "'' ist kein gültiger Gleitkommawert"},
        {"blank after sign", de, "- 5", "'- 5' ist kein gültiger Gleitkommawert"},
        {"unit", de, "5 Stk", "'5 Stk' ist kein gültiger Gleitkommawert"},
        {"only blanks", de, "   ", "'   ' ist kein gültiger Gleitkommawert"},
        {"two separators", de, "1,2,3", "'1,2,3' ist kein gültiger Gleitkommawert"},
        {"currency sign", de, "€5", "'€5' ist kein gültiger Gleitkommawert"},
        {"trailing tab", de, "1\t", "'1\t' ist kein gültiger Gleitkommawert"},
        {"leading tab", de, "\t1", "'\t1' ist kein gültiger Gleitkommawert"},
        {"inner blank", de, "1 000", "'1 000' ist kein gültiger Gleitkommawert"},
        {"sign only", de, "-", "'-' ist kein gültiger Gleitkommawert"},
        {"two signs", de, "+-1", "'+-1' ist kein gültiger Gleitkommawert"},
        {"sign after blanks after number", de, "1 -", "'1 -' ist kein gültiger Gleitkommawert"},
        {"exponent without mantissa", de, "e5", "'e5' ist kein gültiger Gleitkommawert"},
        {"blank inside exponent", de, "1e 5", "'1e 5' ist kein gültiger Gleitkommawert"},
        {"two exponents", de, "1e5e", "'1e5e' ist kein gültiger Gleitkommawert"},
        {"separator in exponent", de, "1e2,5", "'1e2,5' ist kein gültiger Gleitkommawert"},
        {"letters", de, "abc", "'abc' ist kein gültiger Gleitkommawert"},
        {"other digits", de, "\u0661", "'\u0661' ist kein gültiger Gleitkommawert"},
        {"hex", de, "0x10", "'0x10' ist kein gültiger Gleitkommawert"},
        {"inf word", de, "inf", "'inf' ist kein gültiger Gleitkommawert"},
        {"overflow", de, "1e5000", "'1e5000' ist kein gültiger Gleitkommawert"},
        {"placeholder in text", de, "%1x", "'%1x' ist kein gültiger Gleitkommawert"},
        {"en comma", english(), "12,50", "'12,50' ist kein gültiger Gleitkommawert"},
        {"en thousands", english(), "1,234.50", "'1,234.50' ist kein gültiger Gleitkommawert"},
    };
    for (const auto &r : rows)
        QTest::newRow(r.tag) << r.sep << QString::fromUtf8(r.text) << QString::fromUtf8(r.message);
}

void TestAmount::convertFails()
{
    QFETCH(Separators, separators);
    QFETCH(QString, text);
    QFETCH(QString, message);

    long double untouched = 0;
    QVERIFY(!tryTextToFloat(text, untouched, separators));
    try {
        const long double v = textToFloat(text, separators);
        QFAIL(("no exception, read " + show(v)).constData());
    } catch (const ConversionError &e) {
        QCOMPARE(e.message(), message);
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
}

void TestAmount::roundTrip_data()
{
    QTest::addColumn<Separators>("separators");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<long double>("readBack");

    QTest::newRow("zero") << german() << 0.0 << QStringLiteral("0,00") << 0.0L;
    QTest::newRow("rounded") << german() << 123.456 << QStringLiteral("123,46") << 123.46L;
    QTest::newRow("negative") << german() << -0.005 << QStringLiteral("-0,01") << -0.01L;
    QTest::newRow("three digits") << german() << 999.994 << QStringLiteral("999,99") << 999.99L;
    QTest::newRow("en") << english() << 42.1 << QStringLiteral("42.10") << 42.1L;
}

void TestAmount::roundTrip()
{
    QFETCH(Separators, separators);
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(long double, readBack);

    QCOMPARE(formatAmount(value, separators), text);
    const long double read = textToFloat(text, separators);
    QVERIFY2(read == readBack, (show(read) + " != " + show(readBack)).constData());
    QCOMPARE(formatAmount(read, separators), text);
}

void TestAmount::independentOfProcessLocale_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("formatted");
    QTest::addColumn<QString>("text");
    QTest::addColumn<long double>("read");

    QTest::newRow("amount") << 1234.5 << QStringLiteral("1.234,50") << QStringLiteral("-12,5e1")
                            << -125.0L;
    QTest::newRow("general") << 1.5e20 << QStringLiteral("1,5E20") << QStringLiteral("0,25")
                             << 0.25L;
}

void TestAmount::independentOfProcessLocale()
{
    QFETCH(double, value);
    QFETCH(QString, formatted);
    QFETCH(QString, text);
    QFETCH(long double, read);

    CommaNumericLocale numeric;
    if (!numeric.active())
        QSKIP("no locale with a decimal comma installed");
    QCOMPARE(formatAmount(value, german()), formatted);
    const long double actual = textToFloat(text, german());
    QVERIFY2(actual == read, (show(actual) + " != " + show(read)).constData());
}

void TestAmount::separatorsFromSystem()
{
    const Separators s = Separators::fromSystem();
    QVERIFY(!s.decimal.isNull());
    QVERIFY(!s.thousands.isNull());
    QVERIFY(!s.decimal.isDigit());
    QVERIFY(!s.thousands.isDigit());
}

void TestAmount::watcherReloadsOnLocaleChange_data()
{
    QTest::addColumn<int>("eventType");
    QTest::addColumn<bool>("reloads");

    QTest::newRow("locale change") << int(QEvent::LocaleChange) << true;
    QTest::newRow("language change") << int(QEvent::LanguageChange) << false;
    QTest::newRow("other") << int(QEvent::User) << false;
}

void TestAmount::watcherReloadsOnLocaleChange()
{
    QFETCH(int, eventType);
    QFETCH(bool, reloads);

    const Separators odd{QLatin1Char('x'), QLatin1Char('y')};
    Separators now = odd;

    EventCounter target;
    LocaleWatcher watcher([&](const Separators &system) { now = system; });
    target.installEventFilter(&watcher);
    QEvent event(static_cast<QEvent::Type>(eventType));
    QCoreApplication::sendEvent(&target, &event);

    const Separators expected = reloads ? Separators::fromSystem() : odd;
    QVERIFY2(sameSeparators(now, expected), (show(now) + " != " + show(expected)).constData());
    // The filter must let the event through to its receiver.
    QCOMPARE(target.localeChanges, reloads ? 1 : 0);
}

void TestAmount::exactStoredNumber_data()
{
    QTest::addColumn<Separators>("separators");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value"); // as plain decimal text, "" when refused
    const Separators de = german();
    const Separators en = english();
    QTest::newRow("decimal comma") << de << "12,50" << "12.5";
    QTest::newRow("blanks and a sign") << de << "  -0,25 " << "-0.25";
    QTest::newRow("leading and trailing zeros") << de << "000123,4500" << "123.45";
    QTest::newRow("exponent") << de << "1e3" << "1000";
    QTest::newRow("negative exponent") << de << "1,5E-2" << "0.015";
    QTest::newRow("exponent moves the decimals") << de << "2,675e1" << "26.75";
    QTest::newRow("0,1 exactly, unlike a double") << de << "0,1" << "0.1";
    // Files written before they named their separators hold such texts.
    QTest::newRow("decimal point in a file of commas") << de << "2.50" << "2.5";
    QTest::newRow("decimal comma in a file of points") << en << "2,50" << "2.5";
    QTest::newRow("decimal point") << en << "1234.005" << "1234.005";
    // Beyond 18 significant digits the rest rounds half up into the 18th.
    QTest::newRow("19 digits, the last rounds up") << de << "1234567890123456789" << "1234567890123456790";
    QTest::newRow("19 decimals, the last rounds down") << de << "0,1234567890123456784" << "0.123456789012345678";
    QTest::newRow("19 decimals, a 5 rounds up") << de << "0,1234567890123456785" << "0.123456789012345679";
    QTest::newRow("20 nines become a power of ten") << de << "99999999999999999999" << "100000000000000000000";
    // Maybe a thousand and a quarter: not read at all.
    QTest::newRow("1.250 in a file of commas") << de << "1.250" << "";
    QTest::newRow("a thousands separator") << de << "1.234,50" << "";
    QTest::newRow("blanks only") << de << "   " << "";
}

void TestAmount::exactStoredNumber()
{
    QFETCH(Separators, separators);
    QFETCH(QString, text);
    QFETCH(QString, value);
    ExactNumber read;
    QCOMPARE(tryExactStoredNumber(text, read, separators), !value.isEmpty());
    if (value.isEmpty()) {
        // Refused as the plain conversion refuses it.
        QCOMPARE(errorOf([&] { ::exactStoredNumber(text, separators); }),
                 QStringLiteral("'%1' ist kein gültiger Gleitkommawert").arg(text));
        return;
    }
    QCOMPARE(decimalText(read), value);
    QCOMPARE(decimalText(::exactStoredNumber(text, separators)), value);
}

void TestAmount::formatMoneyWritesWhatFormatAmountWrites_data()
{
    QTest::addColumn<Separators>("separators");
    QTest::newRow("german") << german();
    QTest::newRow("english") << english();
    QTest::newRow("swiss") << swiss();
}

void TestAmount::formatMoneyWritesWhatFormatAmountWrites()
{
    QFETCH(Separators, separators);
    QList<qint64> cents;
    // Every cent up to 500 either way, the first groups included ...
    for (qint64 c = -50000; c <= 50000; ++c)
        cents << c;
    // ... and amounts of every length up to the largest, with up to five groups.
    for (qint64 c = 7, step = 0; c < 100000000000000000LL; c = c * 3 + step++ % 10)
        cents << c << -c << c - c % 100 << c - c % 100 + 99;
    cents << 99999999999999999LL << -99999999999999999LL << 100000 << 99999999 << 100000000;
    for (const qint64 c : std::as_const(cents)) {
        const QString money = formatMoney(Money{c}, separators);
        const QString amount = formatAmount(static_cast<long double>(c) / 100, separators);
        if (money != amount)
            QFAIL(qPrintable(QStringLiteral("%1 cents: formatMoney %2, formatAmount %3").arg(c).arg(money, amount)));
    }
}

void TestAmount::lineAmount_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("amount"); // moneyWithDot, "none" for no value
    QTest::addColumn<QString>("message");
    // Half a cent goes up, where the product in binary lies just below it.
    QTest::newRow("1,005 x 1") << "1,005" << "1" << "1.01" << "";
    QTest::newRow("0,335 x 3 = 1,005") << "0,335" << "3" << "1.01" << "";
    QTest::newRow("2,675 x 1") << "2,675" << "1" << "2.68" << "";
    QTest::newRow("1,15 x 0,5 = 0,575") << "1,15" << "0,5" << "0.58" << "";
    QTest::newRow("a credit rounds away from zero") << "-2,675" << "1" << "-2.68" << "";
    QTest::newRow("a negative quantity") << "0,335" << "-3" << "-1.01" << "";
    QTest::newRow("just below half a cent") << "1,0049999" << "1" << "1.00" << "";
    QTest::newRow("three decimals each") << "12,345" << "6,789" << "83.81" << ""; // 83,810205
    QTest::newRow("stored with the other separator") << "2.5" << "4" << "10.00" << "";
    QTest::newRow("exponent") << "1,5e2" << "3" << "450.00" << "";
    QTest::newRow("no quantity") << "7" << "" << "none" << "";
    QTest::newRow("no price") << "" << "2" << "none" << "";
    // The factor out of all proportion is the one named.
    QTest::newRow("too large: the price") << "1e20" << "2" << "" << "'1e20' ergibt keinen gültigen Betrag";
    QTest::newRow("too large: the quantity") << "2" << "1e20" << "" << "'1e20' ergibt keinen gültigen Betrag";
    QTest::newRow("too large: 10^15 exactly") << "1000000000000000" << "1" << "" << "'1000000000000000' ergibt keinen gültigen Betrag";
    QTest::newRow("not a number: the price first") << "zwei" << "drei" << "" << "'zwei' ist kein gültiger Gleitkommawert";
    QTest::newRow("blanks are no empty text") << "   " << "1" << "" << "'   ' ist kein gültiger Gleitkommawert";
}

void TestAmount::lineAmount()
{
    QFETCH(QString, price);
    QFETCH(QString, quantity);
    QFETCH(QString, amount);
    QFETCH(QString, message);
    std::optional<Money> computed;
    QCOMPARE(errorOf([&] { computed = ::lineAmount(price, quantity, german()); }), message);
    if (message.isEmpty())
        QCOMPARE(computed ? moneyWithDot(*computed) : QStringLiteral("none"), amount);
}

QTEST_GUILESS_MAIN(TestAmount)
#include "tst_amount.moc"
