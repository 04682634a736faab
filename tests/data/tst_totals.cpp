// The totals of an invoice: what the editor, the printed invoice and the
// e-invoice show. The expected figures were worked out by hand, the binary
// ones by exact rational arithmetic rounded as the hardware rounds (to the
// 64-bit significand of extended precision, then to a double).

#include "data/totals.h"

#include <QTest>

#include <cstdio>
#include <cstring>

Q_DECLARE_METATYPE(QList<TotalsLine>)
Q_DECLARE_METATYPE(QList<RateTotals>)

namespace {

const VatRate Ten{10, QString()};
const VatRate TwentyTwo{22, QString()};
const VatRate ExemptExport{0, QStringLiteral("N3.1")};
const VatRate OutOfScope{0, QStringLiteral("N2.2")};

QByteArray shown(double v)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

QByteArray shown(const QList<RateTotals> &rates)
{
    QByteArray out;
    for (const RateTotals &r : rates)
        out += QByteArray::number(r.rate.percent) + '%' + r.rate.nature.toLatin1() + ": " + shown(r.taxable) + " / "
               + shown(r.tax) + "; ";
    return out;
}

// Bit for bit: QCOMPARE would forgive what the invoices must not.
bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace

class TestTotals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void totals_data();
    void totals();
};

void TestTotals::totals_data()
{
    QTest::addColumn<QList<TotalsLine>>("lines");
    QTest::addColumn<QList<RateTotals>>("rates");
    QTest::addColumn<double>("net");
    QTest::addColumn<double>("tax");
    QTest::addColumn<double>("gross");

    QTest::newRow("no lines: no rate, all 0") << QList<TotalsLine>{} << QList<RateTotals>{} << 0.0 << 0.0 << 0.0;
    QTest::newRow("one line at 10 %") << QList<TotalsLine>{{100, Ten}} << QList<RateTotals>{{Ten, 100, 10}} << 100.0
                                      << 10.0 << 110.0;
    QTest::newRow("a line without amount counts 0")
        << QList<TotalsLine>{{50, Ten}, {0, Ten}, {50, Ten}} << QList<RateTotals>{{Ten, 100, 10}} << 100.0 << 10.0 << 110.0;
    QTest::newRow("a credit line is taken off") << QList<TotalsLine>{{100, Ten}, {-30, Ten}}
                                                << QList<RateTotals>{{Ten, 70, 7}} << 70.0 << 7.0 << 77.0;
    // 0.1 + 0.2 is exactly halfway between two doubles and goes to the even
    // one, 0.30000000000000004; plus 0.3 it is again halfway and goes up to
    // 0.6000000000000001. Kept in extended precision throughout, the sum
    // would come to 0.6.
    QTest::newRow("the sum is a double after every line")
        << QList<TotalsLine>{{0.1, Ten}, {0.2, Ten}, {0.3, Ten}}
        << QList<RateTotals>{{Ten, 0.6000000000000001, 0.06000000000000001}} << 0.6000000000000001
        << 0.06000000000000001 << 0.6600000000000001;
    // 0.35 is stored as 0.34999999999999997780; a tenth of it is the double
    // 0.034999999999999996, which shows as 0,03, and the gross as 0,38.
    QTest::newRow("a tenth of 0,35 lies below the half cent")
        << QList<TotalsLine>{{0.35, Ten}} << QList<RateTotals>{{Ten, 0.35, 0.034999999999999996}} << 0.35
        << 0.034999999999999996 << 0.38499999999999995;
    QTest::newRow("one entry per rate, in the order the rates first occur")
        << QList<TotalsLine>{{12.5, TwentyTwo}, {100, Ten}, {12.5, TwentyTwo}}
        << QList<RateTotals>{{TwentyTwo, 25, 5.5}, {Ten, 100, 10}} << 125.0 << 15.5 << 140.5;
    QTest::newRow("a rate of 0 carries no tax")
        << QList<TotalsLine>{{40, OutOfScope}, {60, Ten}} << QList<RateTotals>{{OutOfScope, 40, 0}, {Ten, 60, 6}} << 100.0
        << 6.0 << 106.0;
    QTest::newRow("a rate of 0 is one entry per nature")
        << QList<TotalsLine>{{10, OutOfScope}, {20, ExemptExport}, {5, OutOfScope}}
        << QList<RateTotals>{{OutOfScope, 15, 0}, {ExemptExport, 20, 0}} << 35.0 << 0.0 << 35.0;
}

void TestTotals::totals()
{
    QFETCH(QList<TotalsLine>, lines);
    QFETCH(QList<RateTotals>, rates);
    QFETCH(double, net);
    QFETCH(double, tax);
    QFETCH(double, gross);

    const InvoiceTotals t = invoiceTotals(lines);
    QVERIFY2(t.rates.size() == rates.size(), shown(t.rates).constData());
    for (qsizetype i = 0; i < rates.size(); ++i) {
        const RateTotals &r = t.rates.at(i);
        QVERIFY2(r.rate == rates.at(i).rate && same(r.taxable, rates.at(i).taxable) && same(r.tax, rates.at(i).tax),
                 (shown(t.rates) + "!= " + shown(rates)).constData());
    }
    QVERIFY2(same(t.net, net), (shown(t.net) + " != " + shown(net)).constData());
    QVERIFY2(same(t.tax, tax), (shown(t.tax) + " != " + shown(tax)).constData());
    QVERIFY2(same(t.gross, gross), (shown(t.gross) + " != " + shown(gross)).constData());
}

QTEST_GUILESS_MAIN(TestTotals)
#include "tst_totals.moc"
