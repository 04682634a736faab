#include "dbedit.h"

#include "framework/messages.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <utility>

bool isTypingKey(const QKeyEvent *e, bool enterTypes)
{
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut) || e->matches(QKeySequence::Undo)
        || e->matches(QKeySequence::Redo))
        return true;
    switch (e->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        return true;
    case Qt::Key_Insert:
        return mods == Qt::ShiftModifier; // Shift+Insert pastes
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return enterTypes;
    default:
        break;
    }
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    return insertsCharacter(e->text());
}

bool insertsCharacter(const QString &text)
{
    if (text.isEmpty())
        return false;
    char32_t c = text.at(0).unicode();
    if (QChar::isHighSurrogate(c) && text.size() > 1 && text.at(1).isLowSurrogate())
        c = QChar::surrogateToUcs4(text.at(0), text.at(1));
    else if (QChar::isSurrogate(c))
        return false;
    // What the text controls themselves insert: printable characters, and
    // format (joiners, direction marks) and private-use ones.
    const QChar::Category category = QChar::category(c);
    return QChar::isPrint(c) || category == QChar::Other_Format || category == QChar::Other_PrivateUse;
}

QKeyEvent *SplitCharacterKeys::take(QKeyEvent *e)
{
    const QString text = e->text();
    const QChar first = std::exchange(m_firstHalf, QChar());
    if (text.size() != 1)
        return e;
    if (text.at(0).isHighSurrogate()) {
        m_firstHalf = text.at(0);
        return nullptr;
    }
    if (!text.at(0).isLowSurrogate() || first.isNull())
        return e; // a first half without its second one was no character
    m_whole = std::make_unique<QKeyEvent>(e->type(), e->key(), e->modifiers(), e->nativeScanCode(), e->nativeVirtualKey(),
                                          e->nativeModifiers(), QString(first) + text.at(0), e->isAutoRepeat(), e->count());
    return m_whole.get();
}

QMenu *boundContextMenu(QMenu *menu, QWidget *owner, const std::function<bool()> &requestEdit,
                        const std::function<void(const QString &)> &perform)
{
    for (QAction *a : menu->actions()) {
        const QString name = a->objectName();
        if (name != QLatin1String("edit-cut") && name != QLatin1String("edit-paste") && name != QLatin1String("edit-delete"))
            continue;
        a->disconnect();
        QObject::connect(a, &QAction::triggered, owner, [requestEdit, perform, name] {
            if (requestEdit())
                perform(name);
        });
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    return menu;
}

// ---------------------------------------------------------------- FieldEditor

FieldEditor::FieldEditor()
    : m_link([this](Notification n, Field *f) {
          switch (n) {
          case Notification::StateChanged:
          case Notification::RowsChanged:
          case Notification::RowMoved:
          case Notification::RowValuesChanged:
              reload();
              break;
          case Notification::FieldAssigned:
              if (f && f == field())
                  reload();
              break;
          case Notification::HandOver:
              handOver();
              break;
          case Notification::SettleRequest:
              break;
          }
      })
{
}

Field *FieldEditor::field() const
{
    RecordSet *rs = m_link.dataSet();
    if (!rs || !rs->Active() || m_fieldName.isEmpty())
        return nullptr;
    return rs->FindField(m_fieldName);
}

bool FieldEditor::requestEdit()
{
    DataSource *ds = m_link.dataSource();
    if (!ds || !field())
        return false;
    bool editable = false;
    guarded([&] { editable = ds->Edit(); });
    return editable && m_link.editing();
}

void FieldEditor::handOver()
{
    if (!m_dirty)
        return;
    Field *f = field();
    if (!f || !m_link.editing())
        return;
    m_dirty = false; // the assignment notifies us and we show what was stored
    f->setAsString(controlText());
}

void FieldEditor::reload()
{
    if (m_loading)
        return;
    m_dirty = false;
    m_stale = !shown();
    if (m_stale)
        return;
    m_loading = true;
    Field *f = field();
    RecordSet *rs = m_link.dataSet();
    showText(f && rs && !rs->IsEmpty() ? f->DisplayText() : QString());
    m_dirty = false;
    m_loading = false;
}

void FieldEditor::revert()
{
    m_dirty = false;
    reload();
}

// ---------------------------------------------------------------- DBEdit

DBEdit::DBEdit(QWidget *parent) : BoundLineEdit(parent)
{
    setMaxLength(50);
    connect(this, &QLineEdit::textEdited, this, [this] { typed(); });
}

void DBEdit::showText(const QString &text)
{
    if (QLineEdit::text() != text) {
        setText(text);
        home(false); // the beginning of a long text is what shows
    }
}

// ---------------------------------------------------------------- DBMemo

DBMemo::DBMemo(QWidget *parent) : BoundPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading)
            typed();
    });
}

void DBMemo::showText(const QString &text)
{
    // The file stores addresses with CR LF line breaks; the control shows plain lines.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (toPlainText() != shown)
        setPlainText(shown);
}

