#pragma once

class RecordSet;

// Run before an invoice header is stored: an invoice without a number or
// without a date is no invoice in law, so neither may be empty (blanks count
// as empty). A due date or paid date typed in must be a date (dd.mm.yyyy).
// An empty due date, or one that is still what the stored date and payment
// terms gave, becomes the one the new date and terms give (duedate.h); one
// the user typed himself stays. What it throws stops the post; the row stays
// pending with what was typed, to be completed. A year made before due dates
// has no such columns and is checked as before.
void checkHeaderBeforePost(RecordSet &set);
