#pragma once

#include <QByteArray>
#include <QString>

namespace einvoice {

// The schema file in a folder that holds the schema and its signature stub.
QString schemaFileIn(const QString &folder);
// The copy of the schema that comes with the program (einvoice/schema).
QString bundledSchemaFile();

// Validates the document against the schema in process (libxml2). A document
// that fails throws ConversionError with the validator's first error; a
// schema that cannot be read or compiled throws likewise, naming the file.
void validateFatturaPA(const QByteArray &xml, const QString &schemaFile);

} // namespace einvoice
