#pragma once

// Rows as a report reads them: from the first to the end, one field's text
// at a time. The report engine knows rows only through this, so a band can
// print over a record set as well as over a list worked out in memory.

#include <QString>

class RowSource
{
public:
    virtual ~RowSource() = default;

    // The first row becomes the current one.
    virtual void first() = 0;
    // The row after the current one does.
    virtual void next() = 0;
    // No row is current: past the last one, or there are none.
    virtual bool atEnd() const = 0;
    // All the rows, for the progress of a run.
    virtual int rowCount() const = 0;
    // A field of the current row as printed: empty for a field without a
    // value or one the source does not have.
    virtual QString fieldText(const QString &field) const = 0;
};
