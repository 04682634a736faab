#pragma once

class RecordSet;

// The amount of an invoice line, unit price times quantity: computed for every
// row the line set reads, never stored. Empty price or quantity leaves it
// without a value; a text that is not a number throws ConversionError.
void rechnungstabelleCalcFields(RecordSet &set);
