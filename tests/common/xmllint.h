#pragma once

#include <QProcess>
#include <QString>

// The published FatturaPA schema, read by a validator of its own (xmllint)
// rather than by the program's: "" when the file passes, else its complaint.
inline QString xmllintError(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral("xmllint"), {QStringLiteral("--noout"), QStringLiteral("--schema"),
                                        QStringLiteral(FATTURAPA_REFERENCE_DIR "/Schema_del_file_xml_FatturaPA_v1.2.2.xsd"),
                                        file});
    if (!p.waitForStarted() || !p.waitForFinished(60000))
        return QStringLiteral("xmllint did not run (package libxml2-utils)");
    return p.exitCode() == 0 ? QString() : QString::fromUtf8(p.readAllStandardError());
}
