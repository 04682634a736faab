#pragma once

#include "amount.h"
#include "snapshot.h"
#include "rowsource.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class Database;
class RecordSet;
class DataSource;
class Link;

enum class FieldKind { AutoInc, Integer, Text, Memo, Blob, Float, CalcFloat, Unknown };

// The type name used in the field-kind error messages ("WideString", "AutoInc", ...).
QString fieldKindName(FieldKind kind);

enum class DataSetState { Inactive, Browse, Edit, Insert };

// What a record set tells the data sources over it (and they their controls and links).
enum class Notification {
    StateChanged = 1,     // opened, closed, browse/edit/insert entered
    RowsChanged = 2,      // rows changed as a whole
    RowMoved = 3,         // Next or Prior
    RowValuesChanged = 4, // edit state began
    FieldAssigned = 5,    // one field, named
    SettleRequest = 6,    // details settle their pending row
    HandOver = 7,         // controls assign text not yet given to their field
};

class Field
{
public:
    const QString &FieldName() const { return m_name; }
    FieldKind kind() const { return m_kind; }
    bool isCalculated() const { return m_kind == FieldKind::CalcFloat; }
    const QString &DisplayFormat() const { return m_displayFormat; }
    RecordSet *DataSet() const { return m_set; }
    int index() const { return m_index; }

    bool IsNull() const;
    Value value() const;
    // Text form: text as stored, a whole number as its digits, a calculated
    // float by the general number form; no value gives "".
    QString AsString() const;
    // As shown by bound controls: a calculated float by its display format.
    QString DisplayText() const;
    // A text field read as a number goes through the plain number conversion
    // and may throw ConversionError; no value reads as 0.
    long double AsFloat() const;
    qint64 AsInteger() const;
    // Assigned since the edit or insert began (false in browse state).
    bool Assigned() const;
    // The value the file holds for the row being edited, whatever was
    // assigned since; none for a new row, the value itself in browse state.
    Value OldValue() const;

    void setAsString(const QString &text);
    void setAsInteger(qint64 v);
    void setAsFloat(double v);
    void Clear();

private:
    friend class RecordSet;
    Field(RecordSet *set, QString name, FieldKind kind, int index, QString displayFormat)
        : m_set(set), m_name(std::move(name)), m_kind(kind), m_index(index), m_displayFormat(std::move(displayFormat)) {}

    RecordSet *m_set;
    QString m_name;
    FieldKind m_kind;
    int m_index;     // position among the fields
    int m_column = -1; // snapshot column for stored fields, calc slot for calculated ones
    QString m_displayFormat;
};

// Anything attached to a data source: bound controls and links.
class DataLink
{
public:
    virtual ~DataLink() = default;
    virtual void dataEvent(Notification n, Field *field) = 0;
    // The set is about to close: a link settles its detail's pending row,
    // without the set's controls hearing of it.
    virtual void masterClosing() {}
    // The data source is being destroyed: forget it.
    virtual void sourceDestroyed(DataSource *) {}
};

class DataSource
{
public:
    DataSource(QString name, RecordSet *set);
    ~DataSource();
    DataSource(const DataSource &) = delete;
    DataSource &operator=(const DataSource &) = delete;

    const QString &name() const { return m_name; }
    RecordSet *DataSet() const { return m_set; }
    bool AutoEdit = true;

    // A bound control wants to change the current row: puts the set into
    // edit state (on an empty set that starts a new row). False when the set
    // cannot be edited (closed, or automatic edit is off and it browses).
    bool Edit();

    void attach(DataLink *link);
    void detach(DataLink *link);

private:
    friend class RecordSet;
    void notify(Notification n, Field *field);
    void masterClosing();

    QString m_name;
    RecordSet *m_set;
    std::vector<DataLink *> m_links;
};

struct LocateOptions
{
    bool partialKey = false;
    bool caseInsensitive = false;
};

// A named snapshot of a table or a statement with a current row, a state and
// the operations the windows use. Errors it raises itself carry its name.
class RecordSet : public RowSource
{
public:
    RecordSet(QString name, Database &database);
    ~RecordSet();
    RecordSet(const RecordSet &) = delete;
    RecordSet &operator=(const RecordSet &) = delete;

    const QString &name() const { return m_name; }

    // Source. A table's name may change only while the set is closed; a new
    // statement closes the set first.
    void setTableName(const QString &table);
    const QString &TableName() const { return m_table; }
    void setSQL(const QString &sql);
    const QString &SQL() const { return m_sql; }

