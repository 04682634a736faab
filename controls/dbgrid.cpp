#include "dbgrid.h"

#include "controls/dbedit.h"
#include "framework/messages.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QScrollBar>


namespace {
constexpr int TextFieldLength = 50;
}

// ---------------------------------------------------------------- model

int DBGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_grid->m_columns.size());
}

QVariant DBGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    if (role == Qt::DisplayRole) {
        const auto it = m_cache.find(index.row());
        return it != m_cache.end() && index.column() < it->second.size() ? it->second.at(index.column()) : QString();
    }
    if (role == Qt::BackgroundRole && m_cellColor.isValid())
        return m_cellColor;
    if (role == Qt::TextAlignmentRole && index.column() < m_grid->m_columns.size())
        return int(m_grid->m_columns.at(index.column()).alignment);
    return {};
}

QVariant DBGridModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (role == Qt::TextAlignmentRole && o == Qt::Horizontal && section < m_grid->m_columns.size())
        return int(m_grid->m_columns.at(section).alignment);
    if (role != Qt::DisplayRole)
        return {};
    if (o == Qt::Horizontal)
        return section < m_grid->m_columns.size() ? m_grid->m_columns.at(section).title : QString();
    // The row indicator: where the current row is and what state it is in.
    const RecordSet *rs = m_grid->dataSet();
    if (!rs || section != rs->RecNo())
        return QString();
    switch (rs->State()) {
    case DataSetState::Edit: return QStringLiteral("I");
    case DataSetState::Insert: return QStringLiteral("*");
    default: return QStringLiteral("▶");
    }
}

void DBGridModel::setRowCount(int rows)
{
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    } else if (rows < m_rows) {
        beginRemoveRows({}, rows, m_rows - 1);
        m_rows = rows;
        std::erase_if(m_cache, [rows](const auto &entry) { return entry.first >= rows; });
        endRemoveRows();
    }
}

void DBGridModel::resetRows(int rows)
{
    beginResetModel();
    m_rows = rows;
    m_cache.clear();
    endResetModel();
}

void DBGridModel::invalidate(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, m_rows - 1);
    if (first == 0 && last == m_rows - 1)
        m_cache.clear();
    else
        for (int r = first; r <= last; ++r)
            m_cache.erase(r);
    if (first <= last) {
        Q_EMIT dataChanged(index(first, 0), index(last, std::max(columnCount() - 1, 0)));
        Q_EMIT headerDataChanged(Qt::Vertical, first, last);
    }
}

void DBGridModel::fetch(int first, int last)
{
    RecordSet *rs = m_grid->dataSet();
    if (!rs || !rs->Active())
        return;
    first = std::max(first, 0);
    last = std::min(last, m_rows - 1);
    int changedFirst = -1, changedLast = -1;
    try {
        for (int r = first; r <= last; ++r) {
            if (m_cache.count(r))
                continue;
            QStringList texts;
            rs->readRowAt(r, [&] {
                for (const GridColumn &c : m_grid->m_columns) {
                    const Field *f = rs->FindField(c.field);
                    texts << (f ? f->DisplayText() : QString());
                }
            });
            m_cache[r] = texts;
            if (changedFirst < 0)
                changedFirst = r;
            changedLast = r;
        }
    } catch (...) {
        // The failing row and those after it are not in view any more.
        setRowCount(rs->RecordCount());
        throw;
    }
    if (changedFirst >= 0)
        Q_EMIT dataChanged(index(changedFirst, 0), index(changedLast, std::max(columnCount() - 1, 0)));
}

// ---------------------------------------------------------------- grid

DBGrid::DBGrid(QWidget *parent)
    : QTableView(parent), m_link([this](Notification n, Field *f) { dataEvent(n, f); }), m_model(new DBGridModel(this))
{
    // The model goes with the grid; the view never owns what it is given.
    m_model->setParent(this);
    setModel(m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setFocusPolicy(Qt::StrongFocus);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setFixedWidth(14);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) { onFocusChanged(old, now); });
}

DBGrid::~DBGrid()
{
    disconnect(m_focusConnection);
}

void DBGrid::setDataSource(DataSource *ds)
{
    m_link.setDataSource(ds);
    guarded([&] { reloadRows(); });
}

