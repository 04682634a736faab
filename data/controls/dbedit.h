#pragma once

#include "data/controls/controllink.h"

#include <QLineEdit>
#include <QPlainTextEdit>

// Shared rules of the edit field and the memo: typing asks the data source
// for an edit first, typed text reaches the field on leaving or on request,
// Escape brings the field's value back.
class FieldEditor
{
public:
    void setDataSource(DataSource *ds) { m_link.setDataSource(ds); reload(); }
    DataSource *dataSource() const { return m_link.dataSource(); }
    void setDataField(const QString &name) { m_fieldName = name; reload(); }
    const QString &dataField() const { return m_fieldName; }
    Field *field() const;
    // True once the user typed since the field's value was last shown.
    bool isDirty() const { return m_dirty; }
    // Gives typed text to the field now, as leaving the control would.
    void handOverText() { handOver(); }

protected:
    FieldEditor();
    virtual ~FieldEditor() = default;
    virtual QString controlText() const = 0;
    virtual void showText(const QString &text) = 0;

    // Asks for the automatic edit; true when typing may go on.
    bool requestEdit();
    void handOver();
    void reload();
    void typed() { m_dirty = true; }
    void revert();

    ControlLink m_link;
    QString m_fieldName;
    bool m_dirty = false;
    bool m_loading = false;
};

class DBEdit : public QLineEdit, public FieldEditor
{
    Q_OBJECT
public:
    explicit DBEdit(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void dropEvent(QDropEvent *e) override;
    QString controlText() const override { return text(); }
    void showText(const QString &text) override;
};

class DBMemo : public QPlainTextEdit, public FieldEditor
{
    Q_OBJECT
public:
    explicit DBMemo(QWidget *parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void dropEvent(QDropEvent *e) override;
    // Lines go back with CR LF, the form the stored addresses have.
    QString controlText() const override { return toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n")); }
    void showText(const QString &text) override;
};

// True for the keys that change the text of an edit control.
bool isTypingKey(const QKeyEvent *e, bool enterTypes);
