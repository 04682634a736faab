// The totals of an invoice: what the editor, the printed invoice and the
// e-invoice show. The expected figures were worked out by hand, in cents,
// or, for random invoices, by a decimal computation of the test's own. And
// the rates a line may carry, and the one a new line starts with.

#include "errorof.h"

#include "data/customerkind.h"
#include "data/errors.h"
#include "data/totals.h"

#include <QRandomGenerator>
#include <QTest>

#include <map>
#include <utility>


Q_DECLARE_METATYPE(QList<TotalsLine>)
Q_DECLARE_METATYPE(QList<RateTotals>)
Q_DECLARE_METATYPE(Money)
Q_DECLARE_METATYPE(VatRate)
Q_DECLARE_METATYPE(CustomerKind)

namespace {

// A line as the user typed it, in a file of decimal commas.
struct TypedLine
{
    QString price;
    QString quantity;
    QString steuersatz;
    QString natura;
};

const Separators Comma{QLatin1Char(','), QLatin1Char('.')};

const VatRate Ten{10, QString()};
const VatRate TwentyTwo{22, QString()};
const VatRate ExemptExport{0, QStringLiteral("N3.1")};
const VatRate OutOfScope{0, QStringLiteral("N2.2")};

constexpr Money c(qint64 cents) { return Money{cents}; }

QByteArray shown(Money v) { return moneyWithDot(v).toLatin1(); }

QByteArray shown(const QList<RateTotals> &rates)
{
    QByteArray out;
    for (const RateTotals &r : rates)
        out += QByteArray::number(r.rate.percent) + '%' + r.rate.nature.toLatin1() + ": " + shown(r.taxable) + " / "
               + shown(r.tax) + "; ";
    return out;
}

// "-12,345" in thousandths (-12345): the texts the random invoices are
// typed with have at most three decimals.
__int128 thousandths(const QString &text)
{
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QStringList parts = text.mid(negative ? 1 : 0).split(QLatin1Char(','));
    const QString fraction = (parts.value(1) + QStringLiteral("000")).left(3);
    const __int128 value = __int128(parts.at(0).toLongLong()) * 1000 + fraction.toInt();
    return negative ? -value : value;
}

// value / divisor, halves away from zero, as a cashier rounds.
qint64 roundedQuotient(__int128 value, __int128 divisor)
{
    const __int128 magnitude = (value < 0 ? -value : value) * 2 + divisor;
    const __int128 quotient = magnitude / (2 * divisor);
    return qint64(value < 0 ? -quotient : quotient);
}

// The invoice's figures from the typed texts alone: every product exact in
// millionths, each line rounded to cents, each rate's tax rounded once.
InvoiceTotals expectedTotals(const QList<TypedLine> &lines)
{
    // Ordered as the invoice shows them: the highest rate first, natures by code.
    std::map<std::pair<int, QString>, qint64> taxable;
    for (const TypedLine &l : lines) {
        const int percent = l.steuersatz.isEmpty() ? 10 : l.steuersatz.toInt();
        const qint64 cents = roundedQuotient(thousandths(l.price) * thousandths(l.quantity), 10000);
        taxable[{-percent, l.natura}] += cents;
    }
    InvoiceTotals t;
    for (const auto &[key, cents] : taxable) {
        const int percent = -key.first;
        const qint64 tax = roundedQuotient(__int128(cents) * percent, 100);
        t.rates.append({VatRate{percent, key.second}, Money{cents}, Money{tax}});
        t.net += Money{cents};
        t.tax += Money{tax};
    }
    t.gross = t.net + t.tax;
    return t;
}

QString typedNumber(QRandomGenerator &random, int wholeBelow, int negativeOneIn)
{
    QString text = QString::number(random.bounded(wholeBelow));
    if (const int decimals = random.bounded(4)) {
        text += QLatin1Char(',');
        for (int i = 0; i < decimals; ++i)
            text += QChar(u'0' + random.bounded(10));
    }
    return random.bounded(negativeOneIn) == 0 ? QLatin1Char('-') + text : text;
}

} // namespace

