#include "access/import.h"

#include "access/stream.h"
#include "data/amount.h"
#include "data/errors.h"
#include "data/migrations.h"
#include "data/schema.h"
#include "data/newdatabase.h"
#include "data/years.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <optional>

namespace accessdb {

namespace {

QString quoted(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// ---------------------------------------------------------------------------
// Which tables of the source are the program's

const QString CustomerTable = schema::customer::Table;
// The years every new database has.
const int StandardYears[] = {2004, 2003, 2002};

struct YearSource
{
    const Table *header = nullptr;
    const Table *lines = nullptr;
};

struct Found
{
    const Table *customers = nullptr;
    std::map<int, YearSource> years;
    QStringList others;
    std::vector<ImportReport::Unreadable> unreadable;
};

Found findProgramTables(const Source &source)
{
    static const QRegularExpression headerName(QLatin1Char('^') + schema::header::BaseName + QStringLiteral("([0-9]{4})$"));
    static const QRegularExpression lineName(QLatin1Char('^') + schema::line::BaseName + QStringLiteral("([0-9]{4})$"));
    Found found;
    for (const Table &t : source.tables()) {
        // Access, like SQLite, does not tell upper from lower case in names.
        const QString name = t.name.toLower();
        std::optional<int> year;
        bool header = false;
        if (name == CustomerTable) {
            found.customers = &t;
            continue;
        }
        if (name == tablesOfYear(FirstYear).headerTable || name == tablesOfYear(FirstYear).lineTable) {
            year = FirstYear;
            header = name == tablesOfYear(FirstYear).headerTable;
        } else if (const auto m = headerName.match(name); m.hasMatch()) {
            year = m.captured(1).toInt();
            header = true;
        } else if (const auto m = lineName.match(name); m.hasMatch()) {
            year = m.captured(1).toInt();
        }
        // Only the names the program gives a year's tables: 2002's carry no
        // year, so a "rechnung2002" is none of them.
        if (year && (*year < LowestNewYear || *year > HighestNewYear
                     || (name != tablesOfYear(*year).headerTable && name != tablesOfYear(*year).lineTable)))
            year.reset();
        if (!year) {
            if (t.unreadable.isEmpty())
                found.others << t.name;
            else
                found.unreadable.push_back({t.name, t.unreadable});
            continue;
        }
        YearSource &y = found.years[*year];
        (header ? y.header : y.lines) = &t;
    }
    return found;
}

// ---------------------------------------------------------------------------
// Values as the program keeps them: text

QString withDecimalSeparator(QString text, const Separators &separators)
{
    text.replace(QLatin1Char('.'), separators.decimal);
    return text;
}

// The shortest decimal that reads back to the same double, without exponent:
// what a user would have typed for it.
QString doubleText(double v, const Separators &separators)
{
    char buffer[400];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
    if (r.ec != std::errc())
        return QString::number(v, 'g', 17);
    return withDecimalSeparator(QString::fromLatin1(buffer, int(r.ptr - buffer)), separators);
}

// Currency keeps four places: "3.5000" becomes "3,50", "12.3456" stays
// exact. A Numeric without places stays a whole number.
QString decimalText(const QString &exact, const Separators &separators)
{
    QString t = exact;
    const qsizetype point = t.indexOf(QLatin1Char('.'));
    if (point >= 0) {
        while (t.size() - point - 1 > 2 && t.endsWith(QLatin1Char('0')))
            t.chop(1);
    }
    return withDecimalSeparator(t, separators);
}

QString dateTimeText(const QDateTime &dt)
{
    const QDate date = dt.date();
    const QTime time = dt.time();
    const QString timeText = time.msec() ? time.toString(QStringLiteral("HH:mm:ss.zzz")) : time.toString(QStringLiteral("HH:mm:ss"));
    // Access shows a time without a date when the day is its day zero.
    if (date == QDate(1899, 12, 30) && time != QTime(0, 0))
        return timeText;
    const QString dateText = date.toString(QStringLiteral("dd.MM.yyyy"));
    return time == QTime(0, 0) ? dateText : dateText + QLatin1Char(' ') + timeText;
}

// nullopt for NULL.
std::optional<QByteArray> textOf(const Value &v, const Separators &separators)
{
    struct Visitor
    {
        const Separators &separators;
        std::optional<QByteArray> operator()(std::monostate) const { return std::nullopt; }
        std::optional<QByteArray> operator()(bool b) const { return b ? QByteArrayLiteral("Ja") : QByteArrayLiteral("Nein"); }
        std::optional<QByteArray> operator()(qint64 i) const { return QByteArray::number(i); }
        std::optional<QByteArray> operator()(double d) const { return doubleText(d, separators).toUtf8(); }
        std::optional<QByteArray> operator()(const Decimal &d) const { return decimalText(d.text, separators).toUtf8(); }
        std::optional<QByteArray> operator()(const QDateTime &dt) const { return dateTimeText(dt).toUtf8(); }
        std::optional<QByteArray> operator()(const QString &s) const { return s.toUtf8(); }
        // Kept byte for byte; SQLite stores them as they are.
        std::optional<QByteArray> operator()(const QByteArray &b) const { return b; }
    };
    return std::visit(Visitor{separators}, v);
}

bool isTextKind(int type)
{
    return type == Text || type == Memo;
}

// The id a row keeps, if it has a usable one.
std::optional<qint64> idOf(const Value &v)
{
    if (const auto *i = std::get_if<qint64>(&v))
        return *i;
    if (const auto *d = std::get_if<double>(&v)) {
        if (std::isfinite(*d) && std::trunc(*d) == *d && std::fabs(*d) < 9.0e15)
            return qint64(*d);
        return std::nullopt;
    }
    QString text;
    if (const auto *dec = std::get_if<Decimal>(&v))
        text = dec->text;
    else if (const auto *s = std::get_if<QString>(&v))
        text = s->trimmed();
    static const QRegularExpression whole(QStringLiteral("^-?[0-9]{1,18}(\\.0+)?$"));
    if (!whole.match(text).hasMatch())
        return std::nullopt;
    return text.section(QLatin1Char('.'), 0, 0).toLongLong();
}

QString shownValue(const Value &v, const Separators &separators)
{
    if (std::holds_alternative<std::monostate>(v))
        return QStringLiteral("leer");
    const std::optional<QByteArray> t = textOf(v, separators);
    return QLatin1Char('\'') + QString::fromUtf8(*t) + QLatin1Char('\'');
}

qsizetype characters(const QString &text)
{
    qsizetype n = 0;
    for (QChar c : text)
        n += c.isLowSurrogate() ? 0 : 1;
    return n;
}

// ---------------------------------------------------------------------------
// Writing

struct TargetColumn
{
    QString name;
    int maxLength = -1; // VARCHAR(n); -1 for no limit
};

std::vector<TargetColumn> targetColumns(newdb::NewDatabase &db, const QString &table)
{
    std::vector<TargetColumn> columns;
    static const QRegularExpression varchar(QStringLiteral("^VARCHAR\\(([0-9]+)\\)$"), QRegularExpression::CaseInsensitiveOption);
    for (const ColumnInfo &info : db.guarded([&] { return db.connection().columns(table); })) {
        TargetColumn c;
        c.name = QString::fromUtf8(info.name);
        const auto m = varchar.match(QString::fromUtf8(info.declType));
        if (m.hasMatch())
            c.maxLength = m.captured(1).toInt();
        columns.push_back(c);
    }
    return columns;
}

// The program computes with these; what it cannot read as a number the user
// should hear about before an invoice comes out wrong.
enum class Meaning { Plain, Amount, CustomerId };

Meaning meaningOf(const QString &column)
{
    if (column == schema::line::Quantity || column == schema::line::UnitPrice)
        return Meaning::Amount;
    if (column == schema::header::CustomerId)
        return Meaning::CustomerId;
    return Meaning::Plain;
}

class TableCopy
{
public:
    TableCopy(newdb::NewDatabase &db, const QString &target, const Table *source, TableReport &report,
              const Separators &separators)
        : m_db(db), m_target(target), m_source(source), m_report(report), m_separators(separators)
    {
    }

    // Adds the columns the program does not know, before any year is copied
    // from a table that has them.
    void prepareColumns()
    {
        if (!m_source)
            return;
        m_columns = targetColumns(m_db, m_target);
        QHash<QString, int> byName;
        for (int i = 0; i < int(m_columns.size()); ++i)
            byName.insert(m_columns[std::size_t(i)].name.toLower(), i);
        m_targetOfSource.assign(m_source->columns.size(), -1);
        QSet<int> filled;
        for (int s = 0; s < int(m_source->columns.size()); ++s) {
            const Column &c = m_source->columns[std::size_t(s)];
            const QString key = c.name.toLower();
            if (c.unread) {
                m_report.notes << QStringLiteral("Spalte %1 (%2) wird in Access berechnet; ihre gespeicherten Werte sind nicht lesbar, "
                                                 "sie wurde nicht übernommen")
                                      .arg(c.name, c.typeName());
                continue;
            }
            if (c.calculated)
                m_report.notes << QStringLiteral("Spalte %1 (%2) wird in Access berechnet; übernommen wurden die gespeicherten Werte")
                                      .arg(c.name, c.typeName());
            int t = byName.value(key, -1);
            if (t < 0) {
                m_db.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 TEXT").arg(quoted(m_target), quoted(c.name)).toUtf8().constData());
                m_columns.push_back(TargetColumn{c.name, -1});
                t = int(m_columns.size()) - 1;
                byName.insert(key, t);
                m_report.notes << QStringLiteral("Spalte %1 (%2) kennt das Programm nicht; sie wurde angelegt und übernommen")
                                      .arg(c.name, c.typeName());
            }
            if (!isTextKind(c.type) && key != QLatin1String("id"))
                m_converted.insert(s);
            if (filled.contains(t))
                continue; // a second source column of the same name; Access allows none
            filled.insert(t);
            m_targetOfSource[std::size_t(s)] = t;
            if (key == QLatin1String("id"))
                m_idColumn = s;
        }
        // The columns this program added to every year (a line's VAT rate and
        // place, a header's kind and payment) were never in an Access file:
        // empty is what they mean there (10 %, in id order, an unpaid invoice).
        const auto addedByProgram = [](const QString &name) {
            const std::vector<Migration> &list = programMigrations();
            return std::any_of(list.begin(), list.end(), [&](const Migration &m) {
                return (m.kind == Migration::Kind::AddHeaderColumn || m.kind == Migration::Kind::AddLineColumn)
                       && name.compare(m.column, Qt::CaseInsensitive) == 0;
            });
        };
        for (int t = 0; t < int(m_columns.size()); ++t) {
            if (!filled.contains(t) && m_columns[std::size_t(t)].name.toLower() != QLatin1String("id")
                && !addedByProgram(m_columns[std::size_t(t)].name))
                m_report.notes << QStringLiteral("Spalte %1 fehlt in der Access-Tabelle; sie bleibt leer").arg(m_columns[std::size_t(t)].name);
        }
        if (m_idColumn < 0)
            m_report.notes << QStringLiteral("Spalte id fehlt in der Access-Tabelle; die Zeilen wurden neu nummeriert");
    }

    void copy()
    {
        if (!m_source)
            return;
        m_report.declared = m_source->declaredRows;
        m_report.read = qint64(m_source->rows.size());
        // Access's count of rows can lag behind; what was read is what there is.
        if (m_report.declared >= 0 && m_report.read > m_report.declared)
            m_report.notes << QStringLiteral("Die Access-Tabelle meldet %1 Zeilen, gelesen wurden %2; alle wurden übernommen")
                                  .arg(m_report.declared)
                                  .arg(m_report.read);

        // Rows with an id of their own first, so that the rows without one
        // get numbers after the highest.
        QSet<qint64> used;
        std::vector<std::size_t> renumbered;
        {
            StatementHandle insert = m_db.prepare(insertSql(true));
            for (std::size_t r = 0; r < m_source->rows.size(); ++r) {
                const Row &row = m_source->rows[r];
                const std::optional<qint64> id = m_idColumn >= 0 ? idOf(valueAt(row, m_idColumn)) : std::nullopt;
                if (!id || used.contains(*id)) {
                    renumbered.push_back(r);
                    continue;
                }
                used.insert(*id);
                m_db.guarded([&] {
                    insert->bindInteger(1, *id);
                    bindValues(*insert, row, 2, QStringLiteral("id %1").arg(*id));
                    insert->run();
                });
                ++m_report.written;
            }
        }
        if (!renumbered.empty()) {
            StatementHandle insert = m_db.prepare(insertSql(false));
            for (std::size_t r : renumbered) {
                const Row &row = m_source->rows[r];
                m_db.guarded([&] {
                    bindValues(*insert, row, 1, QStringLiteral("Zeile %1").arg(r + 1));
                    insert->run();
                });
                ++m_report.written;
                const qint64 id = m_db.connection().lastInsertId();
                if (m_idColumn < 0)
                    continue; // said once for the whole table
                const Value &was = valueAt(row, m_idColumn);
                const QString why = idOf(was) ? QStringLiteral("doppelt") : QStringLiteral("keine ganze Zahl");
                m_report.notes << QStringLiteral("Zeile %1: id %2 ist %3; die Zeile bekam die id %4").arg(r + 1).arg(shownValue(was, m_separators), why).arg(id);
            }
        }
        for (auto it = m_examples.cbegin(); it != m_examples.cend(); ++it) {
            const Column &c = m_source->columns[std::size_t(it.key())];
            m_report.notes.prepend(QStringLiteral("Spalte %1 (%2) als Text übernommen, z. B. %3").arg(c.name, c.typeName(), it.value()));
        }
    }

private:
    static const Value &valueAt(const Row &row, int i)
    {
        static const Value null;
        return std::size_t(i) < row.size() ? row[std::size_t(i)] : null;
    }

    QByteArray insertSql(bool withId) const
    {
        QStringList names, marks;
        if (withId) {
            names << QStringLiteral("id");
            marks << QStringLiteral("?");
        }
        for (std::size_t s = 0; s < m_targetOfSource.size(); ++s) {
            if (m_targetOfSource[s] < 0 || int(s) == m_idColumn)
                continue;
            names << quoted(m_columns[std::size_t(m_targetOfSource[s])].name);
            marks << QStringLiteral("?");
        }
        if (names.isEmpty())
            return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(m_target)).toUtf8();
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(quoted(m_target), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")))
            .toUtf8();
    }

    void bindValues(Statement &st, const Row &row, int index, const QString &rowName)
    {
        // With their length, so nothing ends at a zero byte.
        for (std::size_t s = 0; s < m_targetOfSource.size(); ++s) {
            if (m_targetOfSource[s] < 0 || int(s) == m_idColumn)
                continue;
            const TargetColumn &target = m_columns[std::size_t(m_targetOfSource[s])];
            const Value &v = valueAt(row, int(s));
            std::optional<QByteArray> text = textOf(v, m_separators);
            if (!text) {
                st.bindNull(index++);
                continue;
            }
            const QByteArray &bytes = *text;
            st.bindText(index++, std::string_view(bytes.constData(), size_t(bytes.size())));
            if (std::holds_alternative<QByteArray>(v))
                m_report.notes << QStringLiteral("%1, %2: Binärwert (%3 Bytes) unverändert übernommen").arg(rowName, target.name).arg(bytes.size());
            else
                check(target, QString::fromUtf8(bytes), rowName);
            if (m_converted.contains(int(s)) && !m_examples.contains(int(s)))
                m_examples.insert(int(s), QString::fromUtf8(bytes));
        }
    }

    void check(const TargetColumn &target, const QString &text, const QString &rowName)
    {
        if (target.maxLength >= 0 && characters(text) > target.maxLength)
            m_report.notes << QStringLiteral("%1, %2: %3 Zeichen (mehr als %4); unverändert übernommen")
                                  .arg(rowName, target.name)
                                  .arg(characters(text))
                                  .arg(target.maxLength);
        if (text.trimmed().isEmpty())
            return;
        switch (meaningOf(target.name.toLower())) {
        case Meaning::Amount: {
            long double ignored;
            if (!tryTextToFloat(text, ignored, m_separators))
                m_report.notes << QStringLiteral("%1, %2: '%3' ist keine Zahl; unverändert übernommen").arg(rowName, target.name, text);
            break;
        }
        case Meaning::CustomerId: {
            static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
            if (!digits.match(text).hasMatch())
                m_report.notes << QStringLiteral("%1, %2: '%3' ist keine Kundennummer; unverändert übernommen").arg(rowName, target.name, text);
            break;
        }
        case Meaning::Plain:
            break;
        }
    }

    newdb::NewDatabase &m_db;
    QString m_target;
    const Table *m_source;
    TableReport &m_report;
    const Separators m_separators;
    std::vector<TargetColumn> m_columns;
    std::vector<int> m_targetOfSource; // per source column, index into m_columns or -1
    int m_idColumn = -1;
    QSet<int> m_converted; // source columns that are not text in Access
    QMap<int, QString> m_examples;
};

} // namespace

bool ImportReport::complete() const
{
    return std::all_of(tables.begin(), tables.end(), [](const TableReport &t) { return t.complete(); });
}

ImportReport importTables(const Source &source, const QString &target, const Separators &separators)
{
    const Found found = findProgramTables(source);
    if (!found.customers && found.years.empty())
        throw EngineError(QStringLiteral("'%1' ist keine Datenbank dieses Programms: Sie enthält keine der Tabellen kunde, "
                                         "rechnungsdaten und rechnung (auch nicht mit Jahreszahl); es wurde nichts angelegt")
                              .arg(source.name()));

    // A table of the program that cannot be read, or that holds more rows
    // than can be read, is damaged; bringing over the rest would lose the
    // others without a word. More rows than announced are all there.
    std::vector<const Table *> used{found.customers};
    for (const auto &[year, y] : found.years)
        used.insert(used.end(), {y.header, y.lines});
    for (const Table *t : used) {
        if (t && !t->unreadable.isEmpty())
            throw EngineError(stream::damagedMessage(source.name(), QStringLiteral("die Tabelle '%1' kann nicht gelesen werden, %2")
                                                                        .arg(t->name, t->unreadable))
                              + QStringLiteral(". Es wurde nichts angelegt"));
    }
    for (const Table *t : used) {
        if (t && t->declaredRows >= 0 && t->declaredRows > qint64(t->rows.size()))
            throw EngineError(QStringLiteral("Die Tabelle %1 in '%2' meldet %3 Zeilen, lesbar sind nur %4; die Datei ist wohl "
                                             "beschädigt. Es wurde nichts angelegt")
                                  .arg(t->name, source.name())
                                  .arg(t->declaredRows)
                                  .arg(t->rows.size()));
    }

    ImportReport report;
    report.source = source.name();
    report.target = target;
    report.otherTables = found.others;
    report.unreadableTables = found.unreadable;

    // Every year found and the standard ones, newest first as the program lists them.
    std::vector<YearTables> years;
    std::map<int, YearSource> sources = found.years;
    for (int y : StandardYears)
        sources.try_emplace(y);
    for (const auto &[year, unused] : sources)
        years.push_back(tablesOfYear(year));
    sortNewestFirst(years);

    newdb::NewDatabase db(target);
    db.startWithSchema(separators);
    for (const YearTables &y : years) {
        if (std::find(std::begin(StandardYears), std::end(StandardYears), y.year) == std::end(StandardYears)) {
            createYearTables(db.connection(), y.year);
            report.createdYears.push_back(y.year);
        }
    }
    std::sort(report.createdYears.begin(), report.createdYears.end());

    // The report's entries first, so the copies can hold on to them.
    std::vector<std::pair<QString, const Table *>> plan{{CustomerTable, found.customers}};
    for (const YearTables &y : years) {
        const YearSource &s = sources[y.year];
        plan.emplace_back(y.headerTable, s.header);
        plan.emplace_back(y.lineTable, s.lines);
    }
    for (const auto &[name, from] : plan) {
        TableReport t;
        t.table = name;
        if (from)
            t.sourceTable = from->name;
        report.tables.push_back(t);
    }
    std::vector<std::unique_ptr<TableCopy>> copies;
    for (std::size_t i = 0; i < plan.size(); ++i)
        copies.push_back(std::make_unique<TableCopy>(db, plan[i].first, plan[i].second, report.tables[i], separators));
    for (auto &c : copies)
        c->prepareColumns();
    for (auto &c : copies)
        c->copy();
    db.finish();
    return report;
}

ImportReport importAccessFile(const QString &source, const QString &target, const Separators &separators)
{
    const AccessFile file(source);
    return importTables(file, target, separators);
}

QStringList reportLines(const ImportReport &report, int notesPerTable)
{
    QStringList lines;
    lines << QStringLiteral("Übernommen aus %1 nach %2:").arg(report.source, report.target);
    for (const TableReport &t : report.tables) {
        if (t.missing()) {
            lines << QStringLiteral("%1: fehlt in der Access-Datei; die Tabelle bleibt leer").arg(t.table);
            continue;
        }
        QString line = QStringLiteral("%1: %2 Zeilen gelesen, %3 geschrieben").arg(t.table).arg(t.read).arg(t.written);
        if (t.sourceTable != t.table)
            line += QStringLiteral(" (aus %1)").arg(t.sourceTable);
        if (!t.complete())
            line += QStringLiteral(" – UNVOLLSTÄNDIG");
        lines << line;
        const int shown = notesPerTable < 0 ? int(t.notes.size()) : std::min(int(t.notes.size()), notesPerTable);
        for (int i = 0; i < shown; ++i)
            lines << QStringLiteral("  ") + t.notes.at(i);
        if (shown < t.notes.size())
            lines << (t.notes.size() - shown == 1 ? QStringLiteral("  … und 1 weiterer Hinweis")
                                                  : QStringLiteral("  … und %1 weitere Hinweise").arg(t.notes.size() - shown));
    }
    for (int year : report.createdYears)
        lines << QStringLiteral("Jahr %1: Tabellen neu angelegt").arg(year);
    if (!report.otherTables.isEmpty())
        lines << QStringLiteral("Nicht übernommen, da keine Tabellen dieses Programms: %1").arg(report.otherTables.join(QStringLiteral(", ")));
    for (const ImportReport::Unreadable &u : report.unreadableTables)
        lines << QStringLiteral("Nicht übernommen, da keine Tabelle dieses Programms und nicht lesbar: %1 (%2)").arg(u.table, u.reason);
    return lines;
}

} // namespace accessdb
