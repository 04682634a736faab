#pragma once

#include "data/amount.h"
#include "data/invoice.h"
#include "data/openitems.h"
#include "framework/report/report.h"
#include "framework/report/runner.h"
#include "report/invoicereport.h"

#include <QDate>

// What a reminder is about: the overdue invoice as the open items list shows
// it, its customer, and the day it is written.
struct Reminder
{
    Customer customer;
    OpenItem item;
    QDate today;
};

// The payment reminder ("Zahlungserinnerung / Sollecito di pagamento"): one
// page with the invoice's letterhead and address window, the overdue
// invoice's number, date, amount, due date and days overdue, a polite text
// in German and Italian, and the payment and bank line at its foot.
class ReminderLetter
{
public:
    ReminderLetter();
    ReminderLetter(const ReminderLetter &) = delete;
    ReminderLetter &operator=(const ReminderLetter &) = delete;

    // The business's letterhead, as the printed invoice has it.
    void setLetterhead(const Letterhead &letterhead);
    // What the next run prints.
    void setReminder(const Reminder &reminder, const Separators &separators);
    // The preview, from which the user prints or saves a PDF; returns once it
    // has been closed.
    void showPreview();

    rpt::Report layout;
    rpt::ReportRunner runner{layout};

    rpt::Band *letterBand;
    rpt::Band *pageFooter;

    LetterheadElements letterhead;

    rpt::FixedText *salutation;
    rpt::FixedText *customerName;
    rpt::FixedText *customerOwner;
    rpt::FixedText *customerAddress;
    rpt::FixedText *writtenOn;

    rpt::FixedText *invoiceNumber;
    rpt::FixedText *invoiceDate;
    rpt::FixedText *grossAmount;
    rpt::FixedText *dueDate;
    rpt::FixedText *daysOverdue;

    rpt::FixedText *paymentLine;
    rpt::FixedText *bankLine;
};