Q_DECLARE_METATYPE(QList<TypedLine>)

class TestTotals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void totals_data();
    void totals();
    void randomInvoices_data();
    void randomInvoices();
    void rateOfALine_data();
    void rateOfALine();
    void refusedRate_data();
    void refusedRate();
    void newLineRateOfACustomer_data();
    void newLineRateOfACustomer();
};

void TestTotals::totals_data()
{
    QTest::addColumn<QList<TotalsLine>>("lines");
    QTest::addColumn<QList<RateTotals>>("rates");
    QTest::addColumn<Money>("net");
    QTest::addColumn<Money>("tax");
    QTest::addColumn<Money>("gross");

    QTest::newRow("no lines: no rate, all 0") << QList<TotalsLine>{} << QList<RateTotals>{} << c(0) << c(0) << c(0);
    QTest::newRow("one line at 10 %") << QList<TotalsLine>{{c(10000), Ten}} << QList<RateTotals>{{Ten, c(10000), c(1000)}}
                                      << c(10000) << c(1000) << c(11000);
    QTest::newRow("a line without amount counts 0")
        << QList<TotalsLine>{{c(5000), Ten}, {c(0), Ten}, {c(5000), Ten}} << QList<RateTotals>{{Ten, c(10000), c(1000)}}
        << c(10000) << c(1000) << c(11000);
    QTest::newRow("a credit line is taken off") << QList<TotalsLine>{{c(10000), Ten}, {c(-3000), Ten}}
                                                << QList<RateTotals>{{Ten, c(7000), c(700)}} << c(7000) << c(700) << c(7700);
    // A tenth of a sum ending in 5 cents is half a cent: it goes up.
    QTest::newRow("0,15: tax 0,02") << QList<TotalsLine>{{c(15), Ten}} << QList<RateTotals>{{Ten, c(15), c(2)}} << c(15)
                                    << c(2) << c(17);
    QTest::newRow("100,05: tax 10,01") << QList<TotalsLine>{{c(10005), Ten}} << QList<RateTotals>{{Ten, c(10005), c(1001)}}
                                       << c(10005) << c(1001) << c(11006);
    QTest::newRow("1,55: gross is net + tax") << QList<TotalsLine>{{c(155), Ten}} << QList<RateTotals>{{Ten, c(155), c(16)}}
                                              << c(155) << c(16) << c(171);
    QTest::newRow("0,35: tax 0,04, not 0,03") << QList<TotalsLine>{{c(35), Ten}} << QList<RateTotals>{{Ten, c(35), c(4)}}
                                              << c(35) << c(4) << c(39);
    // Each line is rounded first; the rate's tax once, of the rounded sum.
    QTest::newRow("tax of the sum, not of each line")
        << QList<TotalsLine>{{c(5), Ten}, {c(5), Ten}, {c(5), Ten}} << QList<RateTotals>{{Ten, c(15), c(2)}} << c(15)
        << c(2) << c(17);
    QTest::newRow("a credit at 5 cents rounds away from zero")
        << QList<TotalsLine>{{c(-15), Ten}} << QList<RateTotals>{{Ten, c(-15), c(-2)}} << c(-15) << c(-2) << c(-17);
    QTest::newRow("the highest rate first, whatever the order of the lines")
        << QList<TotalsLine>{{c(1250), TwentyTwo}, {c(10000), Ten}, {c(1250), TwentyTwo}}
        << QList<RateTotals>{{TwentyTwo, c(2500), c(550)}, {Ten, c(10000), c(1000)}} << c(12500) << c(1550) << c(14050);
    QTest::newRow("22 % of 0,25 is 0,055: 0,06")
        << QList<TotalsLine>{{c(25), TwentyTwo}} << QList<RateTotals>{{TwentyTwo, c(25), c(6)}} << c(25) << c(6) << c(31);
    QTest::newRow("a rate of 0 carries no tax")
        << QList<TotalsLine>{{c(4000), OutOfScope}, {c(6000), Ten}}
        << QList<RateTotals>{{Ten, c(6000), c(600)}, {OutOfScope, c(4000), c(0)}} << c(10000) << c(600) << c(10600);
    QTest::newRow("a rate of 0 is one entry per nature")
        << QList<TotalsLine>{{c(1000), OutOfScope}, {c(2000), ExemptExport}, {c(500), OutOfScope}}
        << QList<RateTotals>{{OutOfScope, c(1500), c(0)}, {ExemptExport, c(2000), c(0)}} << c(3500) << c(0) << c(3500);
}