    // Declared fields; without any, the set takes one field per column.
    void declareField(const QString &name, FieldKind kind, const QString &displayFormat = QString());
    // A field that only a table of a later version has: where the source
    // has no such column, the set opens without it (FindField gives nullptr).
    void declareOptionalField(const QString &name, FieldKind kind);
    using CalcHandler = std::function<void(RecordSet &)>;
    void setOnCalcFields(CalcHandler handler) { m_onCalc = std::move(handler); }
    // Runs in Post after the hand-over, before anything is written; what it
    // throws stops the post and the row stays pending.
    using PostCheck = std::function<void(RecordSet &)>;
    void setBeforePost(PostCheck check) { m_beforePost = std::move(check); }
    // Texts a new row starts with, by field name, asked for at every Insert
    // and Append. They are stored with the row, yet a row that holds nothing
    // else counts as untouched, as one with only its link field does. A name
    // the source has no column for, and an empty text, are passed over.
    using NewRowValues = std::function<QList<std::pair<QString, QString>>()>;
    void setNewRowValues(NewRowValues values) { m_newRowValues = std::move(values); }
    // A numeric field that holds each row's place among its neighbours.
    // Every view of the set is then in the order of the place, a row without
    // one counting as placed at its id, then by id: a line inserted between
    // two others is read back there. A new row gets a place between the rows
    // it is shown between. Set while the set is closed; a source without the
    // column keeps the order of its rows.
    void setPositionField(const QString &name);
    const QString &positionField() const { return m_positionField; }
    // What its numbers are read and shown with: the fields' conversions, the
    // calculation and the check before a post get them from here.
    void setSeparators(const Separators &separators) { m_separators = separators; }
    const Separators &separators() const { return m_separators; }

    bool Active() const { return m_state != DataSetState::Inactive; }
    void setActive(bool active);
    void Open() { setActive(true); }
    void Close() { setActive(false); }

    DataSetState State() const { return m_state; }
    bool Bof() const { return m_bof; }
    bool Eof() const { return m_eof; }
    bool Modified() const { return m_modified; }
    bool IsEmpty() const { return RecordCount() == 0; }
    // Rows in view, a pending new row included.
    int RecordCount() const;
    // Position of the current row in the view, -1 when there is none.
    int RecNo() const { return m_cur; }

    void First();
    void Next();
    void Prior();
    void Last();
    // Moves by n rows in one step (settling once): what a grid needs.
    int MoveBy(int n);
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    void Refresh();
    bool Locate(const QString &fieldName, const QVariant &value, LocateOptions options = {});
    // Posts a pending row that holds an assignment, drops an untouched one.
    void Settle();

    Field *FieldByName(const QString &name) const;
    Field *FindField(const QString &name) const;
    const std::vector<std::unique_ptr<Field>> &Fields() const { return m_fields; }

    // Lets a reader (a grid) look at the row at a view position without moving:
    // for the duration of body the fields read that row, calculated fields
    // included. Throws like any read when the calculation fails.
    void readRowAt(int pos, const std::function<void()> &body);

    // Why the calculated fields of the row being read (or the current row)
    // have no value: the calculation's failure, or null when it succeeded.
    // A row that cannot be calculated stays in view with empty calculated
    // fields; whoever adds them up asks here.
    std::exception_ptr CalcError() const;

    // Memory held by the snapshot and its indexes (benchmarks report it).
    size_t memoryBytes() const;
    // The snapshot's records, replaced ones included, and its row table
    // (Snapshot::heldBytes()): what a Refresh must not let grow.
    size_t heldBytes() const { return m_snapshot.heldBytes(); }

    // Rows for a report: a memo's whole text, any other field's display text.
    void first() override;
    void next() override;
    bool atEnd() const override;
    int rowCount() const override;
    QString fieldText(const QString &field) const override;

private:
    friend class Field;
    friend class DataSource;
    friend class Link;

    // The link criterion the set is restricted by.
    struct Criterion
    {
        enum Mode { All, NoRows, Null, Equals } mode = All;
        std::string text;
        bool operator==(const Criterion &o) const { return mode == o.mode && (mode != Equals || text == o.text); }
    };

    [[noreturn]] void raise(const QString &message) const;
    void checkActive() const;
    void notify(Notification n, Field *field = nullptr);

    void openSource();
    size_t rowEstimate() const;
    void resetData();
    void buildGroups();
    void addToGroup(uint32_t row);
    void removeFromGroup(uint32_t row);
    std::string keyOf(uint32_t row) const;
    void rebuildView();
    void setCriterion(const Criterion &c);
    const Criterion &criterion() const { return m_criterion; }

    int storedCount() const { return int(m_view.size()); }
    bool hasPending() const { return m_state == DataSetState::Insert; }
    uint32_t rowAtPos(int pos) const; // snapshot row of a stored view position
    int storedPos(int pos) const;     // view position without the pending row

