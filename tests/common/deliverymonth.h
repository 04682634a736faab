#pragma once

// A month of delivery notes for the deferred invoice: three notes of
// "Gartenbau Anna" (customer 1) in November 2026, stored out of order, and
// three that must stay out of her November invoice: Bruno's (customer 2), one
// of October, one invoiced already.

#include "data/deliverynote.h"
#include "data/engine.h"
#include "data/years.h"

#include <QStringList>

namespace sample {

inline const Separators CommaSeparators{QLatin1Char(','), QLatin1Char('.')};

inline DeliveryLine deliveryLine(const QString &description, const QString &quantity, const QString &price,
                                 const QString &rate = QString())
{
    DeliveryLine line;
    line.beschreibung = description;
    line.anzahl = quantity;
    line.einheit = QStringLiteral("Stk");
    line.einzelpreis = price;
    line.steuersatz = rate;
    return line;
}

inline DeliveryNoteRecord deliveryNote(const QString &nr, const QString &date, qint64 customer,
                                       const QList<DeliveryLine> &lines, const QString &invoiced = QString())
{
    DeliveryNoteRecord r;
    r.note.nr = nr;
    r.note.datum = date;
    r.note.kundennummer = QString::number(customer);
    r.note.bestimmungsort = QStringLiteral("Baustelle Meran");
    r.note.transport = transportChoices().front();
    r.note.grund = reasonChoices().front();
    r.note.rechnung_nr = invoiced;
    r.lines = lines;
    return r;
}

// Makes the year 2026 with its tables and the notes. Anna's November: note 9
// and note 12 of 03.11. (9 first: numbers are counted), note 14 of 20.11.;
// 179,00 + 0 (a pot without price) + 64,50 + 45,00 at 10 % and 16,00 at 22 %.
inline void addDeliveryMonth(Database &db)
{
    db.exec("INSERT INTO kunde (id, name, adresse) VALUES (1, 'Gartenbau Anna', 'Weg 1'), (2, 'Bruno', 'Via 2')");
    ensureYearTables(db, 2026);
    DeliveryNoteRepository notes(db, CommaSeparators);
    QList<DeliveryNoteRecord> all{
        deliveryNote(QStringLiteral("14"), QStringLiteral("20.11.2026"), 1,
                     {deliveryLine(QStringLiteral("Lavendel"), QStringLiteral("10"), QStringLiteral("4,50")),
                      deliveryLine(QStringLiteral("Blumenerde 50 l"), QStringLiteral("2"), QStringLiteral("8"),
                                   QStringLiteral("22"))}),
        deliveryNote(QStringLiteral("13"), QStringLiteral("10.11.2026"), 2,
                     {deliveryLine(QStringLiteral("Rosen"), QStringLiteral("20"), QStringLiteral("3,80"))}),
        deliveryNote(QStringLiteral("12"), QStringLiteral("03.11.2026"), 1,
                     {deliveryLine(QStringLiteral("Buchsbaum-Kugel"), QStringLiteral("5"), QStringLiteral("12,90"))}),
        deliveryNote(QStringLiteral("8"), QStringLiteral("28.10.2026"), 1,
                     {deliveryLine(QStringLiteral("Thuja"), QStringLiteral("30"), QStringLiteral("6"))}),
        deliveryNote(QStringLiteral("10"), QStringLiteral("05.11.2026"), 1,
                     {deliveryLine(QStringLiteral("Zitronenbaum"), QStringLiteral("1"), QStringLiteral("120"))},
                     QStringLiteral("2026-3")),
        deliveryNote(QStringLiteral("9"), QStringLiteral("03.11.2026"), 1,
                     {deliveryLine(QStringLiteral("Olivenbaum 120 cm"), QStringLiteral("2"), QStringLiteral("89,50")),
                      deliveryLine(QStringLiteral("Pflanztopf"), QStringLiteral("1"), QString())}),
    };
    for (DeliveryNoteRecord &r : all)
        notes.insert(2026, r);
}

} // namespace sample
