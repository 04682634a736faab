#include "businesslogo.h"

#include "engine.h"
#include "errors.h"
#include "schema.h"

#include <QFile>
#include <QFileInfo>

namespace {

QByteArray sql(QLatin1StringView name) { return QByteArray(name.data(), name.size()); }

const QString ReadLogo = QStringLiteral("Das Logo kann nicht gelesen werden");
const QString StoreLogo = QStringLiteral("Das Logo kann nicht gespeichert werden");

bool hasLogoColumn(Database &connection)
{
    return connection.columnInfo(sql(schema::business::Table), sql(schema::business::Logo)).found;
}

// The picture kinds the letterhead takes, by the bytes they begin with.
bool isPicture(const QByteArray &bytes)
{
    return bytes.startsWith("\x89PNG\r\n\x1a\n") || bytes.startsWith("\xff\xd8\xff") || bytes.startsWith("BM");
}

} // namespace

QByteArray loadBusinessLogo(Database &connection)
{
    return withContext(ReadLogo, [&] {
        if (!hasLogoColumn(connection))
            return QByteArray();
        StatementHandle st = connection.prepare("SELECT " + sql(schema::business::Logo) + " FROM " +
                                                sql(schema::business::Table) + " WHERE " + sql(schema::business::Id) +
                                                " = " + schema::firstBusinessRow());
        if (!st->step() || st->columnType(0) == Value::Null)
            return QByteArray();
        const std::string_view bytes = st->columnText(0);
        return QByteArray(bytes.data(), qsizetype(bytes.size()));
    });
}

void saveBusinessLogo(Database &connection, const QByteArray &bytes)
{
    withContext(StoreLogo, [&] {
        if (!hasLogoColumn(connection)) {
            // Nothing to keep is nothing to refuse: the rest of the data goes in.
            if (bytes.isEmpty())
                return;
            throw EngineError(QStringLiteral("Die Datenbank hat noch keinen Platz für ein Logo. Bitte starten Sie das "
                                             "Programm neu und nehmen Sie die angebotene Aktualisierung der Datenbank an"));
        }
        StatementHandle st = connection.prepare("UPDATE " + sql(schema::business::Table) + " SET " +
                                                sql(schema::business::Logo) + " = ?1 WHERE " +
                                                sql(schema::business::Id) + " = " + schema::firstBusinessRow());
        if (bytes.isEmpty())
            st->bindNull(1);
        else
            st->bindBlob(1, std::string_view(bytes.constData(), size_t(bytes.size())));
        st->step();
        if (connection.changes() == 0 && !bytes.isEmpty())
            throw EngineError(QStringLiteral("Bitte speichern Sie zuerst die Firmendaten"));
    });
}

QByteArray readLogoFile(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (file.size() > MaxLogoBytes)
        throw ConversionError(QStringLiteral("Die Datei \"%1\" ist größer als 2 MB und kann nicht als Logo dienen. "
                                             "Bitte wählen Sie ein kleineres Bild; das bisherige Logo bleibt")
                                  .arg(name));
    if (!file.open(QIODevice::ReadOnly))
        throw ConversionError(QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden (%2). Das bisherige Logo bleibt")
                                  .arg(name, file.errorString()));
    const QByteArray bytes = file.read(MaxLogoBytes + 1);
    if (bytes.size() > MaxLogoBytes)
        throw ConversionError(QStringLiteral("Die Datei \"%1\" ist größer als 2 MB und kann nicht als Logo dienen. "
                                             "Bitte wählen Sie ein kleineres Bild; das bisherige Logo bleibt")
                                  .arg(name));
    if (!isPicture(bytes))
        throw ConversionError(QStringLiteral("Die Datei \"%1\" ist kein Bild im Format PNG, JPEG oder BMP. "
                                             "Bitte wählen Sie ein solches Bild; das bisherige Logo bleibt")
                                  .arg(name));
    return bytes;
}
