#include "dbtext.h"

DBText::DBText(QWidget *parent)
    : QLabel(parent), m_link([this](Notification n, Field *) {
          if (n != Notification::SettleRequest && n != Notification::HandOver)
              refresh();
      })
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

void DBText::setDataSource(DataSource *ds)
{
    m_link.setDataSource(ds);
    refresh();
}

void DBText::setDataField(const QString &name)
{
    m_fieldName = name;
    refresh();
}

void DBText::refresh()
{
    RecordSet *rs = m_link.dataSet();
    Field *f = rs && rs->Active() && !rs->IsEmpty() ? rs->FindField(m_fieldName) : nullptr;
    setText(f ? f->DisplayText() : QString());
}
