// Data sources: where bound controls and links attach and hear what a set does.

#include "recordset_p.h"

#include <algorithm>

using namespace recordset_detail;

DataSource::DataSource(QString name, RecordSet *set) : m_name(std::move(name)), m_set(set)
{
    m_set->m_sources.push_back(this);
}

DataSource::~DataSource()
{
    const std::vector<DataLink *> links = m_links;
    for (DataLink *l : links)
        l->sourceDestroyed(this);
    auto &v = m_set->m_sources;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

bool DataSource::Edit()
{
    if (!m_set->Active())
        return false;
    const DataSetState s = m_set->State();
    if (s == DataSetState::Edit || s == DataSetState::Insert)
        return true;
    if (!AutoEdit)
        return false;
    m_set->Edit();
    return true;
}

void DataSource::attach(DataLink *link)
{
    if (std::find(m_links.begin(), m_links.end(), link) == m_links.end())
        m_links.push_back(link);
}

void DataSource::detach(DataLink *link) { m_links.erase(std::remove(m_links.begin(), m_links.end(), link), m_links.end()); }

void DataSource::notify(Notification n, Field *field)
{
    const std::vector<DataLink *> links = m_links; // a link may attach or detach while we call
    callEach(links, [&](DataLink *l) {
        if (std::find(m_links.begin(), m_links.end(), l) != m_links.end())
            l->dataEvent(n, field);
    });
}

void DataSource::masterClosing()
{
    const std::vector<DataLink *> links = m_links;
    callEach(links, [&](DataLink *l) { l->masterClosing(); });
}
