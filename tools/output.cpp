#include "output.h"

#include <QByteArray>

QString shown(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c.unicode() < 0x20)
            c = QLatin1Char('?');
    }
    return out;
}

void printLine(std::FILE *stream, const QString &line)
{
    std::fputs(line.toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Messages from Qt and SQLite come without a full stop; ours end in one.
void printError(const QString &message)
{
    QString line = QStringLiteral("rechnung-db: ") + message;
    if (!line.endsWith(QLatin1Char('.')))
        line += QLatin1Char('.');
    printLine(stderr, line);
}