void DBGrid::setColumns(const QList<GridColumn> &columns)
{
    closeEditor();
    m_model->resetColumns([&] { m_columns = columns; });
    for (int i = 0; i < m_columns.size(); ++i)
        setColumnWidth(i, m_columns.at(i).width);
    m_col = 0;
    guarded([&] { reloadRows(); });
}

void DBGrid::setRowSelect(bool rowSelect)
{
    m_rowSelect = rowSelect;
    setSelectionBehavior(rowSelect ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void DBGrid::setTitleColor(const QColor &c)
{
    const QString sheet = QStringLiteral("QHeaderView::section { background-color: %1; border: 0px; border-right: 1px solid gray; "
                                         "border-bottom: 1px solid gray; padding-left: 2px; }")
                              .arg(c.name());
    horizontalHeader()->setStyleSheet(sheet);
    verticalHeader()->setStyleSheet(sheet);
}

void DBGrid::setCellColor(const QColor &c)
{
    m_model->setCellColor(c);
    viewport()->update();
}

Field *DBGrid::columnField(int col) const
{
    RecordSet *rs = dataSet();
    if (!rs || !rs->Active() || col < 0 || col >= m_columns.size())
        return nullptr;
    return rs->FindField(m_columns.at(col).field);
}

bool DBGrid::cellEditable(int col) const
{
    const Field *f = columnField(col);
    return f && !m_readOnly && f->kind() != FieldKind::AutoInc && !f->isCalculated();
}

int DBGrid::visibleRows() const
{
    const int h = verticalHeader()->defaultSectionSize();
    return std::max(1, viewport()->height() / std::max(h, 1));
}

// ---------------------------------------------------------------- following the record set

void DBGrid::dataEvent(Notification n, Field *field)
{
    switch (n) {
    case Notification::StateChanged:
        // A new row is typed from its first column, whatever column was used
        // last; unless the grid itself started it for a key typed into a cell.
        if (const RecordSet *rs = dataSet(); rs && rs->State() == DataSetState::Insert && !m_requestingEdit)
            m_col = 0;
        reloadRows();
        break;
    case Notification::RowsChanged:
    case Notification::RowMoved:
    case Notification::RowValuesChanged:
        reloadRows();
        break;
    case Notification::FieldAssigned: {
        RecordSet *rs = dataSet();
        const int cur = rs ? rs->RecNo() : -1;
        m_model->invalidate(cur, cur);
        m_model->fetch(cur, cur);
        if (m_editor && !m_cellDirty && field == columnField(m_col))
            showFieldInEditor();
        break;
    }
    case Notification::HandOver:
        handOverCell();
        break;
    case Notification::SettleRequest:
        break;
    }
}

void DBGrid::reloadRows()
{
    RecordSet *rs = dataSet();
    // Back in browse state (cancelled, stored or re-read): nothing typed is
    // left to hand over, and the cell shows the field again.
    if (m_cellDirty && !m_link.editing())
        m_cellDirty = false;
    const int rows = rs && rs->Active() ? rs->RecordCount() : 0;
    if (rows != m_model->rowCount())
        m_model->resetRows(rows);
    else
        m_model->invalidate(0, rows - 1);
    syncCurrent();
    fetchVisible();
}

void DBGrid::fetchVisible()
{
    // A hidden grid reads nothing: a row that cannot be read fails only
    // where someone looks at it.
    const int rows = m_model->rowCount();
    if (rows == 0 || !isVisible())
        return;
    int top = rowAt(0);
    if (top < 0)
        top = 0;
    int bottom = rowAt(viewport()->height() - 1);
    if (bottom < 0)
        bottom = rows - 1;
    m_model->fetch(top, bottom);
}

void DBGrid::syncCurrent()
{
    RecordSet *rs = dataSet();
    const int row = rs && rs->Active() ? rs->RecNo() : -1;
    m_syncing = true;
    if (row < 0 || m_columns.isEmpty()) {
        closeEditor();
        setCurrentIndex({});
        clearSelection();
    } else {
        const QModelIndex idx = m_model->index(row, std::clamp(m_col, 0, int(m_columns.size()) - 1));
        if (idx != currentIndex())
            closeEditor();
        setCurrentIndex(idx);
        selectionModel()->select(idx, QItemSelectionModel::ClearAndSelect
                                          | (m_rowSelect ? QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate));
        scrollTo(idx);
    }
    m_syncing = false;
    if (m_editor && !m_cellDirty)
        showFieldInEditor();
}

void DBGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    if (dy != 0 && !m_syncing)
        guarded([&] { fetchVisible(); });
    placeEditor();
}

void DBGrid::showEvent(QShowEvent *e)
{
    QTableView::showEvent(e);
    guarded([&] { fetchVisible(); });
}

void DBGrid::resizeEvent(QResizeEvent *e)
{
    QTableView::resizeEvent(e);
    guarded([&] { fetchVisible(); });
    placeEditor();
}

void DBGrid::updateGeometries()
{
    QTableView::updateGeometries();
    placeEditor();
}

void DBGrid::setCurrentColumn(int col)
{
    if (m_columns.isEmpty())
        return;
    col = std::clamp(col, 0, int(m_columns.size()) - 1);
    if (col == m_col)
        return;
    handOverCell();
    closeEditor();
    m_col = col;
    syncCurrent();
}

// ---------------------------------------------------------------- keys and mouse

bool DBGrid::untouchedNewRow() const
{
    const RecordSet *rs = dataSet();
    return rs && rs->State() == DataSetState::Insert && !rs->Modified() && !m_cellDirty;
}

void DBGrid::moveDown()
{
    RecordSet *rs = dataSet();
    if (!rs || !rs->Active())
        return;
    handOverCell();
    if (untouchedNewRow()) {
        // A new row nobody typed into: at the end nothing happens, elsewhere it goes.
        if (rs->RecNo() < rs->RecordCount() - 1)
            rs->Cancel();
        return;
    }
    rs->Next();
    if (rs->Eof() && editingAllowed())
        rs->Append();
}

void DBGrid::moveUp()
{
    RecordSet *rs = dataSet();
    if (!rs || !rs->Active())
        return;
    handOverCell();
    if (untouchedNewRow() && rs->RecNo() == rs->RecordCount() - 1) {
        rs->Cancel();
        return;
    }
    rs->Prior();
}

void DBGrid::moveRows(int n)
{
    RecordSet *rs = dataSet();
    if (!rs || !rs->Active())
        return;
    handOverCell();
    rs->MoveBy(n);
}

void DBGrid::moveToRow(int row)
{
    RecordSet *rs = dataSet();
    if (!rs || !rs->Active() || row == rs->RecNo())
        return;
    handOverCell();
    if (rs->State() == DataSetState::Insert) {
        // Settling may drop the new row, which shifts the rows below it.
        const int pending = rs->RecNo();
        const int before = rs->RecordCount();
        rs->Settle();
        if (rs->RecordCount() < before && row > pending)
            --row;
    }
    rs->MoveBy(row - rs->RecNo());
}

bool DBGrid::handleKey(QKeyEvent *e)
{
    RecordSet *rs = dataSet();
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    const bool ctrl = mods == Qt::ControlModifier;
    const int lastCol = int(m_columns.size()) - 1;
    switch (e->key()) {
    case Qt::Key_Down:
        if (mods == Qt::NoModifier) {
            moveDown();
            return true;
        }
        return false;
    case Qt::Key_Up:
        if (mods == Qt::NoModifier) {
            moveUp();
            return true;
        }
        return false;
    case Qt::Key_Tab:
        if (m_col < lastCol && !m_rowSelect) {
            setCurrentColumn(m_col + 1);
        } else {
            moveDown();
            setCurrentColumn(0);
        }
        return true;
    case Qt::Key_Backtab:
        if (m_col > 0 && !m_rowSelect) {
            setCurrentColumn(m_col - 1);
        } else {
            moveUp();
            setCurrentColumn(lastCol);
        }
        return true;
    case Qt::Key_PageDown:
        moveRows(visibleRows());
        return true;
    case Qt::Key_PageUp:
        moveRows(-visibleRows());
        return true;
    case Qt::Key_Home:
    case Qt::Key_End: {
        const bool home = e->key() == Qt::Key_Home;
        if (ctrl || m_rowSelect) {
            if (rs && rs->Active()) {
                handOverCell();
                home ? rs->First() : rs->Last();
            }
        } else if (!m_editor) {
            setCurrentColumn(home ? 0 : lastCol);
        } else {
            return false; // inside the cell editor: its own cursor keys
        }
        return true;
    }
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (m_editor || m_rowSelect)
            return false;
        setCurrentColumn(m_col + (e->key() == Qt::Key_Left ? -1 : 1));
        return true;
    case Qt::Key_Insert:
        if (mods == Qt::NoModifier && editingAllowed() && rs && rs->Active()) {
            handOverCell();
            rs->Insert();
            return true;
        }
        return false;
    case Qt::Key_Delete:
        if (ctrl) {
            if (!m_readOnly && rs && rs->Active() && !rs->IsEmpty() && confirmOkCancel(QStringLiteral("Datensatz löschen?")))
                rs->Delete();
            return true;
        }
        return false;
    case Qt::Key_Escape:
        if (m_cellDirty) {
            m_cellDirty = false;
            showFieldInEditor();
        } else if (rs && rs->Active()) {
            closeEditor();
            rs->Cancel();
        }
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        handOverCell();
        return true;
    case Qt::Key_F2:
        if (!m_editor && cellEditable(m_col))
            openEditor();
        return true;
    default:
        return false;
    }
}

bool DBGrid::event(QEvent *e)
{
    // Tab moves from cell to cell here instead of leaving the grid.
    if (e->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(e);
        if (ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) {
            keyPressEvent(ke);
            return true;
        }
    }
    return QTableView::event(e);
}

void DBGrid::keyPressEvent(QKeyEvent *e)
{
    QKeyEvent *key = m_splitKeys.take(e);
    e->accept();
    if (!key)
        return;
    bool handled = false;
    guarded([&] { handled = handleKey(key); });
    if (handled)
        return;
    if (isTypingKey(key, false) && insertsCharacter(key->text())) {
        // Typing into a cell: automatic edit, then the key goes to the cell editor.
        if (!cellEditable(m_col) || !requestEdit())
            return;
        const bool opened = !m_editor;
        if (opened)
            openEditor();
        if (m_editor) {
            QWidget *target = m_editor;
            if (auto *cb = qobject_cast<QComboBox *>(m_editor))
                target = cb->lineEdit();
            target->setFocus(Qt::OtherFocusReason);
            if (auto *le = qobject_cast<QLineEdit *>(target); le && opened)
                le->selectAll(); // the first key replaces the cell's text
            QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
            QApplication::sendEvent(target, &copy);
        }
    }
}

void DBGrid::mousePressEvent(QMouseEvent *e)
{
    setFocus(Qt::MouseFocusReason);
    const QModelIndex idx = indexAt(e->pos());
    if (!idx.isValid()) {
        e->accept();
        return;
    }
    guarded([&] {
        if (idx.column() != m_col && !m_rowSelect)
            setCurrentColumn(idx.column());
        moveToRow(idx.row());
    });
    e->accept();
}

void DBGrid::mouseDoubleClickEvent(QMouseEvent *e)
{
    e->accept();
    if (m_onDoubleClick)
        guarded([&] { m_onDoubleClick(); });
}

// ---------------------------------------------------------------- the cell editor

bool DBGrid::requestEdit()
{
    DataSource *ds = m_link.dataSource();
    if (!ds || m_readOnly)
        return false;
    bool editable = false;
    const QScopedValueRollback requesting(m_requestingEdit, true);
    guarded([&] { editable = ds->Edit(); });
    return editable && m_link.editing();
}

void DBGrid::openEditor()
{
    if (m_editor || !cellEditable(m_col) || !currentIndex().isValid())
        return;
    const GridColumn &c = m_columns.at(m_col);
    QLineEdit *line = nullptr;
    if (!c.pickList.isEmpty()) {
        auto *cb = new QComboBox(viewport());
        cb->setEditable(true);
        cb->setInsertPolicy(QComboBox::NoInsert);
        // The list only offers texts: what is typed stays as typed, never
        // completed to an entry or changed to its case.
        cb->setCompleter(nullptr);
        cb->addItems(c.pickList);
        line = cb->lineEdit();
        connect(cb, &QComboBox::activated, this, [this, cb](int i) { guarded([&] { choosePickEntry(cb->itemText(i)); }); });
        m_editor = cb;
    } else {
        line = new QLineEdit(viewport());
        line->setFrame(false);
        m_editor = line;
    }
    line->setMaxLength(TextFieldLength);
    line->setAlignment(c.alignment);
    line->installEventFilter(this);
    m_editor->installEventFilter(this);
    m_editor->setAccessibleName(c.title);
    connect(line, &QLineEdit::textEdited, this, [this] {
        if (!m_loadingEditor)
            m_cellDirty = true;
    });
    m_cellDirty = false;
    showFieldInEditor();
    placeEditor();
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
}

void DBGrid::closeEditor()
{
    if (!m_editor)
        return;
    QWidget *ed = m_editor;
    m_editor = nullptr;
    m_cellDirty = false;
    const bool hadFocus = ed->hasFocus() || (ed->focusProxy() && ed->focusProxy()->hasFocus()) || ed->isAncestorOf(QApplication::focusWidget());
    // The grid takes the focus back before the editor hides: hiding a focused
    // widget hands the focus on to the next control, which would count as
    // leaving the grid and drop a new row nobody has typed into yet.
    if (hadFocus)
        setFocus(Qt::OtherFocusReason);
    ed->hide();
    ed->removeEventFilter(this);
    ed->deleteLater();
}

void DBGrid::placeEditor()
{
    if (!m_editor)
        return;
    const QRect r = visualRect(currentIndex());
    if (r.isValid())
        m_editor->setGeometry(r);
}

void DBGrid::showFieldInEditor()
{
    if (!m_editor)
        return;
    const Field *f = columnField(m_col);
    const QString text = f ? f->DisplayText() : QString();
    // The same text again keeps the cursor and the selection: the first key
    // after Ctrl+A starts the edit, which shows the field anew, and must still
    // replace the selected text.
    if (cellEditorText() == text)
        return;
    m_loadingEditor = true;
    if (auto *cb = qobject_cast<QComboBox *>(m_editor))
        cb->setEditText(text);
    else if (auto *le = qobject_cast<QLineEdit *>(m_editor))
        le->setText(text);
    m_loadingEditor = false;
}

QString DBGrid::cellEditorText() const
{
    if (auto *cb = qobject_cast<QComboBox *>(m_editor))
        return cb->currentText();
    if (auto *le = qobject_cast<QLineEdit *>(m_editor))
        return le->text();
    return QString();
}

void DBGrid::handOverCell()
{
    if (!m_editor || !m_cellDirty)
        return;
    Field *f = columnField(m_col);
    if (!f || !m_link.editing())
        return;
    m_cellDirty = false;
    f->setAsString(cellEditorText());
}

void DBGrid::choosePickEntry(const QString &text)
{
    if (!requestEdit())
        return;
    Field *f = columnField(m_col);
    if (!f)
        return;
    m_cellDirty = false;
    f->setAsString(text);
}

bool DBGrid::eventFilter(QObject *watched, QEvent *e)
{
    if (m_editor && (watched == m_editor || m_editor->isAncestorOf(qobject_cast<QWidget *>(watched)))
        && e->type() == QEvent::KeyPress) {
        auto *ke = m_splitKeys.take(static_cast<QKeyEvent *>(e));
        if (!ke)
            return true;
        if (ke != e) {
            // The whole character goes to the editor as one key.
            QApplication::sendEvent(watched, ke);
            return true;
        }
        const int key = ke->key();
        const bool alt = ke->modifiers() & Qt::AltModifier;
        // Alt+Down opens the pick list; other grid keys act on the grid.
        if (alt && (key == Qt::Key_Down || key == Qt::Key_Up))
            return false;
        bool handled = false;
        if (key != Qt::Key_Left && key != Qt::Key_Right && key != Qt::Key_Home && key != Qt::Key_End
            && !(key == Qt::Key_Delete && !(ke->modifiers() & Qt::ControlModifier)))
            guarded([&] { handled = handleKey(ke); });
        if (handled)
            return true;
        if (isTypingKey(ke, false) && !requestEdit())
            return true;
        return false;
    }
    return QTableView::eventFilter(watched, e);
}

void DBGrid::onFocusChanged(QWidget *old, QWidget *now)
{
    const auto inside = [this](QWidget *w) { return w && (w == this || isAncestorOf(w)); };
    // Leaving means another control of the same window takes the focus; a
    // message box, the pick list's pop-up or another program does not count.
    if (!inside(old) || !now || inside(now) || now->window() != window())
        return;
    // Leaving the grid: an untouched new row goes, typed text reaches its field.
    guarded([&] {
        RecordSet *rs = dataSet();
        if (!rs || !rs->Active())
            return;
        if (untouchedNewRow())
            rs->Cancel();
        else
            handOverCell();
    });
}
