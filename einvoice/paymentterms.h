#pragma once

#include "data/duedate.h"

// The e-invoice reads the payment terms as the header's due date does
// (data/duedate.h): one reading for both.
namespace einvoice {
using ::PaymentTerms;
using ::paymentTermsOf;
} // namespace einvoice
