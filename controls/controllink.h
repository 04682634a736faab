#pragma once

#include "data/recordset.h"

#include <functional>

// The tie between one bound control and its data source: attaches, forwards
// notifications to the control and lets go when either side goes away.
class ControlLink : public DataLink
{
public:
    using Handler = std::function<void(Notification, Field *)>;
    explicit ControlLink(Handler handler) : m_handler(std::move(handler)) {}
    ~ControlLink() override { setDataSource(nullptr); }
    ControlLink(const ControlLink &) = delete;
    ControlLink &operator=(const ControlLink &) = delete;

    void setDataSource(DataSource *ds)
    {
        if (ds == m_source)
            return;
        if (m_source)
            m_source->detach(this);
        m_source = ds;
        if (m_source)
            m_source->attach(this);
    }
    DataSource *dataSource() const { return m_source; }
    RecordSet *dataSet() const { return m_source ? m_source->DataSet() : nullptr; }
    bool active() const { return dataSet() && dataSet()->Active(); }
    bool editing() const
    {
        return active() && (dataSet()->State() == DataSetState::Edit || dataSet()->State() == DataSetState::Insert);
    }

    void dataEvent(Notification n, Field *field) override { m_handler(n, field); }
    void sourceDestroyed(DataSource *ds) override
    {
        if (ds == m_source)
            m_source = nullptr;
    }

private:
    Handler m_handler;
    DataSource *m_source = nullptr;
};