    // Reads a row: computes its calculated fields into `calc`; a failure
    // leaves them empty and is handed back.
    std::exception_ptr computeCalc(int pos, std::vector<std::optional<double>> &calc);
    void readCurrent(); // calc of the current row, its failure kept in m_calcError
    void readWhole(int targetPos); // a re-read as a whole at a target position
    // Bof/Eof after a read as a whole: First and opening, Last, or the others.
    enum class FlagRule { AtFirst, AtLast, Cleared };
    void readAsAWhole(int targetPos, FlagRule rule, bool stateChanged, bool rowsChanged);

    // The place a row is ordered by, and the order itself (ties by snapshot
    // row, so that it is total). Without a position field: snapshot order.
    struct PlaceKey;
    PlaceKey placeOf(uint32_t row) const;
    double placeNumber(uint32_t row) const; // NaN for a place that is no number
    bool placedBefore(uint32_t a, uint32_t b) const;
    // `places`, where given, holds each snapshot row's place as a double
    // (NaN for none that is a number): a quick first look that spares
    // reading the rows again out of storage order.
    void orderByPlace(uint32_t *first, uint32_t *last, const std::vector<double> *places = nullptr) const;
    // The place of a new row at a view position, between its neighbours;
    // where they leave no room the view's rows are numbered afresh first.
    Value placeForNewRow(int viewPos);
    void renumberView();

    const Value &workValue(int column) const;
    Value currentValue(const Field *f) const;
    void assign(Field *f, Value v);

    void startInsert(bool append);
    void leaveEditState(); // back to browse, the working copy dropped
    void writeInsert();
    void writeUpdate();
    // Reads the row's stored values again; false when it is gone from the table.
    bool rereadRow(uint32_t row, qint64 id);
    void rereadStoredRow(uint32_t row, qint64 id); // after a write that went through

    void resolveWriteTarget();
    // The row with this id was changed or deleted by another program.
    [[noreturn]] void raiseConflict(qint64 id, bool whileDeleting);
    void reloadAfterConflict(qint64 id);

    QString m_name;
    Database &m_conn;
    QString m_table;
    QString m_sql;
    DataSetState m_state = DataSetState::Inactive;

    struct Declared { QString name; FieldKind kind; QString displayFormat; bool optional = false; };
    std::vector<Declared> m_declared;
    std::vector<std::unique_ptr<Field>> m_fields;
    int m_calcCount = 0;
    CalcHandler m_onCalc;
    PostCheck m_beforePost;
    NewRowValues m_newRowValues;
    Separators m_separators;

    // Source columns of the stored fields.
    std::vector<QByteArray> m_columnNames; // per snapshot column
    std::vector<QByteArray> m_originNames; // column names in the write table
    QByteArray m_writeTable;
    int m_idColumn = -1;
    QString m_positionField;
    int m_positionColumn = -1;

    Snapshot m_snapshot;
    std::vector<uint32_t, LargeAllocator<uint32_t>> m_view; // snapshot rows in view order
    int m_cur = -1;
    bool m_bof = true, m_eof = true;
    bool m_modified = false;
    int m_pendingPos = -1;        // view position of a new row
    bool m_appended = false;
    std::vector<Value> m_work;
    std::vector<bool> m_assigned;
    std::vector<std::optional<double>> m_calc;
    std::exception_ptr m_calcError;

    // Rows read for a reader without moving.
    int m_readingPos = -1;
    std::vector<std::optional<double>> m_readingCalc;
    std::exception_ptr m_readingCalcError;

    // Link: the detail's sort field, its groups and the criterion in force.
    Link *m_link = nullptr;
    int m_sortColumn = -1;
    std::unordered_map<std::string, std::vector<uint32_t>> m_groups;
    std::vector<uint32_t> m_nullGroup;
    Criterion m_criterion;
    Criterion m_viewCriterion;
    bool m_viewValid = false;

    std::vector<DataSource *> m_sources;
};

// Makes a detail record set hold only the rows of its master's current row.
class Link : public DataLink
{
public:
    Link(DataSource *master, const QString &masterField, RecordSet *detail, const QString &detailField);
    ~Link() override;

    void dataEvent(Notification n, Field *field) override;
    void masterClosing() override;
    // The criterion the master's current row asks for.
    RecordSet::Criterion wanted() const;
    // The value a new detail row gets in its detail field.
    Value fillValue() const;
    int detailColumnIndex() const;
    const QString &detailField() const { return m_detailField; }
    bool masterActive() const;

private:
    void apply(bool force);

    DataSource *m_master;
    QString m_masterField;
    RecordSet *m_detail;
    QString m_detailField;
    bool m_force = true;
};
