#pragma once

#include "controls/controllink.h"

#include "framework/messages.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <functional>
#include <memory>

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
    // A control nobody can see shows the field's value when it is shown:
    // changing its text meanwhile would only keep a screen reader busy with
    // updates of a hidden window on every move of the set.
    virtual bool shown() const = 0;
    void showing()
    {
        if (m_stale)
            reload();
    }

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
    bool m_stale = false;
};

// True for the keys that change the text of an edit control.
bool isTypingKey(const QKeyEvent *e, bool enterTypes);

// True when a key's text is a character that a text control inserts. The
// whole first character counts: one outside the Basic Multilingual Plane is
// two UTF-16 halves, neither of which is printable on its own.
bool insertsCharacter(const QString &text);

// Puts together a character outside the Basic Multilingual Plane that arrives
// as two key presses of one UTF-16 half each, so that it is typed as one key
// (the text controls drop a lone half).
class SplitCharacterKeys
{
public:
    // The key press to act on: e itself, or one holding the whole character
    // once its second half arrives; nullptr for a first half, which is kept.
    QKeyEvent *take(QKeyEvent *e);

private:
    QChar m_firstHalf;
    std::unique_ptr<QKeyEvent> m_whole;
};

// The standard context menu of a bound text control: its changing entries ask
// for the edit first, like keys do.
QMenu *boundContextMenu(QMenu *menu, QWidget *owner, const std::function<bool()> &requestEdit,
                        const std::function<void(const QString &)> &perform);

// The keyboard, input-method, drop and context-menu rules that the edit field
// and the memo share; Widget is the plain text control underneath.
template <class Widget, bool EnterTypes>
class BoundTextControl : public Widget, public FieldEditor
{
public:
    explicit BoundTextControl(QWidget *parent) : Widget(parent) {}

protected:
    virtual void afterRevert() {}
    virtual void deleteSelection() = 0;

    void keyPressEvent(QKeyEvent *e) override
    {
        QKeyEvent *key = m_splitKeys.take(e);
        if (!key) {
            e->accept();
            return;
        }
        // Escape shows the field's value again; the record set keeps its state.
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            revert();
            afterRevert();
            e->accept();
            return;
        }
        if (isTypingKey(key, EnterTypes) && !requestEdit()) {
            e->accept();
            return;
        }
        Widget::keyPressEvent(key);
        e->setAccepted(key->isAccepted());
    }
    void inputMethodEvent(QInputMethodEvent *e) override
    {
        if (!e->commitString().isEmpty() && !requestEdit())
            return;
        Widget::inputMethodEvent(e);
    }
    bool shown() const override { return this->isVisible(); }
    void showEvent(QShowEvent *e) override
    {
        showing();
        Widget::showEvent(e);
    }
    void focusOutEvent(QFocusEvent *e) override
    {
        guarded([&] { handOver(); });
        Widget::focusOutEvent(e);
    }
    void dropEvent(QDropEvent *e) override
    {
        if (!requestEdit()) {
            e->ignore();
            return;
        }
        Widget::dropEvent(e);
    }
    void contextMenuEvent(QContextMenuEvent *e) override
    {
        QMenu *menu = boundContextMenu(this->createStandardContextMenu(), this, [this] { return requestEdit(); },
                                       [this](const QString &name) {
                                           if (name == QLatin1String("edit-cut"))
                                               this->cut();
                                           else if (name == QLatin1String("edit-paste"))
                                               this->paste();
                                           else
                                               deleteSelection();
                                           typed();
                                       });
        menu->popup(e->globalPos());
    }

private:
    SplitCharacterKeys m_splitKeys;
};

using BoundLineEdit = BoundTextControl<QLineEdit, false>;
using BoundPlainTextEdit = BoundTextControl<QPlainTextEdit, true>;

class DBEdit : public BoundLineEdit
{
    Q_OBJECT
public:
    explicit DBEdit(QWidget *parent = nullptr);

protected:
    void afterRevert() override { selectAll(); }
    void deleteSelection() override { del(); }
    QString controlText() const override { return text(); }
    void showText(const QString &text) override;
};

// Enter starts a new line and counts as typing.
class DBMemo : public BoundPlainTextEdit
{
    Q_OBJECT
public:
    explicit DBMemo(QWidget *parent = nullptr);

protected:
    void deleteSelection() override { textCursor().removeSelectedText(); }
    // Lines go back with CR LF, the form the stored addresses have.
    QString controlText() const override { return toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n")); }
    void showText(const QString &text) override;
};
