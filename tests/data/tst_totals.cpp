// The totals of an invoice: what the editor, the printed invoice and the
// e-invoice show. The expected figures were worked out by hand, in cents.

#include "data/totals.h"

#include <QTest>


Q_DECLARE_METATYPE(QList<TotalsLine>)
Q_DECLARE_METATYPE(QList<RateTotals>)
Q_DECLARE_METATYPE(Money)

namespace {

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

QTEST_GUILESS_MAIN(TestTotals)
#include "tst_totals.moc"
