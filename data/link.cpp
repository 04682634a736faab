// Links: a detail set holds only the rows of its master's current row.

#include "recordset_p.h"

using namespace recordset_detail;

Link::Link(DataSource *master, const QString &masterField, RecordSet *detail, const QString &detailField)
    : m_master(master), m_masterField(masterField), m_detail(detail), m_detailField(detailField)
{
    m_detail->m_link = this;
    m_master->attach(this);
}

Link::~Link()
{
    m_master->detach(this);
    if (m_detail->m_link == this)
        m_detail->m_link = nullptr;
}

bool Link::masterActive() const { return m_master->DataSet()->Active(); }

RecordSet::Criterion Link::wanted() const
{
    RecordSet::Criterion c;
    const RecordSet *m = m_master->DataSet();
    if (!m->Active())
        return c; // unrestricted
    if (m->State() == DataSetState::Insert || m->IsEmpty()) {
        c.mode = RecordSet::Criterion::NoRows;
        return c;
    }
    const Value v = m->FieldByName(m_masterField)->value();
    if (v.isNull()) {
        c.mode = RecordSet::Criterion::Null;
        return c;
    }
    c.mode = RecordSet::Criterion::Equals;
    const QByteArray t = v.toUtf8Text();
    c.text.assign(t.constData(), size_t(t.size()));
    return c;
}

Value Link::fillValue() const
{
    const RecordSet *m = m_master->DataSet();
    if (!m->Active() || m->IsEmpty())
        return Value();
    const Value v = m->FieldByName(m_masterField)->value();
    if (v.isNull())
        return v;
    // A customer's id goes in as its decimal text; a header's nr unchanged.
    const QByteArray text = v.toUtf8Text();
    return Value::fromUtf8(std::string_view(text.constData(), size_t(text.size())));
}

void Link::apply(bool force)
{
    if (!m_detail->Active()) {
        // A detail that opens later is restricted from the start; nothing stays owed.
        m_force = false;
        return;
    }
    m_detail->Settle();
    const RecordSet::Criterion c = wanted();
    if (force || !(c == m_detail->criterion())) {
        m_force = false;
        m_detail->setCriterion(c);
        m_detail->First();
    }
}

void Link::masterClosing()
{
    if (m_detail->Active())
        m_detail->Settle();
}

void Link::dataEvent(Notification n, Field *field)
{
    switch (n) {
    case Notification::StateChanged:
        if (!m_master->DataSet()->Active()) {
            // The detail settled in masterClosing(), before the master went.
            // From the detail's next read on it holds every row.
            m_detail->setCriterion(RecordSet::Criterion());
            m_force = true;
            return;
        }
        apply(m_force);
        return;
    case Notification::RowsChanged:
    case Notification::RowMoved:
    case Notification::RowValuesChanged:
        apply(false);
        return;
    case Notification::FieldAssigned:
        if (field && field->FieldName().compare(m_masterField, Qt::CaseInsensitive) == 0)
            apply(false);
        return;
    case Notification::SettleRequest:
        if (m_detail->Active())
            m_detail->Settle();
        return;
    case Notification::HandOver:
        return;
    }
}
