#include "einvoice/validation.h"

#include "data/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>

#include <memory>

namespace einvoice {

namespace {

const QString SchemaFileName = QStringLiteral("Schema_del_file_xml_FatturaPA_v1.2.2.xsd");

// The first of libxml2's errors is the one that explains; the later ones
// follow from it.
struct FirstError
{
    bool set = false;
    int line = 0;
    QString message;
};

#if LIBXML_VERSION >= 21200
void collect(void *context, const xmlError *error)
#else
void collect(void *context, xmlErrorPtr error)
#endif
{
    auto *first = static_cast<FirstError *>(context);
    // Warnings do not make a document invalid.
    if (first->set || !error || error->level < XML_ERR_ERROR)
        return;
    first->set = true;
    first->line = error->line;
    first->message = QString::fromUtf8(error->message).trimmed();
}

// libxml2 reports parse errors through a per-thread handler; this one holds
// them for the time of one call, so nothing goes to the terminal.
class CollectedErrors
{
public:
    explicit CollectedErrors(FirstError *first) { xmlSetStructuredErrorFunc(first, collect); }
    ~CollectedErrors() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
    CollectedErrors(const CollectedErrors &) = delete;
    CollectedErrors &operator=(const CollectedErrors &) = delete;
};

struct Free
{
    void operator()(xmlSchemaParserCtxt *p) const { xmlSchemaFreeParserCtxt(p); }
    void operator()(xmlSchema *p) const { xmlSchemaFree(p); }
    void operator()(xmlSchemaValidCtxt *p) const { xmlSchemaFreeValidCtxt(p); }
    void operator()(xmlDoc *p) const { xmlFreeDoc(p); }
};
template <class T> using Owned = std::unique_ptr<T, Free>;

QString located(const FirstError &e)
{
    if (e.message.isEmpty())
        return QStringLiteral("(ohne Angabe des Prüfers)");
    return e.line > 0 ? QStringLiteral("Zeile %1: %2").arg(QString::number(e.line), e.message) : e.message;
}

} // namespace

QString schemaFileIn(const QString &folder)
{
    return QDir(folder).filePath(SchemaFileName);
}

QString bundledSchemaFile()
{
    // Installed, the copy lies in the program's share folder; in the build, in the source tree.
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString installed = QDir::cleanPath(QFileInfo(program).absolutePath() + QStringLiteral("/../share/rechnung/fatturapa"));
    if (!program.isEmpty() && QFileInfo::exists(installed))
        return schemaFileIn(installed);
    return schemaFileIn(QStringLiteral(EINVOICE_SCHEMA_DIR));
}

void validateFatturaPA(const QByteArray &xml, const QString &schemaFile)
{
    xmlInitParser();
    FirstError first;
    const CollectedErrors collecting(&first);

    if (!QFileInfo(schemaFile).isFile())
        throw ConversionError(QStringLiteral("Das Schema der elektronischen Rechnung fehlt: '%1'.")
                                  .arg(QDir::toNativeSeparators(schemaFile)));
    const Owned<xmlSchemaParserCtxt> parser(xmlSchemaNewParserCtxt(QFile::encodeName(schemaFile).constData()));
    if (parser)
        xmlSchemaSetParserStructuredErrors(parser.get(), collect, &first);
    const Owned<xmlSchema> schema(parser ? xmlSchemaParse(parser.get()) : nullptr);
    if (!schema)
        throw ConversionError(QStringLiteral("Das Schema der elektronischen Rechnung '%1' ließ sich nicht lesen: %2")
                                  .arg(QDir::toNativeSeparators(schemaFile), located(first)));

    const Owned<xmlDoc> doc(xmlReadMemory(xml.constData(), int(xml.size()), "fattura.xml", nullptr,
                                          XML_PARSE_NONET));
    if (!doc || first.set)
        throw ConversionError(QStringLiteral("Die elektronische Rechnung ist kein gültiges XML: %1").arg(located(first)));

    const Owned<xmlSchemaValidCtxt> validator(xmlSchemaNewValidCtxt(schema.get()));
    if (!validator)
        throw ConversionError(QStringLiteral("Die elektronische Rechnung ließ sich nicht prüfen."));
    xmlSchemaSetValidStructuredErrors(validator.get(), collect, &first);
    if (xmlSchemaValidateDoc(validator.get(), doc.get()) != 0)
        throw ConversionError(QStringLiteral("Die elektronische Rechnung entspricht nicht dem Schema: %1").arg(located(first)));
}

} // namespace einvoice
