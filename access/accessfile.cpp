#include "access/accessfile.h"

#include "access/isolated.h"
#include "access/mdbchild.h"
#include "access/stream.h"
#include "data/errors.h"

#include <QFile>
#include <QFileInfo>

namespace accessdb {

namespace {

constexpr qsizetype SignatureOffset = 4;
const QByteArray JetSignature = QByteArrayLiteral("Standard Jet DB");
const QByteArray AceSignature = QByteArrayLiteral("Standard ACE DB");
constexpr qsizetype HeaderBytes = 0x18;
constexpr qsizetype VersionOffset = 0x14;

// Jet's version field: 0 Jet 3, 1 Jet 4, 2 and up the ACE formats of
// Access 2007, 2010, 2013, 2016 and 2019.
constexpr quint32 Jet3 = 0;
constexpr quint32 Jet4 = 1;
constexpr quint32 NewestAce = 6;

bool hasSignature(const QByteArray &head)
{
    return head.size() >= SignatureOffset + JetSignature.size() && head.at(0) == 0 && head.at(1) == 1 && head.at(2) == 0
           && head.at(3) == 0
           && (head.mid(SignatureOffset, JetSignature.size()) == JetSignature
               || head.mid(SignatureOffset, AceSignature.size()) == AceSignature);
}

// One byte: ACE files keep something else in the byte after it.
quint32 versionOf(const QByteArray &bytes)
{
    return quint8(bytes.at(VersionOffset));
}

// What can be checked before libmdb sees the file: the signature, a known
// version, whole pages, and the first page and the table of tables being
// what they claim to be.
void checkHeader(const QByteArray &bytes, const QString &name)
{
    if (bytes.isEmpty())
        throw EngineError(QStringLiteral("Die Datei '%1' ist leer und keine Access-Datenbank").arg(name));
    if (!hasSignature(bytes))
        throw EngineError(QStringLiteral("Die Datei '%1' ist keine Access-Datenbank").arg(name));
    if (bytes.size() < HeaderBytes)
        throw EngineError(stream::damagedMessage(name, QStringLiteral("sie endet schon im Kopf")));
    const quint32 version = versionOf(bytes);
    if (version > NewestAce)
        throw EngineError(stream::damagedMessage(name, QStringLiteral("ihr Kopf nennt die unbekannte Version %1").arg(version)));
    const bool ace = bytes.mid(SignatureOffset, AceSignature.size()) == AceSignature;
    if (ace != (version > Jet4))
        throw EngineError(stream::damagedMessage(name, QStringLiteral("ihr Kopf widerspricht sich in der Version")));
    const qsizetype pageSize = version == Jet3 ? 2048 : 4096;
    // The page of the table of tables is the third one.
    if (bytes.size() < 3 * pageSize)
        throw EngineError(stream::damagedMessage(name, QStringLiteral("sie ist zu kurz (%1 Bytes)").arg(bytes.size())));
    if (bytes.size() % pageSize != 0)
        throw EngineError(stream::damagedMessage(
            name, QStringLiteral("ihre Länge (%1 Bytes) ist kein Vielfaches der Seitengröße %2; sie ist wohl abgeschnitten")
                      .arg(bytes.size())
                      .arg(pageSize)));
    const auto page = [&](int n) { return reinterpret_cast<const unsigned char *>(bytes.constData()) + n * pageSize; };
    if (page(2)[0] != 0x02 || page(2)[1] != 0x01)
        throw EngineError(stream::damagedMessage(name, QStringLiteral("das Verzeichnis ihrer Tabellen ist unlesbar")));
}

// Runs libmdb on the bytes in a child process and collects what it hands over.
QByteArray readInChild(const QByteArray &bytes, const QString &name)
{
    const isolated::Result r =
        isolated::run([&](int fd) { return child::readAll(bytes.constData(), std::size_t(bytes.size()), fd); });
    switch (r.outcome) {
    case isolated::Outcome::Finished:
        // The child's own failures come in the stream and are worded there.
        return r.output;
    case isolated::Outcome::Crashed:
        throw EngineError(stream::damagedMessage(name, QStringLiteral("das Lesen brach mit einem Fehler ab")));
    case isolated::Outcome::Silent:
        throw EngineError(stream::damagedMessage(name, QStringLiteral("das Lesen kommt nicht voran")));
    case isolated::Outcome::TooMuch:
        throw EngineError(stream::damagedMessage(name, QStringLiteral("sie enthält unglaubhaft viele Daten")));
    case isolated::Outcome::CannotStart:
        break;
    }
    throw EngineError(QStringLiteral("Die Access-Datei '%1' kann nicht gelesen werden: %2").arg(name, r.error));
}

} // namespace

bool isAccessFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return hasSignature(f.read(SignatureOffset + JetSignature.size()));
}

