#pragma once

#include "totals.h"

#include <QList>
#include <QString>

class RecordSet;

// The amount of an invoice line, unit price times quantity: computed for every
// row the line set reads, never stored. Empty price or quantity leaves it
// without a value; a text that is not a number, or a product that is no
// amount, throws ConversionError. A stored text is read as lineAmount reads
// it; one typed since the edit began must take the file's separator.
void calculateLineAmount(RecordSet &set);

// Run before a line is stored: a quantity or unit price that was typed must
// be a number and their product an amount, so that no line is written that
// no sum could ever read. An edit that leaves both alone is not held up.
// A rate or nature that was typed must be one vatRateOf takes.
void checkLineBeforePost(RecordSet &set);

// The line the set stands on as the totals take it: its exact amount
// (lineAmount, money.h) and its rate (vatRateOf). A line whose amount or rate
// cannot be read stops the sum with its place in the invoice ("Zeile 3:
// ..."), counted from 1.
TotalsLine totalsLine(const RecordSet &lines);
// Every line of the set in the order it shows them, read without moving.
QList<TotalsLine> totalsLines(RecordSet &lines);