void TestTotals::totals()
{
    QFETCH(QList<TotalsLine>, lines);
    QFETCH(QList<RateTotals>, rates);
    QFETCH(Money, net);
    QFETCH(Money, tax);
    QFETCH(Money, gross);

    const InvoiceTotals t = invoiceTotals(lines);
    QVERIFY2(t.rates == rates, (shown(t.rates) + "!= " + shown(rates)).constData());
    QVERIFY2(t.net == net, (shown(t.net) + " != " + shown(net)).constData());
    QVERIFY2(t.tax == tax, (shown(t.tax) + " != " + shown(tax)).constData());
    QVERIFY2(t.gross == gross, (shown(t.gross) + " != " + shown(gross)).constData());
}

void TestTotals::randomInvoices_data()
{
    QTest::addColumn<QList<TypedLine>>("lines");
    // The same invoices at every run: a failure can be looked at again.
    QRandomGenerator random(20041);
    const QList<std::pair<QString, QString>> rates{{QString(), QString()},
                                                   {QStringLiteral("10"), QString()},
                                                   {QStringLiteral("22"), QString()},
                                                   {QStringLiteral("5"), QString()},
                                                   {QStringLiteral("4"), QString()},
                                                   {QStringLiteral("0"), QStringLiteral("N3.2")},
                                                   {QStringLiteral("0"), QStringLiteral("N4")}};
    int remaining = 480;
    for (int invoice = 1; remaining > 0; ++invoice) {
        const int count = std::min(remaining, 1 + int(random.bounded(23)));
        remaining -= count;
        QList<TypedLine> lines;
        for (int i = 0; i < count; ++i) {
            const auto &[steuersatz, natura] = rates.at(random.bounded(int(rates.size())));
            // Prices up to 5000 and quantities up to 200, now and then a credit.
            lines.append({typedNumber(random, 5000, 8), typedNumber(random, 200, 12), steuersatz, natura});
        }
        QTest::addRow("invoice %d, %d lines", invoice, count) << lines;
    }
}

void TestTotals::randomInvoices()
{
    QFETCH(QList<TypedLine>, lines);
    QList<TotalsLine> read;
    for (const TypedLine &l : lines)
        read.append({lineAmount(l.price, l.quantity, Comma).value(), vatRateOf(l.steuersatz, l.natura)});
    const InvoiceTotals t = invoiceTotals(read);
    const InvoiceTotals expected = expectedTotals(lines);
    QVERIFY2(t.rates == expected.rates, (shown(t.rates) + "!= " + shown(expected.rates)).constData());
    QVERIFY2(t.net == expected.net, (shown(t.net) + " != " + shown(expected.net)).constData());
    QVERIFY2(t.tax == expected.tax, (shown(t.tax) + " != " + shown(expected.tax)).constData());
    QVERIFY2(t.gross == expected.gross, (shown(t.gross) + " != " + shown(expected.gross)).constData());
}

void TestTotals::rateOfALine_data()
{
    QTest::addColumn<QString>("steuersatz");
    QTest::addColumn<QString>("natura");
    QTest::addColumn<VatRate>("rate");
    QTest::newRow("empty is 10 %") << "" << "" << VatRate{10, QString()};
    QTest::newRow("10") << "10" << "" << VatRate{10, QString()};
    QTest::newRow("22 with blanks") << " 22 " << "" << VatRate{22, QString()};
    QTest::newRow("4") << "4" << "" << VatRate{4, QString()};
    QTest::newRow("0 with a nature") << "0" << "N3.2" << VatRate{0, QStringLiteral("N3.2")};
    QTest::newRow("nature with blanks") << "0" << " N6.9 " << VatRate{0, QStringLiteral("N6.9")};
}