QString Column::typeName() const
{
    switch (type) {
    case Boolean:
        return QStringLiteral("Boolean");
    case Byte:
        return QStringLiteral("Byte");
    case Integer:
        return QStringLiteral("Integer");
    case LongInteger:
        return QStringLiteral("Long Integer");
    case Currency:
        return QStringLiteral("Currency");
    case Single:
        return QStringLiteral("Single");
    case Double:
        return QStringLiteral("Double");
    case DateTime:
        return QStringLiteral("DateTime");
    case Binary:
        return QStringLiteral("Binary(%1)").arg(size);
    case Text:
        return QStringLiteral("Text(%1)").arg(size);
    case OleObject:
        return QStringLiteral("OLE Object");
    case Memo:
        return QStringLiteral("Memo");
    case ReplicationId:
        return QStringLiteral("Replication ID");
    case Numeric:
        return QStringLiteral("Numeric(%1,%2)").arg(precision).arg(scale);
    case Complex:
        return QStringLiteral("Complex");
    default:
        return QStringLiteral("Typ 0x%1").arg(type, 2, 16, QLatin1Char('0'));
    }
}

AccessFile::AccessFile(const QString &path) : m_name(path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw EngineError(QStringLiteral("Die Datei '%1' wurde nicht gefunden").arg(path));
    if (info.isDir())
        throw EngineError(QStringLiteral("'%1' ist ein Ordner und keine Access-Datenbank").arg(path));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EngineError(QStringLiteral("Die Datei '%1' kann nicht gelesen werden: %2").arg(path, f.errorString()));
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw EngineError(QStringLiteral("Die Datei '%1' kann nicht gelesen werden: %2").arg(path, f.errorString()));
    read(bytes);
}

AccessFile::AccessFile(const QByteArray &bytes, const QString &name) : m_name(name)
{
    read(bytes);
}

void AccessFile::read(const QByteArray &bytes)
{
    checkHeader(bytes, m_name);
    stream::Decoded decoded = stream::decode(readInChild(bytes, m_name), m_name);
    if (decoded.version != versionOf(bytes))
        throw EngineError(stream::damagedMessage(m_name, QStringLiteral("ihr Kopf widerspricht sich in der Version")));
    m_version = decoded.version;
    m_tables = std::move(decoded.tables);
}

QString AccessFile::formatName() const
{
    switch (m_version) {
    case Jet3:
        return QStringLiteral("Jet 3 (Access 97)");
    case Jet4:
        return QStringLiteral("Jet 4 (Access 2000-2003)");
    case 2:
        return QStringLiteral("ACE 12 (Access 2007)");
    case 3:
        return QStringLiteral("ACE 14 (Access 2010)");
    case 4:
        return QStringLiteral("ACE 15 (Access 2013)");
    case 5:
        return QStringLiteral("ACE 16 (Access 2016)");
    default:
        return QStringLiteral("ACE 17 (Access 2019)");
    }
}

} // namespace accessdb
