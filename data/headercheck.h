#pragma once

class RecordSet;

// Run before an invoice header is stored: an invoice without a number or
// without a date is no invoice in law, so neither may be empty (blanks count
// as empty). What it throws stops the post; the row stays pending with what
// was typed, to be completed.
void checkHeaderBeforePost(RecordSet &set);
