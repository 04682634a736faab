#pragma once

#include "controls/controllink.h"

#include <QLabel>

// A read-only field display: the field's display text, empty while the set
// is closed or empty. Text wider than the box is cut off.
class DBText : public QLabel
{
    Q_OBJECT
public:
    explicit DBText(QWidget *parent = nullptr);
    void setDataSource(DataSource *ds);
    void setDataField(const QString &name);

private:
    void refresh();
    ControlLink m_link;
    QString m_fieldName;
};
