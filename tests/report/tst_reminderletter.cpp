// The payment reminder as a run puts it on the page: letterhead, address,
// the overdue invoice's figures beside their labels, the two texts and the
// bank line at the foot.

#include "report/reminderletter.h"

#include "samples.h"

#include "data/invoicelist.h"
#include "framework/report/page.h"

#include <QtTest>

using namespace rpt;

namespace {

const Separators TypedIn{QLatin1Char(','), QLatin1Char('.')};

std::vector<const TextRun *> textRuns(const Page &page)
{
    std::vector<const TextRun *> out;
    for (const DrawOp &op : page.ops)
        if (const auto *t = std::get_if<TextRun>(&op))
            out.push_back(t);
    return out;
}

const TextRun *findText(const Page &page, const QString &text)
{
    for (const TextRun *t : textRuns(page))
        if (!t->lines.isEmpty() && t->lines.front() == text)
            return t;
    return nullptr;
}

// The lines of the run that starts with `start`, joined by blanks.
QString paragraphStarting(const Page &page, const QString &start)
{
    for (const TextRun *t : textRuns(page))
        if (!t->lines.isEmpty() && t->lines.front().startsWith(start))
            return t->lines.join(QLatin1Char(' '));
    return QString();
}

Reminder overdueInvoice()
{
    Reminder r;
    r.customer.name = QStringLiteral("Vivai Bernardi S.n.c.");
    r.customer.name2 = QStringLiteral("Paolo Bernardi");
    r.customer.ansprache = QStringLiteral("Ditta");
    r.customer.adresse = QStringLiteral("Via delle Camelie 7\r\n39012 Merano");
    r.item.year = 2004;
    r.item.number = QStringLiteral("17");
    r.item.date = QStringLiteral("08.01.2004");
    r.item.gross = Money::fromCents(104450);
    r.item.due = QDate(2004, 2, 7);
    r.item.daysOverdue = 32;
    r.today = QDate(2004, 3, 10);
    return r;
}

} // namespace

class TestReminderLetter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void figuresStandBesideTheirLabels_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("value");
        QTest::newRow("number") << "Rechnung Nr. / Fattura n." << "17";
        QTest::newRow("date") << "vom / del" << "08.01.2004";
        // Thousands separated, as the invoice prints its gross.
        QTest::newRow("amount") << "Betrag / Importo" << "Euro 1.044,50";
        QTest::newRow("due date") << "fällig am / scadenza" << "07.02.2004";
        QTest::newRow("days overdue") << "Tage überfällig / giorni di ritardo" << "32";
    }

    void figuresStandBesideTheirLabels()
    {
        QFETCH(QString, label);
        QFETCH(QString, value);
        ReminderLetter letter;
        letter.setReminder(overdueInvoice(), TypedIn);
        const RunResult run = letter.layout.run();
        QCOMPARE(run.end, RunEnd::Completed);
        QCOMPARE(run.pages.size(), size_t(1));
        const Page &page = *run.pages.front();
        const TextRun *l = findText(page, label);
        const TextRun *v = findText(page, value);
        QVERIFY2(l, qPrintable(label));
        QVERIFY2(v, qPrintable(value));
        QCOMPARE(v->box.top(), l->box.top());
        QVERIFY(v->box.left() > l->box.right());
    }

    void letterSaysWhatItIsAndToWhom()
    {
        ReminderLetter letter;
        letter.setLetterhead(Letterhead::of(sample::nursery()));
        letter.setReminder(overdueInvoice(), TypedIn);
        const RunResult run = letter.layout.run();
        QCOMPARE(run.end, RunEnd::Completed);
        const Page &page = *run.pages.front();
        const Letterhead own = Letterhead::of(sample::nursery());
        const TextRun *heading = findText(page, QStringLiteral("Zahlungserinnerung / Sollecito di pagamento"));
        QVERIFY(heading);
        QVERIFY(heading->font.bold);
        for (const QString &text : {own.owner, own.street, own.town, QStringLiteral("Vivai Bernardi S.n.c."),
                                    QStringLiteral("Paolo Bernardi"), QStringLiteral("Ditta"), QStringLiteral("10.03.2004")})
            QVERIFY2(findText(page, text), qPrintable(text));
        // The address keeps its lines.
        const QStringList texts = page.texts();
        QVERIFY(texts.contains(QStringLiteral("39012 Merano")));
        QVERIFY(paragraphStarting(page, QStringLiteral("Sehr geehrte")).contains(QStringLiteral("noch nicht beglichen")));
        QVERIFY(paragraphStarting(page, QStringLiteral("Gentili Signori")).contains(QStringLiteral("non è ancora stata saldata")));
        // The heading stands below the address window, the texts below the figures.
        const TextRun *address = findText(page, QStringLiteral("Vivai Bernardi S.n.c."));
        QVERIFY(heading->box.top() > address->box.bottom());
        const TextRun *german = nullptr;
        for (const TextRun *t : textRuns(page))
            if (t->lines.value(0).startsWith(QStringLiteral("Sehr geehrte")))
                german = t;
        QVERIFY(german->box.top() > findText(page, QStringLiteral("32"))->box.bottom());
        // The foot says where to pay.
        QVERIFY(!own.bankLine.isEmpty());
        const TextRun *bank = findText(page, own.bankLine);
        QVERIFY(bank);
        QVERIFY(bank->box.top() > german->box.bottom());
        QVERIFY(findText(page, own.paymentLine));
    }
};

QTEST_MAIN(TestReminderLetter)
#include "tst_reminderletter.moc"
