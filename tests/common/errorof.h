#pragma once

#include "data/errors.h"

#include <QString>

// The message of the Kind of error that f throws; "" when it throws none.
// Any other exception passes on and fails the test, so a test that names a
// kind also checks that the failure is of that kind.
template <class Kind = AppError, class F>
QString errorOf(F &&f)
{
    try {
        f();
    } catch (const Kind &e) {
        return e.message();
    }
    return QString();
}
