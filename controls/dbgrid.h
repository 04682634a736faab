#pragma once

#include "controls/controllink.h"
#include "controls/dbedit.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>
#include <QTableView>
#include <functional>
#include <unordered_map>

struct GridColumn
{
    QString field;
    QString title;
    int width = 64;
    QStringList pickList;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter; // of the cells and the title
};

class DBGrid;

// Rows of the grid as the record set shows them. Texts are read into a cache
// when the set notifies or the view scrolls, never while painting, so a row
// that cannot be read fails the action that moved to it.
class DBGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit DBGridModel(DBGrid *grid) : m_grid(grid) {}
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    void setRowCount(int rows);
    // Another set of rows: one reset rather than rows removed and inserted and
    // then changed, so that a screen reader is told once.
    void resetRows(int rows);
    void invalidate(int first, int last);
    // Reads rows [first, last] that are not cached; throws like the record set.
    void fetch(int first, int last);
    void setCellColor(const QColor &c) { m_cellColor = c; }
    template <class F>
    void resetColumns(F &&change)
    {
        beginResetModel();
        change();
        m_rows = 0;
        m_cache.clear();
        endResetModel();
    }

private:
    DBGrid *m_grid;
    int m_rows = 0;
    // Only the rows read so far: a grid shows a screenful of a set that may hold a million.
    std::unordered_map<int, QStringList> m_cache;
    QColor m_cellColor;
};

// A data grid over a data source: a row per record, in-place cell editing with
// the automatic edit, the keys of a database grid, pick lists.
class DBGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);
    ~DBGrid() override;

    void setDataSource(DataSource *ds);
    DataSource *dataSource() const { return m_link.dataSource(); }
    void setColumns(const QList<GridColumn> &columns);
    const QList<GridColumn> &columns() const { return m_columns; }
    // A read-only grid accepts no typing, Insert or Ctrl+Delete.
    void setGridReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool gridReadOnly() const { return m_readOnly; }
    void setRowSelect(bool rowSelect);
    void setTitleColor(const QColor &c);
    void setCellColor(const QColor &c);
    void setOnDoubleClick(std::function<void()> handler) { m_onDoubleClick = std::move(handler); }

    int currentColumn() const { return m_col; }
    void setCurrentColumn(int col);
    // The open cell editor (a line edit, or a combo box for a pick list), if any.
    QWidget *cellEditor() const { return m_editor; }
    QString cellEditorText() const;
    bool cellDirty() const { return m_cellDirty; }

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *e) override;
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;
    void updateGeometries() override;

private:
    friend class DBGridModel;
    RecordSet *dataSet() const { return m_link.dataSet(); }
    Field *columnField(int col) const;
    bool cellEditable(int col) const;
    bool editingAllowed() const { return !m_readOnly; }

    void dataEvent(Notification n, Field *field);
    void reloadRows();
    void fetchVisible();
    void syncCurrent();
    int visibleRows() const;

    // Keys, each run inside the one guard.
    bool handleKey(QKeyEvent *e);
    void moveDown();
    void moveUp();
    void moveRows(int n);
    void moveToRow(int row);
    bool untouchedNewRow() const;

    void openEditor();
    void closeEditor();
    void placeEditor();
    void showFieldInEditor();
    bool requestEdit();
    void handOverCell();
    void onFocusChanged(QWidget *old, QWidget *now);
    void choosePickEntry(const QString &text);

    ControlLink m_link;
    DBGridModel *m_model;
    QList<GridColumn> m_columns;
    bool m_readOnly = false;
    bool m_rowSelect = false;
    int m_col = 0;
    bool m_syncing = false;
    QWidget *m_editor = nullptr;
    bool m_cellDirty = false;
    bool m_loadingEditor = false;
    bool m_requestingEdit = false;
    SplitCharacterKeys m_splitKeys;
    std::function<void()> m_onDoubleClick;
    QMetaObject::Connection m_focusConnection;
};
