// The plant passport's rule: which lines of which customers need a passport,
// and when its traceability code (C) may stay empty.

#include "data/deliverynote.h"
#include "data/plantpassport.h"

#include <QTest>

Q_DECLARE_METATYPE(CustomerKind)
Q_DECLARE_METATYPE(PassportNeed)

class TestPlantPassport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void need_data();
    void need();
    void problem_data();
    void problem();
};

void TestPlantPassport::need_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<CustomerKind>("kind");
    QTest::addColumn<PassportNeed>("need");

    const auto it = CustomerKind::ItalianBusiness;
    QTest::newRow("olive, Italian business") << "Olea europaea" << it << PassportNeed::RequiredWithTraceability;
    QTest::newRow("olive cultivar, odd blanks and case") << "  olea   EUROPAEA 'Leccino' " << it
                                                          << PassportNeed::RequiredWithTraceability;
    QTest::newRow("lemon: the genus Citrus") << "Citrus limon" << it << PassportNeed::RequiredWithTraceability;
    QTest::newRow("genus alone") << "Citrus" << it << PassportNeed::RequiredWithTraceability;
    QTest::newRow("coffee") << "Coffea arabica" << it << PassportNeed::RequiredWithTraceability;
    QTest::newRow("oleander") << "Nerium oleander" << it << PassportNeed::RequiredWithTraceability;
    QTest::newRow("toothed lavender") << "Lavandula dentata" << it << PassportNeed::RequiredWithTraceability;
    QTest::newRow("myrtle-leaf milkwort") << "Polygala myrtifolia" << it << PassportNeed::RequiredWithTraceability;
    QTest::newRow("almond") << "Prunus dulcis" << CustomerKind::EuBusiness << PassportNeed::RequiredWithTraceability;
    // Another species of a listed genus-and-species name is not on the list.
    QTest::newRow("English lavender") << "Lavandula angustifolia" << it << PassportNeed::Required;
    QTest::newRow("cherry laurel") << "Prunus laurocerasus" << it << PassportNeed::Required;
    // Only the whole word counts: a genus that merely starts alike is not Citrus.
    QTest::newRow("Citrusella is no Citrus") << "Citrusella nova" << it << PassportNeed::Required;
    QTest::newRow("Oleaster is no olive") << "Olea europaeana" << it << PassportNeed::Required;
    QTest::newRow("rose, EU business") << "Rosa canina" << CustomerKind::EuBusiness << PassportNeed::Required;
    QTest::newRow("olive, Italian private") << "Olea europaea" << CustomerKind::ItalianPerson << PassportNeed::None;
    QTest::newRow("olive, EU private") << "Olea europaea" << CustomerKind::EuPerson << PassportNeed::None;
    QTest::newRow("olive, outside the EU") << "Olea europaea" << CustomerKind::OutsideEu << PassportNeed::None;
    QTest::newRow("olive, San Marino") << "Olea europaea" << CustomerKind::SanMarino << PassportNeed::None;
    QTest::newRow("olive, Vatican") << "Olea europaea" << CustomerKind::Vatican << PassportNeed::None;
    QTest::newRow("no botanical name: no plant") << "  " << it << PassportNeed::None;
}

void TestPlantPassport::need()
{
    QFETCH(QString, name);
    QFETCH(CustomerKind, kind);
    QFETCH(PassportNeed, need);
    QCOMPARE(passportNeed(name, kind), need);
}

void TestPlantPassport::problem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("origin");
    QTest::addColumn<CustomerKind>("kind");
    QTest::addColumn<QString>("problem"); // a part of the message; empty: none

    const auto it = CustomerKind::ItalianBusiness;
    QTest::newRow("complete olive") << "Olea europaea" << "OL-2026-118" << "IT" << it << "";
    QTest::newRow("olive without C") << "Olea europaea" << "" << "IT" << it << "Rückverfolgbarkeitscode (C)";
    QTest::newRow("olive with a blank C") << "Olea europaea" << "   " << "ES" << it << "Rückverfolgbarkeitscode (C)";
    QTest::newRow("lavender without C is allowed") << "Lavandula angustifolia" << "" << "IT" << it << "";
    QTest::newRow("no origin") << "Lavandula angustifolia" << "" << "" << it << "fehlt im Pflanzenpass das Ursprungsland (D)";
    QTest::newRow("origin written out") << "Rosa canina" << "R-1" << "Italien" << it << "„Italien“";
    QTest::newRow("origin lower case") << "Rosa canina" << "R-1" << "it" << it << "„it“";
    QTest::newRow("private customer needs nothing") << "Olea europaea" << "" << "" << CustomerKind::ItalianPerson << "";
    QTest::newRow("no plant needs nothing") << "" << "" << "" << it << "";
}

void TestPlantPassport::problem()
{
    QFETCH(QString, name);
    QFETCH(QString, code);
    QFETCH(QString, origin);
    QFETCH(CustomerKind, kind);
    QFETCH(QString, problem);
    DeliveryLine line;
    line.beschreibung = QStringLiteral("Pflanze");
    line.botanischer_name = name;
    line.rueckverfolgung = code;
    line.ursprung = origin;
    const QString found = passportProblem(line, kind);
    if (problem.isEmpty())
        QCOMPARE(found, QString());
    else
        QVERIFY2(found.contains(problem), qPrintable(found));
}

QTEST_GUILESS_MAIN(TestPlantPassport)
#include "tst_plantpassport.moc"