void TestTotals::rateOfALine()
{
    QFETCH(QString, steuersatz);
    QFETCH(QString, natura);
    QFETCH(VatRate, rate);
    const VatRate read = vatRateOf(steuersatz, natura);
    QCOMPARE(read.percent, rate.percent);
    QCOMPARE(read.nature, rate.nature);
}

void TestTotals::refusedRate_data()
{
    QTest::addColumn<QString>("steuersatz");
    QTest::addColumn<QString>("natura");
    QTest::addColumn<QString>("message");
    const QString notARate = QStringLiteral("Der Steuersatz '%1' ist nicht möglich: bitte 22, 10, 5, 4 oder 0 wählen (leer bedeutet 10).");
    const QString natureOnARate = QStringLiteral("Die Steuerbefreiung '%1' gilt nur für den Steuersatz 0: bitte den Steuersatz "
                                                 "auf 0 setzen oder die Befreiung löschen.");
    const QString unknownNature = QStringLiteral("Der Grund der Befreiung '%1' ist nicht bekannt: bitte einen aus der Liste "
                                                 "wählen (N1 bis N7).");
    QTest::newRow("a rate Italy does not have") << "7" << "" << notARate.arg(QStringLiteral("7"));
    QTest::newRow("a word") << "zehn" << "" << notARate.arg(QStringLiteral("zehn"));
    QTest::newRow("with a percent sign") << "22%" << "" << notARate.arg(QStringLiteral("22%"));
    QTest::newRow("0 without a nature") << "0" << ""
                                        << "Beim Steuersatz 0 fehlt der Grund der Befreiung (Natura): bitte einen aus der Liste wählen.";
    // Withdrawn by the exchange system: only its sub-codes are taken.
    QTest::newRow("the withdrawn N3") << "0" << "N3" << unknownNature.arg(QStringLiteral("N3"));
    QTest::newRow("a nature at 22 %") << "22" << "N3.2" << natureOnARate.arg(QStringLiteral("N3.2"));
    QTest::newRow("a nature on an empty rate") << "" << "N4" << natureOnARate.arg(QStringLiteral("N4"));
}

void TestTotals::refusedRate()
{
    QFETCH(QString, steuersatz);
    QFETCH(QString, natura);
    QFETCH(QString, message);
    QCOMPARE(errorOf([&] { vatRateOf(steuersatz, natura); }), message);
}

void TestTotals::newLineRateOfACustomer_data()
{
    QTest::addColumn<CustomerKind>("kind");
    QTest::addColumn<VatRate>("rate");
    QTest::newRow("Italian business") << CustomerKind::ItalianBusiness << StandardRate;
    QTest::newRow("Italian private person") << CustomerKind::ItalianPerson << StandardRate;
    // A private buyer in another member state pays Italian VAT.
    QTest::newRow("EU private person") << CustomerKind::EuPerson << StandardRate;
    QTest::newRow("EU business: intra-EU supply") << CustomerKind::EuBusiness << VatRate{0, QStringLiteral("N3.2")};
    QTest::newRow("San Marino") << CustomerKind::SanMarino << VatRate{0, QStringLiteral("N3.3")};
    QTest::newRow("outside the EU: export") << CustomerKind::OutsideEu << VatRate{0, QStringLiteral("N3.1")};
    QTest::newRow("Vatican: export") << CustomerKind::Vatican << VatRate{0, QStringLiteral("N3.1")};
}

void TestTotals::newLineRateOfACustomer()
{
    QFETCH(CustomerKind, kind);
    QFETCH(VatRate, rate);
    const VatRate given = defaultLineRate(kind);
    QCOMPARE(given.percent, rate.percent);
    QCOMPARE(given.nature, rate.nature);
}

QTEST_GUILESS_MAIN(TestTotals)
#include "tst_totals.moc"
