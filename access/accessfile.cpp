#include "access/accessfile.h"

#include "access/isolated.h"
#include "access/mdbchild.h"
#include "access/stream.h"
#include "data/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <utility>

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

// Jet masks the rest of its header with RC4 under a fixed key; the key the
// pages are encoded with lies in that masked part.
constexpr qsizetype MaskedHeaderOffset = 0x18;
constexpr qsizetype EncodingKeyOffset = 0x3e;
constexpr unsigned char HeaderMaskKey[] = {0xc7, 0xda, 0x39, 0x6b};

// The key stream of RC4 for `key`, as long as `length`.
QByteArray rc4Stream(const unsigned char *key, std::size_t keyLength, qsizetype length)
{
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[std::size_t(i) % keyLength]) & 0xff;
        std::swap(s[i], s[j]);
    }
    QByteArray out(length, Qt::Uninitialized);
    for (qsizetype n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        out[n] = char(s[(s[i] + s[j]) & 0xff]);
    }
    return out;
}

// The key the file's pages are encoded with; 0 for none. A Jet database
// password alone leaves it 0: the password only guards opening in Access.
quint32 encodingKeyOf(const QByteArray &bytes)
{
    if (bytes.size() < EncodingKeyOffset + 4)
        return 0;
    const QByteArray mask = rc4Stream(HeaderMaskKey, sizeof HeaderMaskKey, EncodingKeyOffset + 4 - MaskedHeaderOffset);
    quint32 key = 0;
    for (int i = 3; i >= 0; --i)
        key = key << 8 | quint8(bytes.at(EncodingKeyOffset + i) ^ mask.at(EncodingKeyOffset - MaskedHeaderOffset + i));
    return key;
}

// One byte: ACE files keep something else in the byte after it.
quint32 versionOf(const QByteArray &bytes)
{
    return quint8(bytes.at(VersionOffset));
}

qsizetype pageSizeOf(const QByteArray &bytes)
{
    return versionOf(bytes) == Jet3 ? 2048 : 4096;
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
    // ACE encrypts a file with a password (RC4 or AES through Office's
    // cryptography), which libmdb cannot undo; without the password nobody can.
    if (ace && encodingKeyOf(bytes) != 0)
        throw EngineError(QStringLiteral("Die Access-Datei '%1' ist mit einem Kennwort verschlüsselt. Bitte in Access ohne Kennwort "
                                         "speichern und erneut versuchen.")
                              .arg(name));
    const qsizetype pageSize = pageSizeOf(bytes);
    // The page of the table of tables is the third one.
    if (bytes.size() < 3 * pageSize)
        throw EngineError(stream::damagedMessage(name, QStringLiteral("sie ist zu kurz (%1 Bytes)").arg(bytes.size())));
    if (bytes.size() % pageSize != 0)
        throw EngineError(stream::damagedMessage(
            name, QStringLiteral("ihre Länge (%1 Bytes) ist kein Vielfaches der Seitengröße %2; sie ist wohl abgeschnitten")
                      .arg(bytes.size())
                      .arg(pageSize)));
}

// Jet 3 and Jet 4 can encode every page but the first with RC4, keyed by
// the encoding key and the page's number. Decoded here, and the key taken
// out of the header, so that every check and libmdb see the plain file.
QByteArray decodedPages(const QByteArray &bytes)
{
    const quint32 key = encodingKeyOf(bytes);
    if (key == 0)
        return bytes;
    QByteArray plain = bytes;
    const qsizetype pageSize = pageSizeOf(bytes);
    for (qsizetype n = 1; n < plain.size() / pageSize; ++n) {
        unsigned char pageKey[4];
        qToLittleEndian(quint32(key ^ quint32(n)), pageKey);
        const QByteArray stream = rc4Stream(pageKey, sizeof pageKey, pageSize);
        char *p = plain.data() + n * pageSize;
        for (qsizetype i = 0; i < pageSize; ++i)
            p[i] = char(p[i] ^ stream.at(i));
    }
    for (int i = 0; i < 4; ++i)
        plain[EncodingKeyOffset + i] = char(plain.at(EncodingKeyOffset + i) ^ quint8(key >> (8 * i)));
    return plain;
}

void checkDirectory(const QByteArray &bytes, const QString &name)
{
    const auto *page = reinterpret_cast<const unsigned char *>(bytes.constData()) + 2 * pageSizeOf(bytes);
    if (page[0] != 0x02 || page[1] != 0x01)
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

void AccessFile::read(const QByteArray &file)
{
    checkHeader(file, m_name);
    const QByteArray bytes = decodedPages(file);
    checkDirectory(bytes, m_name);
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
