#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <variant>
#include <vector>

// Reading Microsoft Access files (Jet 3, Jet 4, ACE), for bringing over the
// data of a nursery that kept its invoices in Access. Read-only: the file is
// never changed.
namespace accessdb {

// Whether the file begins with the Access signature ("Standard Jet DB" or
// "Standard ACE DB"). Looks at nothing else; a damaged file can pass.
bool isAccessFile(const QString &path);

// An exact decimal number as Access keeps it in Currency (four places) and
// Numeric columns: an optional "-", digits, and "." before the places.
struct Decimal
{
    QString text;
    bool operator==(const Decimal &) const = default;
};

// One value of a row. Byte, Integer, Long Integer and Complex give qint64;
// Single and Double give double (a Single as the shortest decimal that reads
// back to it); Currency and Numeric give Decimal; DateTime gives a QDateTime
// in UTC (Access keeps no time zone); Text, Memo and Replication ID give
// QString; Binary and OLE Object give QByteArray.
using Value = std::variant<std::monostate, bool, qint64, double, Decimal, QDateTime, QString, QByteArray>;
using Row = std::vector<Value>;

// Access's codes for the kinds of column.
enum ColumnType : int {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    LongInteger = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0a,
    OleObject = 0x0b,
    Memo = 0x0c,
    ReplicationId = 0x0f,
    Numeric = 0x10,
    Complex = 0x12,
};

struct Column
{
    QString name;
    int type = Text;
    int size = 0; // Text: characters; Binary: bytes
    int precision = 0; // Numeric
    int scale = 0; // Numeric
    bool autoNumber = false;
    // Computed by Access from other columns (Access 2010 and later); what is
    // read is the value Access stored with the row.
    bool calculated = false;
    // A calculated column of a kind whose stored values cannot be read: every
    // value is empty, and an import leaves the column out.
    bool unread = false;

    // As Access names it: "Text(50)", "Long Integer", "Numeric(18,0)", ...
    QString typeName() const;
};

struct Table
{
    QString name;
    std::vector<Column> columns;
    // What the table's definition says it holds; -1 when nobody said.
    qint64 declaredRows = -1;
    std::vector<Row> rows;
    // Why the table cannot be read ("ihre Zeile 3 ist beschädigt"); empty
    // when it was read. A table that cannot be read has no rows.
    QString unreadable;
};

// Where an import takes its tables from: an Access file, or tables made in memory.
class Source
{
public:
    virtual ~Source() = default;
    // How messages name the source (the file as given).
    virtual QString name() const = 0;
    virtual const std::vector<Table> &tables() const = 0;
};

// An Access file, read completely when it is opened: every user table (no
// MSys* table, no temporary ~TMP* table, no query, no linked table) with all
// its rows. A table that cannot be read is kept with the reason (see
// Table::unreadable); whoever needs it decides what that means.
//
// The reading itself is done by libmdb, which trusts the file: a damaged one
// can make it read out of bounds, loop or eat memory. So the file's header is
// checked here first, and libmdb then runs in a child process of its own that
// hands the tables over through a pipe; whatever happens to it there ends as
// a German "beschädigt" message here. Its warnings never reach our output.
// Every failure is an EngineError with a German message naming the file; a
// file encrypted with a password (which libmdb cannot read) is said to be so.
class AccessFile : public Source
{
public:
    explicit AccessFile(const QString &path);
    // The same for bytes already in memory; `name` is used in messages.
    AccessFile(const QByteArray &bytes, const QString &name);

    QString name() const override { return m_name; }
    const std::vector<Table> &tables() const override { return m_tables; }
    // "Jet 3 (Access 97)", "Jet 4 (Access 2000-2003)", "ACE (Access 2007 oder neuer)"
    QString formatName() const;

private:
    void read(const QByteArray &bytes);

    QString m_name;
    quint32 m_version = 0;
    std::vector<Table> m_tables;
};

} // namespace accessdb
