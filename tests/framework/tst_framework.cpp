#include "framework/apptitle.h"
#include "framework/flatbutton.h"
#include "framework/fonts.h"
#include "framework/jpeg.h"
#include "framework/messages.h"

#include "data/errors.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

namespace {

// ---- the hook: records every box instead of showing it -------------------

struct HookRecorder
{
    QList<BoxRequest> requests;
    bool answer = true;

    HookRecorder()
    {
        setBoxHook([this](const BoxRequest &r) {
            requests.append(r);
            return answer;
        });
    }
    ~HookRecorder() { setBoxHook({}); }
};

// ---- a real box: read it while it is open, then answer it ----------------

enum class Action { ClickAccept, ClickReject, Escape, Enter, Close, KeyJ, KeyN };

struct SeenBox
{
    bool seen = false;
    bool timedOut = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat textFormat = Qt::AutoText;
    Qt::WindowModality modality = Qt::NonModal;
    QStringList buttons;
    QString defaultButton;
    QString escapeButton;
};

// Polls for the modal box the code under test opens, records how it looks
// and then answers it the way a user would. A watchdog ends a box that the
// action failed to close, so a fault fails the test instead of hanging it.
class BoxProbe : public QObject
{
public:
    BoxProbe(Action action, QStringList acceptLabels) : m_action(action), m_acceptLabels(acceptLabels)
    {
        connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
        m_poll.start(5);
        m_watchdog.setSingleShot(true);
        connect(&m_watchdog, &QTimer::timeout, this, [this] {
            seen.timedOut = true;
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->done(0);
        });
        m_watchdog.start(10000);
    }

    SeenBox seen;

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        m_poll.stop();
        seen.seen = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.textFormat = box->textFormat();
        seen.modality = box->windowModality();
        QAbstractButton *accept = nullptr;
        QAbstractButton *reject = nullptr;
        for (QAbstractButton *b : box->buttons()) {
            seen.buttons.append(b->text());
            if (m_acceptLabels.contains(b->text()))
                accept = b;
            else
                reject = b;
        }
        seen.buttons.sort();
        if (box->defaultButton())
            seen.defaultButton = box->defaultButton()->text();
        if (box->escapeButton())
            seen.escapeButton = box->escapeButton()->text();

        switch (m_action) {
        case Action::ClickAccept:
            if (accept)
                accept->click();
            break;
        case Action::ClickReject:
            if (reject)
                reject->click();
            break;
        case Action::Escape:
            QTest::keyClick(box, Qt::Key_Escape);
            break;
        case Action::Enter:
            QTest::keyClick(box, Qt::Key_Return);
            break;
        case Action::Close:
            box->close();
            break;
        case Action::KeyJ:
            QTest::keyClick(box, Qt::Key_J);
            break;
        case Action::KeyN:
            QTest::keyClick(box, Qt::Key_N);
            break;
        }
    }

    Action m_action;
    QStringList m_acceptLabels;
    QTimer m_poll;
    QTimer m_watchdog;
};

// ---- JPEG files made by libjpeg's own encoder ----------------------------

struct EncodeError
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void encodeErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<EncodeError *>(info->err)->jump, 1);
}

// components: 1 = grey, 3 = RGB, 4 = CMYK (stored inverted, with the Adobe
// marker, as Photoshop writes them). pixels holds width*height*components bytes.
QByteArray encodeJpeg(int width, int height, int components, const std::vector<unsigned char> &pixels, bool progressive = false)
{
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_compress_struct info;
    EncodeError errors;
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = encodeErrorExit;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char *>(pixels.data())
                       + std::size_t(info.next_scanline) * std::size_t(width) * std::size_t(components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray result(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return result;
}

// A 32 x 32 picture of four flat quadrants: red, green / blue, white.
const QRgb quadrantColours[4] = {qRgb(220, 30, 30), qRgb(30, 180, 40), qRgb(30, 40, 200),
                                 qRgb(255, 255, 255)};

QRgb quadrantAt(int x, int y)
{
    return quadrantColours[(y < 16 ? 0 : 2) + (x < 16 ? 0 : 1)];
}

QByteArray rgbQuadrantsJpeg()
{
    std::vector<unsigned char> px;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb c = quadrantAt(x, y);
            px.insert(px.end(), {uchar(qRed(c)), uchar(qGreen(c)), uchar(qBlue(c))});
        }
    return encodeJpeg(32, 32, 3, px);
}

QByteArray cmykQuadrantsJpeg()
{
    std::vector<unsigned char> px;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb c = quadrantAt(x, y);
            // Black-only separation is enough: K carries the darkness, C/M/Y
            // the colour; then inverted as Adobe files store it.
            const int r = qRed(c), g = qGreen(c), b = qBlue(c);
            const int maxc = std::max({r, g, b});
            const int k = 255 - maxc;
            auto ink = [&](int v) { return maxc == 0 ? 0 : (maxc - v) * 255 / maxc; };
            px.insert(px.end(), {uchar(255 - ink(r)), uchar(255 - ink(g)), uchar(255 - ink(b)),
                                 uchar(255 - k)});
        }
    return encodeJpeg(32, 32, 4, px);
}

QByteArray greyRampJpeg()
{
    std::vector<unsigned char> px;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x)
            px.push_back(uchar(x * 4));
    return encodeJpeg(64, 16, 1, px);
}

// A larger picture with detail, so that cutting it short leaves real
// entropy-coded data missing.
QByteArray noisyJpeg()
{
    QRandomGenerator random(7);
    std::vector<unsigned char> px(128 * 128 * 3);
    for (auto &p : px)
        p = uchar(random.bounded(256));
    return encodeJpeg(128, 128, 3, px);
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
           && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QByteArray describe(QRgb c)
{
    return QByteArray::number(qRed(c)) + ',' + QByteArray::number(qGreen(c)) + ','
           + QByteArray::number(qBlue(c));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

quint32 le32(const QByteArray &d, int at)
{
    return quint32(uchar(d[at])) | quint32(uchar(d[at + 1])) << 8 | quint32(uchar(d[at + 2])) << 16
           | quint32(uchar(d[at + 3])) << 24;
}

quint16 le16(const QByteArray &d, int at)
{
    return quint16(uchar(d[at]) | uchar(d[at + 1]) << 8);
}

const void *address(quintptr value)
{
    return reinterpret_cast<const void *>(value);
}

// Leading zeros that widen an 8-digit address to the pointer size here.
QString pad()
{
    return QString(int(sizeof(void *) * 2 - 8), QLatin1Char('0'));
}

enum class Throw { Nothing, Engine, RecordSet, Conversion, Runtime, RuntimeUmlaut, BadAlloc, Int, CString };

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Throw)
Q_DECLARE_METATYPE(BoxRequest::Kind)
Q_DECLARE_METATYPE(QMessageBox::Icon)

class TestFramework : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void titleFromFileName_data();
    void titleFromFileName();
    void applicationTitleIsTheTestProgram();

    void withFullStop_data();
    void withFullStop();
    void startupErrorText_data();
    void startupErrorText();
    void startupErrorThroughHook();

    void guardedTurnsExceptionsIntoOneBox_data();
    void guardedTurnsExceptionsIntoOneBox();
    void guardedRunsTheBodyOnce();
    void boxesThroughHook_data();
    void boxesThroughHook();
    void realBoxes_data();
    void realBoxes();

    void flatButtonKeepsFocusElsewhere();
    void flatButtonAccessibleName_data();
    void flatButtonAccessibleName();
    void flatButtonShowsWhatItHas();

    void fontSubstitutesRegistered_data();
    void fontSubstitutesRegistered();
    void fontSubstitutesResolve_data();
    void fontSubstitutesResolve();
    void windowsPixelSizes_data();
    void windowsPixelSizes();

    void jpegLogoFromResource();
    void jpegLogoFromFile();
    void jpegColours_data();
    void jpegColours();
    void jpegGrey();
    void jpegDamaged_data();
    void jpegDamaged();
    void jpegCutShort_data();
    void jpegCutShort();
    void jpegWithoutErrorPointer();
    void jpegForgedHugeHeader_data();
    void jpegForgedHugeHeader();

    void resourcesListed_data();
    void resourcesListed();
    void logoBmpHeader();
    void iconSizes_data();
    void iconSizes();
    void warningSignShape();
};

// ---------------------------------------------------------------- title

void TestFramework::titleFromFileName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("title");
    QTest::newRow("upper case with extension") << "RECHNUNG.EXE" << "Rechnung";
    QTest::newRow("several dots") << "a.b.c" << "a";
    QTest::newRow("underscore") << "tst_messages" << "tst_messages";
    QTest::newRow("already right") << "Rechnung" << "Rechnung";
    QTest::newRow("lower case stays lower") << "rechnung" << "rechnung";
    QTest::newRow("mixed") << "ReChNuNg.exe" << "Rechnung";
    QTest::newRow("umlaut") << "ÄRGER.EXE" << "Ärger";
    QTest::newRow("one letter") << "x" << "x";
    QTest::newRow("dot first") << ".rechnung" << "";
    QTest::newRow("empty") << "" << "";
}

void TestFramework::titleFromFileName()
{
    QFETCH(QString, fileName);
    QFETCH(QString, title);
    QCOMPARE(::titleFromFileName(fileName), title);
}

void TestFramework::applicationTitleIsTheTestProgram()
{
    QCOMPARE(applicationTitle(), QStringLiteral("tst_framework"));
}

// ---------------------------------------------------------------- texts

void TestFramework::withFullStop_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "abc" << "abc.";
    QTest::newRow("full stop") << "abc." << "abc.";
    QTest::newRow("parenthesis sorts before") << "abc)" << "abc)";
    QTest::newRow("exclamation mark") << "abc!" << "abc!";
    QTest::newRow("question mark sorts after") << "Wirklich?" << "Wirklich?.";
    QTest::newRow("digit") << "Ende 5" << "Ende 5.";
    QTest::newRow("slash") << "x/" << "x/.";
    QTest::newRow("comma") << "x," << "x,";
    QTest::newRow("hyphen") << "x-" << "x-";
    QTest::newRow("colon") << "Fehler:" << "Fehler:.";
    QTest::newRow("umlaut") << "Größe" << "Größe.";
    QTest::newRow("blank") << "abc " << "abc ";
    QTest::newRow("line break") << "abc\n" << "abc\n";
    QTest::newRow("empty") << "" << "";
}

void TestFramework::withFullStop()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(::withFullStop(message), shown);
}

void TestFramework::startupErrorText_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("module");
    QTest::addColumn<quintptr>("address");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");

    QTest::newRow("adds full stop")
        << "EngineError" << "Rechnung" << quintptr(0x0040A1B2) << "Datei nicht gefunden"
        << "Exception EngineError in Modul Rechnung bei " + pad() + "0040A1B2.\nDatei nicht gefunden.\n";
    QTest::newRow("keeps full stop")
        << "RecordSetError" << "Rechnung" << quintptr(0x12345678) << "Kunden: Feld fehlt."
        << "Exception RecordSetError in Modul Rechnung bei " + pad() + "12345678.\nKunden: Feld fehlt.\n";
    // Unlike the error box, any last character but "." gets one.
    QTest::newRow("exclamation mark")
        << "ConversionError" << "Rechnung" << quintptr(0x1) << "Keine Zahl!"
        << "Exception ConversionError in Modul Rechnung bei " + pad() + "00000001.\nKeine Zahl!.\n";
    QTest::newRow("parenthesis")
        << "EngineError" << "Rechnung" << quintptr(0x1) << "(gesperrt)"
        << "Exception EngineError in Modul Rechnung bei " + pad() + "00000001.\n(gesperrt).\n";
    QTest::newRow("empty message")
        << "EngineError" << "Rechnung" << quintptr(0) << ""
        << "Exception EngineError in Modul Rechnung bei " + pad() + "00000000.\n.\n";
    QTest::newRow("hex digits upper case")
        << "EngineError" << "rechnung" << quintptr(0xabcdef) << "x"
        << "Exception EngineError in Modul rechnung bei " + pad() + "00ABCDEF.\nx.\n";
    QTest::newRow("placeholders in message stay text")
        << "EngineError" << "Rechnung" << quintptr(0x10) << "%1 und %2 fehlen"
        << "Exception EngineError in Modul Rechnung bei " + pad() + "00000010.\n%1 und %2 fehlen.\n";
    QTest::newRow("message of two lines")
        << "EngineError" << "Rechnung" << quintptr(0x10) << "Zeile 1\nZeile 2"
        << "Exception EngineError in Modul Rechnung bei " + pad() + "00000010.\nZeile 1\nZeile 2.\n";
}

void TestFramework::startupErrorText()
{
    QFETCH(QString, kind);
    QFETCH(QString, module);
    QFETCH(quintptr, address);
    QFETCH(QString, message);
    QFETCH(QString, text);
    QCOMPARE(::startupErrorText(kind, module, ::address(address), message), text);
}

void TestFramework::startupErrorThroughHook()
{
    HookRecorder hook;
    hook.answer = false; // the exit status must not depend on the answer
    const int status = showStartupError(ConversionError(QStringLiteral("„abc“ ist keine Zahl")));
    QCOMPARE(status, 1);
    QCOMPARE(hook.requests.size(), 1);
    const BoxRequest &r = hook.requests.first();
    QCOMPARE(r.kind, BoxRequest::StartupError);
    QCOMPARE(r.title, QStringLiteral("Anwendungsfehler"));
    const QRegularExpression shape(
        QStringLiteral("^Exception ConversionError in Modul tst_framework bei ([0-9A-F]{%1})\\.\n"
                       "„abc“ ist keine Zahl\\.\n$")
            .arg(sizeof(void *) * 2));
    const QRegularExpressionMatch m = shape.match(r.text);
    QVERIFY2(m.hasMatch(), qPrintable(r.text));
    QVERIFY2(m.captured(1).toULongLong(nullptr, 16) != 0, "no address");
}

// ---------------------------------------------------------------- guard

void TestFramework::guardedTurnsExceptionsIntoOneBox_data()
{
    QTest::addColumn<Throw>("thrown");
    QTest::addColumn<bool>("completed");
    QTest::addColumn<QString>("text");

    QTest::newRow("nothing") << Throw::Nothing << true << QString();
    QTest::newRow("engine error") << Throw::Engine << false << "Datenbank ist gesperrt.";
    QTest::newRow("record-set error") << Throw::RecordSet << false << "Kunden: Name fehlt.";
    QTest::newRow("conversion error ending in !") << Throw::Conversion << false << "Keine Zahl!";
    QTest::newRow("std::runtime_error") << Throw::Runtime << false << "kaputt.";
    QTest::newRow("std::runtime_error, UTF-8") << Throw::RuntimeUmlaut << false << "Größe falsch.";
    QTest::newRow("std::bad_alloc") << Throw::BadAlloc << false << "std::bad_alloc.";
    QTest::newRow("int") << Throw::Int << false << "Unbekannter Fehler.";
    QTest::newRow("C string") << Throw::CString << false << "Unbekannter Fehler.";
}

void TestFramework::guardedTurnsExceptionsIntoOneBox()
{
    QFETCH(Throw, thrown);
    QFETCH(bool, completed);
    QFETCH(QString, text);

    HookRecorder hook;
    const bool result = guarded([thrown] {
        switch (thrown) {
        case Throw::Nothing:
            return;
        case Throw::Engine:
            throw EngineError(QStringLiteral("Datenbank ist gesperrt"));
        case Throw::RecordSet:
            throw RecordSetError(QStringLiteral("Kunden"), QStringLiteral("Name fehlt"));
        case Throw::Conversion:
            throw ConversionError(QStringLiteral("Keine Zahl!"));
        case Throw::Runtime:
            throw std::runtime_error("kaputt");
        case Throw::RuntimeUmlaut:
            throw std::runtime_error("Gr\xc3\xb6\xc3\x9f" "e falsch");
        case Throw::BadAlloc:
            throw std::bad_alloc();
        case Throw::Int:
            throw 42;
        case Throw::CString:
            throw "kaputt";
        }
    });

    QCOMPARE(result, completed);
    if (completed) {
        QCOMPARE(hook.requests.size(), 0);
        return;
    }
    QCOMPARE(hook.requests.size(), 1);
    QCOMPARE(hook.requests.first().kind, BoxRequest::Error);
    QCOMPARE(hook.requests.first().title, QStringLiteral("tst_framework"));
    QCOMPARE(hook.requests.first().text, text);
}

void TestFramework::guardedRunsTheBodyOnce()
{
    HookRecorder hook;
    int runs = 0;
    QVERIFY(guarded([&runs] { ++runs; }));
    QCOMPARE(runs, 1);

    // A throwing box hook must not let the exception out of guarded() either.
    setBoxHook([](const BoxRequest &) -> bool { throw std::runtime_error("Hook kaputt"); });
    QVERIFY(!guarded([] { throw EngineError(QStringLiteral("x")); }));
}

// ---------------------------------------------------------------- boxes

void TestFramework::boxesThroughHook_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<BoxRequest::Kind>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    QTest::newRow("confirm yes") << "confirm" << true << BoxRequest::Confirm << "Bestätigung"
                                 << "Rechnung löschen?";
    QTest::newRow("confirm no") << "confirm" << false << BoxRequest::Confirm << "Bestätigung"
                                << "Rechnung löschen?";
    QTest::newRow("ok/cancel ok") << "confirmOkCancel" << true << BoxRequest::ConfirmOkCancel
                                  << "Bestätigung" << "Rechnung löschen?";
    QTest::newRow("ok/cancel cancel") << "confirmOkCancel" << false << BoxRequest::ConfirmOkCancel
                                      << "Bestätigung" << "Rechnung löschen?";
    // Plain messages keep their text as given: no full stop added.
    QTest::newRow("message") << "showMessage" << true << BoxRequest::Plain << "tst_framework"
                             << "Rechnung löschen?";
    QTest::newRow("error") << "showErrorBox" << true << BoxRequest::Error << "tst_framework"
                           << "Rechnung löschen?.";
}

void TestFramework::boxesThroughHook()
{
    QFETCH(QString, function);
    QFETCH(bool, answer);
    QFETCH(BoxRequest::Kind, kind);
    QFETCH(QString, title);
    QFETCH(QString, text);

    HookRecorder hook;
    hook.answer = answer;
    const QString asked = QStringLiteral("Rechnung löschen?");
    if (function == QLatin1String("confirm"))
        QCOMPARE(confirm(asked), answer);
    else if (function == QLatin1String("confirmOkCancel"))
        QCOMPARE(confirmOkCancel(asked), answer);
    else if (function == QLatin1String("showMessage"))
        showMessage(asked);
    else
        showErrorBox(asked);

    QCOMPARE(hook.requests.size(), 1);
    QCOMPARE(hook.requests.first().kind, kind);
    QCOMPARE(hook.requests.first().title, title);
    QCOMPARE(hook.requests.first().text, text);
}

void TestFramework::realBoxes_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("defaultButton");
    QTest::addColumn<QString>("escapeButton");

    const QStringList yesNo{QStringLiteral("&Ja"), QStringLiteral("&Nein")};
    const QStringList okCancel{QStringLiteral("Abbrechen"), QStringLiteral("OK")};
    const QStringList ok{QStringLiteral("OK")};

    struct Row
    {
        const char *name;
        Action action;
        bool answer;
    };
    const Row yesNoRows[] = {{"click Ja", Action::ClickAccept, true},
                             {"click Nein", Action::ClickReject, false},
                             {"Enter", Action::Enter, true},
                             {"Escape", Action::Escape, false},
                             {"close box", Action::Close, false},
                             {"key J", Action::KeyJ, true},
                             {"key N", Action::KeyN, false}};
    for (const Row &r : yesNoRows)
        QTest::addRow("confirm, %s", r.name)
            << "confirm" << r.action << r.answer << "Bestätigung" << QMessageBox::Question << yesNo
            << "&Ja" << "&Nein";

    const Row okCancelRows[] = {{"click OK", Action::ClickAccept, true},
                                {"click Abbrechen", Action::ClickReject, false},
                                {"Enter", Action::Enter, true},
                                {"Escape", Action::Escape, false},
                                {"close box", Action::Close, false}};
    for (const Row &r : okCancelRows)
        QTest::addRow("confirmOkCancel, %s", r.name)
            << "confirmOkCancel" << r.action << r.answer << "Bestätigung" << QMessageBox::Question
            << okCancel << "OK" << "Abbrechen";

    QTest::newRow("error box, OK") << "showErrorBox" << Action::ClickAccept << true << "tst_framework"
                                   << QMessageBox::Critical << ok << "OK" << "OK";
    QTest::newRow("error box, Escape") << "showErrorBox" << Action::Escape << true << "tst_framework"
                                       << QMessageBox::Critical << ok << "OK" << "OK";
    QTest::newRow("message, Enter") << "showMessage" << Action::Enter << true << "tst_framework"
                                    << QMessageBox::NoIcon << ok << "OK" << "OK";
    QTest::newRow("message, close box") << "showMessage" << Action::Close << true << "tst_framework"
                                        << QMessageBox::NoIcon << ok << "OK" << "OK";
    QTest::newRow("start-up error, OK") << "showStartupError" << Action::ClickAccept << true
                                        << "Anwendungsfehler" << QMessageBox::Critical << ok << "OK"
                                        << "OK";
}

void TestFramework::realBoxes()
{
    QFETCH(QString, function);
    QFETCH(Action, action);
    QFETCH(bool, answer);
    QFETCH(QString, title);
    QFETCH(QMessageBox::Icon, icon);
    QFETCH(QStringList, buttons);
    QFETCH(QString, defaultButton);
    QFETCH(QString, escapeButton);

    setBoxHook({});
    // "<b>" must come out as typed: messages are plain text.
    const QString text = QStringLiteral("Kunde <b>Müller</b> löschen?");
    BoxProbe probe(action, {QStringLiteral("&Ja"), QStringLiteral("OK")});
    bool result = true;
    QString expectedText = text;
    if (function == QLatin1String("confirm")) {
        result = confirm(text);
    } else if (function == QLatin1String("confirmOkCancel")) {
        result = confirmOkCancel(text);
    } else if (function == QLatin1String("showMessage")) {
        showMessage(text);
    } else if (function == QLatin1String("showErrorBox")) {
        showErrorBox(text);
        expectedText = ::withFullStop(text);
    } else {
        QCOMPARE(showStartupError(EngineError(text)), 1);
        expectedText.clear();
    }

    const SeenBox &seen = probe.seen;
    QVERIFY2(seen.seen, "no message box opened");
    QVERIFY2(!seen.timedOut, "the answer did not close the box");
    QCOMPARE(result, answer);
    QCOMPARE(seen.title, title);
    QCOMPARE(seen.icon, icon);
    QCOMPARE(seen.buttons, buttons);
    QCOMPARE(seen.defaultButton, defaultButton);
    QCOMPARE(seen.escapeButton, escapeButton);
    QCOMPARE(seen.textFormat, Qt::PlainText);
    if (expectedText.isEmpty()) {
        QVERIFY2(seen.text.startsWith(QStringLiteral("Exception EngineError in Modul tst_framework bei ")),
                 qPrintable(seen.text));
        QVERIFY2(seen.text.endsWith(text + QStringLiteral(".\n")), qPrintable(seen.text));
        QCOMPARE(seen.modality, Qt::ApplicationModal);
    } else {
        QCOMPARE(seen.text, expectedText);
    }
    QVERIFY(!QApplication::activeModalWidget());
}

// ---------------------------------------------------------------- FlatButton

void TestFramework::flatButtonKeepsFocusElsewhere()
{
    QWidget window;
    auto *edit = new QLineEdit(&window);
    auto *flat = new FlatButton(QStringLiteral("&Suchen"), &window);
    auto *plain = new QPushButton(QStringLiteral("Normal"), &window);
    auto *layout = new QHBoxLayout(&window);
    layout->addWidget(edit);
    layout->addWidget(flat);
    layout->addWidget(plain);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QCOMPARE(flat->focusPolicy(), Qt::NoFocus);
    QVERIFY(flat->autoRaise());

    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    QSignalSpy clicks(flat, &QAbstractButton::clicked);
    QTest::mouseClick(flat, Qt::LeftButton);
    QCOMPARE(clicks.size(), 1);
    QVERIFY(edit->hasFocus());

    // Tab skips the flat button.
    QTest::keyClick(edit, Qt::Key_Tab);
    QTRY_VERIFY(plain->hasFocus());

    // The same click on an ordinary button does move the focus, so the check
    // above would have seen a stolen focus.
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    QTest::mouseClick(plain, Qt::LeftButton);
    QVERIFY(plain->hasFocus());
}

void TestFramework::flatButtonAccessibleName_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withIcon");
    QTest::addColumn<QString>("accessible");

    QTest::newRow("plain caption") << "Speichern" << "" << false << "Speichern";
    QTest::newRow("mnemonic") << "&Drucken" << "" << false << "Drucken";
    QTest::newRow("literal ampersand") << "Kunde && Rechnung" << "" << false << "Kunde & Rechnung";
    QTest::newRow("caption wins over name") << "&Neu" << "Neue Rechnung" << true << "Neu";
    QTest::newRow("picture only") << "" << "Neue Rechnung" << true << "Neue Rechnung";
}

void TestFramework::flatButtonAccessibleName()
{
    QFETCH(QString, caption);
    QFETCH(QString, name);
    QFETCH(bool, withIcon);
    QFETCH(QString, accessible);

    QPixmap picture(16, 16);
    picture.fill(Qt::green);
    const QIcon icon(picture);

    FlatButton built(caption);
    if (!name.isEmpty())
        built.setName(name);
    if (withIcon)
        built.setPicture(icon);

    FlatButton fromIcon(icon, name);
    fromIcon.setCaption(caption);
    if (!withIcon)
        fromIcon.setPicture(QIcon());

    for (FlatButton *b : {&built, &fromIcon}) {
        QCOMPARE(b->caption(), caption);
        QCOMPARE(b->accessibleName(), accessible);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(b);
        QVERIFY(iface);
        QCOMPARE(iface->text(QAccessible::Name), accessible);
    }
}

void TestFramework::flatButtonShowsWhatItHas()
{
    QPixmap picture(16, 16);
    picture.fill(Qt::green);

    FlatButton button(QStringLiteral("Drucken"));
    QCOMPARE(button.toolButtonStyle(), Qt::ToolButtonTextOnly);
    const int textOnlyWidth = button.sizeHint().width();

    button.setPicture(QIcon(picture));
    QCOMPARE(button.toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QVERIFY(button.sizeHint().width() > textOnlyWidth);

    button.setCaption(QString());
    QCOMPARE(button.toolButtonStyle(), Qt::ToolButtonIconOnly);
    QVERIFY(button.sizeHint().width() < textOnlyWidth);
}

// ---------------------------------------------------------------- fonts

void TestFramework::fontSubstitutesRegistered_data()
{
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QString>("free");
    QTest::newRow("Verdana") << "Verdana" << "DejaVu Sans";
    QTest::newRow("Arial") << "Arial" << "Liberation Sans";
    QTest::newRow("MS Sans Serif") << "MS Sans Serif" << "Liberation Sans";
    QTest::newRow("Microsoft Sans Serif") << "Microsoft Sans Serif" << "Liberation Sans";
}

void TestFramework::fontSubstitutesRegistered()
{
    QFETCH(QString, windows);
    QFETCH(QString, free);
    registerFontSubstitutes();
    registerFontSubstitutes();
    // Qt keeps substitutes in lower case.
    const QStringList substitutes = QFont::substitutes(windows);
    const auto same = [&free](const QString &s) { return s.compare(free, Qt::CaseInsensitive) == 0; };
    QCOMPARE(std::count_if(substitutes.begin(), substitutes.end(), same), 1);
}

void TestFramework::fontSubstitutesResolve_data()
{
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QString>("free");
    QTest::newRow("Verdana") << "Verdana" << "DejaVu Sans";
    QTest::newRow("Arial") << "Arial" << "Liberation Sans";
    // Wine's Tahoma has the metrics of the font Windows draws it with.
    QTest::newRow("Microsoft Sans Serif") << "Microsoft Sans Serif" << "Tahoma";
}

void TestFramework::fontSubstitutesResolve()
{
    QFETCH(QString, windows);
    QFETCH(QString, free);
    const QStringList families = QFontDatabase::families();
    if (families.contains(windows))
        QSKIP("the Windows font itself is installed");
    if (!families.contains(free))
        QSKIP("substitute font not installed");
    QCOMPARE(QFontInfo(windowsFont(windows, 10)).family(), free);
    QCOMPARE(QFontInfo(windowsFont(windows, 10, true)).family(), free);
}

void TestFramework::windowsPixelSizes_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("bold");
    QTest::newRow("8 pt") << 8 << 11 << false;
    QTest::newRow("9 pt") << 9 << 12 << false;
    QTest::newRow("10 pt") << 10 << 13 << false;
    QTest::newRow("11 pt") << 11 << 15 << false;
    QTest::newRow("12 pt") << 12 << 16 << false;
    QTest::newRow("14 pt bold") << 14 << 19 << true;
    QTest::newRow("16 pt bold") << 16 << 21 << true;
}

void TestFramework::windowsPixelSizes()
{
    QFETCH(int, points);
    QFETCH(int, pixels);
    QFETCH(bool, bold);
    QCOMPARE(windowsPixelSize(points), pixels);
    const QFont font = windowsFont(QStringLiteral("Arial"), points, bold);
    QCOMPARE(font.pixelSize(), pixels);
    QCOMPARE(font.bold(), bold);
    QCOMPARE(QFontInfo(font).pixelSize(), pixels);
}

// ---------------------------------------------------------------- JPEG

void TestFramework::jpegLogoFromResource()
{
    const QByteArray data = readFile(QStringLiteral(":/logo.jpg"));
    QVERIFY(!data.isEmpty());
    QString error = QStringLiteral("stale");
    const QImage logo = decodeJpeg(data, &error);
    QVERIFY2(!logo.isNull(), qPrintable(error));
    QVERIFY(error.isEmpty());
    QCOMPARE(logo.size(), QSize(225, 113));
    QCOMPARE(logo.format(), QImage::Format_RGB888);

    // Where Qt has its own JPEG reader, both must see the same picture.
    if (!QImageReader::supportedImageFormats().contains("jpeg"))
        QSKIP("Qt's JPEG plugin is not installed; no second opinion");
    const QImage qt = QImage::fromData(data, "JPEG").convertToFormat(QImage::Format_RGB888);
    QCOMPARE(qt.size(), logo.size());
    for (int y = 0; y < logo.height(); ++y)
        for (int x = 0; x < logo.width(); ++x)
            if (!near(logo.pixel(x, y), qt.pixel(x, y), 3))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2: %3 against %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(QString::fromLatin1(describe(logo.pixel(x, y))),
                                          QString::fromLatin1(describe(qt.pixel(x, y))))));
}

void TestFramework::jpegLogoFromFile()
{
    const QByteArray data = readFile(QStringLiteral(RECHNUNG_RESOURCES_DIR "/logo.jpg"));
    QVERIFY(!data.isEmpty());
    const QImage logo = decodeJpeg(data);
    QCOMPARE(logo.size(), QSize(225, 113));
    // Light background in the corners; the leaves are green and the pot is
    // red-brown, which would swap places if the channels came out as BGR.
    QVERIFY(qGray(logo.pixel(0, 0)) > 200);
    QVERIFY(qGray(logo.pixel(224, 112)) > 200);
    int green = 0, terracotta = 0;
    for (int y = 0; y < logo.height(); ++y)
        for (int x = 0; x < 70; ++x) {
            const QRgb c = logo.pixel(x, y);
            if (qGreen(c) > qRed(c) + 40 && qGreen(c) > qBlue(c) + 40)
                ++green;
            if (qRed(c) > qGreen(c) + 60 && qRed(c) > qBlue(c) + 80)
                ++terracotta;
        }
    QVERIFY2(green > 300, QByteArray::number(green));
    QVERIFY2(terracotta > 200, QByteArray::number(terracotta));
}

void TestFramework::jpegColours_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("RGB") << rgbQuadrantsJpeg();
    QTest::newRow("CMYK, Adobe") << cmykQuadrantsJpeg();
}

void TestFramework::jpegColours()
{
    QFETCH(QByteArray, data);
    QVERIFY(!data.isEmpty());
    QString error;
    const QImage image = decodeJpeg(data, &error);
    QVERIFY2(!image.isNull(), qPrintable(error));
    QCOMPARE(image.size(), QSize(32, 32));
    QCOMPARE(image.format(), QImage::Format_RGB888);
    for (const QPoint p : {QPoint(8, 8), QPoint(24, 8), QPoint(8, 24), QPoint(24, 24)}) {
        const QRgb got = image.pixel(p);
        const QRgb want = quadrantAt(p.x(), p.y());
        QVERIFY2(near(got, want, 12), describe(got) + " instead of " + describe(want));
    }
}

void TestFramework::jpegGrey()
{
    const QImage image = decodeJpeg(greyRampJpeg());
    QCOMPARE(image.size(), QSize(64, 16));
    QCOMPARE(image.format(), QImage::Format_RGB888);
    for (int x = 0; x < 64; x += 9) {
        const QRgb c = image.pixel(x, 8);
        QCOMPARE(qRed(c), qGreen(c));
        QCOMPARE(qGreen(c), qBlue(c));
        QVERIFY2(std::abs(qRed(c) - x * 4) <= 4, describe(c));
    }
}

void TestFramework::jpegDamaged_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("error");

    const QString broken = QStringLiteral("Das JPEG-Bild ist beschädigt oder kein JPEG-Bild");
    QRandomGenerator random(42);
    QByteArray noise(4000, '\0');
    for (char &c : noise)
        c = char(random.bounded(256));
    noise[0] = 'x';
    QTest::newRow("random bytes") << noise << broken;
    QTest::newRow("PNG") << readFile(QStringLiteral(":/icon32.png")) << broken;
    QTest::newRow("text") << QByteArray("Rechnung Nr. 2004-0001") << broken;
    QTest::newRow("start marker only") << QByteArray("\xff\xd8", 2) << broken;
    QTest::newRow("header cut off") << rgbQuadrantsJpeg().left(40) << broken;
    QTest::newRow("empty") << QByteArray() << QStringLiteral("Das Bild ist leer.");
}

void TestFramework::jpegDamaged()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, error);
    QString message = QStringLiteral("stale");
    const QImage image = decodeJpeg(data, &message);
    QVERIFY(image.isNull());
    QVERIFY2(message.startsWith(error), qPrintable(message));
}

void TestFramework::jpegCutShort_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("firstRowsKept");
    const QByteArray whole = noisyJpeg();
    QTest::newRow("half") << whole.left(whole.size() / 2) << true;
    QTest::newRow("end marker missing") << whole.left(whole.size() - 2) << true;
    QTest::newRow("nine tenths") << whole.left(whole.size() * 9 / 10) << true;

    QByteArray scribbled = whole;
    QRandomGenerator random(3);
    for (int i = 0; i < 200; ++i)
        scribbled[int(random.bounded(int(whole.size()) / 4, int(whole.size()) - 2))] =
            char(random.bounded(256));
    QTest::newRow("scribbled over") << scribbled << false;
}

// Decoding what there is, or refusing with a message, are both fine; ending
// the process or crashing is not.
void TestFramework::jpegCutShort()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, firstRowsKept);
    QString error;
    const QImage image = decodeJpeg(data, &error);
    if (image.isNull()) {
        QVERIFY(!error.isEmpty());
    } else {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(image.size(), QSize(128, 128));
    }
    if (!firstRowsKept || image.isNull())
        return;
    // The rows that did arrive are decoded as in the whole file.
    const QImage whole = decodeJpeg(noisyJpeg());
    QVERIFY(!whole.isNull());
    for (int y = 0; y < 16; ++y)
        QVERIFY2(std::equal(image.constScanLine(y), image.constScanLine(y) + 128 * 3,
                            whole.constScanLine(y)),
                 QByteArray::number(y));
}

void TestFramework::jpegWithoutErrorPointer()
{
    QVERIFY(decodeJpeg(QByteArray("kein Bild")).isNull());
    QVERIFY(decodeJpeg(QByteArray()).isNull());
    QCOMPARE(decodeJpeg(rgbQuadrantsJpeg()).size(), QSize(32, 32));
}

// ---------------------------------------------------------------- assets

void TestFramework::resourcesListed_data()
{
    QTest::addColumn<QString>("path");
    for (const char *p : {":/logo.jpg", ":/logo.bmp", ":/warning16.png", ":/icon16.png", ":/icon32.png"})
        QTest::newRow(p) << QString::fromLatin1(p);
}

void TestFramework::resourcesListed()
{
    QFETCH(QString, path);
    QVERIFY(QFile::exists(path));
    // Same bytes as the file beside the resource list.
    const QString file = QStringLiteral(RECHNUNG_RESOURCES_DIR "/") + path.mid(2);
    QCOMPARE(readFile(path), readFile(file));
}

void TestFramework::logoBmpHeader()
{
    const QByteArray d = readFile(QStringLiteral(RECHNUNG_RESOURCES_DIR "/logo.bmp"));
    QVERIFY(d.size() >= 54);
    QCOMPARE(d.left(2), QByteArray("BM"));
    QCOMPARE(le32(d, 2), quint32(d.size()));
    const quint32 headerSize = le32(d, 14);
    QVERIFY2(headerSize >= 40, QByteArray::number(headerSize));
    QCOMPARE(qint32(le32(d, 18)), 225);
    QCOMPARE(qint32(le32(d, 22)), 113); // positive: rows bottom-up, as printers expect
    QCOMPARE(le16(d, 26), quint16(1));
    QCOMPARE(le16(d, 28), quint16(24));
    QCOMPARE(le32(d, 30), quint32(0)); // BI_RGB
    QCOMPARE(qint32(le32(d, 38)), 2834);
    QCOMPARE(qint32(le32(d, 42)), 2834);
    // 225 pixels * 3 bytes = 675, padded to 676 per row.
    const quint32 pixelOffset = le32(d, 10);
    QCOMPARE(quint32(d.size()) - pixelOffset, quint32(676 * 113));

    const QImage image(QStringLiteral(":/logo.bmp"));
    QCOMPARE(image.size(), QSize(225, 113));
    QCOMPARE(image.pixel(0, 0), qRgb(255, 255, 255)); // printed on white paper
}

void TestFramework::iconSizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("side");
    QTest::newRow("icon16") << ":/icon16.png" << 16;
    QTest::newRow("icon32") << ":/icon32.png" << 32;
    QTest::newRow("warning16") << ":/warning16.png" << 16;
}

void TestFramework::iconSizes()
{
    QFETCH(QString, path);
    QFETCH(int, side);
    const QImage image(path);
    QCOMPARE(image.size(), QSize(side, side));
    QVERIFY(image.hasAlphaChannel());
    int transparent = 0, opaque = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int a = qAlpha(image.pixel(x, y));
            transparent += a == 0;
            opaque += a == 255;
        }
    QVERIFY2(transparent > side, QByteArray::number(transparent));
    QVERIFY2(opaque > side * side / 3, QByteArray::number(opaque));
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
}

void TestFramework::warningSignShape()
{
    const QImage sign(QStringLiteral(":/warning16.png"));
    QCOMPARE(sign.size(), QSize(16, 16));
    QCOMPARE(qAlpha(sign.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(sign.pixel(15, 0)), 0);
    const QRgb stroke = sign.pixel(7, 6);   // the exclamation mark
    const QRgb dot = sign.pixel(8, 12);     // its point
    const QRgb field = sign.pixel(4, 12);   // the yellow around it
    QCOMPARE(qAlpha(stroke), 255);
    QVERIFY(qGray(stroke) < 40);
    QVERIFY(qGray(dot) < 40);
    QVERIFY2(qRed(field) > 200 && qGreen(field) > 160 && qBlue(field) < 80, describe(field));
}

void TestFramework::jpegForgedHugeHeader_data()
{
    QTest::addColumn<bool>("progressive");
    QTest::newRow("baseline") << false;
    // A progressive picture is buffered whole: the size must be refused before that.
    QTest::newRow("progressive") << true;
}

void TestFramework::jpegForgedHugeHeader()
{
    QFETCH(bool, progressive);
    QByteArray data = encodeJpeg(16, 16, 3, std::vector<unsigned char>(16 * 16 * 3, 128), progressive);
    const QByteArray marker = progressive ? QByteArray("\xFF\xC2", 2) : QByteArray("\xFF\xC0", 2);
    const qsizetype sof = data.indexOf(marker);
    QVERIFY(sof > 0);
    // Height and width follow the marker's length and precision bytes.
    for (qsizetype at : {sof + 5, sof + 7}) {
        data[at] = char(30000 >> 8);
        data[at + 1] = char(30000 & 0xff);
    }
    QString error;
    const QImage image = decodeJpeg(data, &error);
    QVERIFY(image.isNull());
    QCOMPARE(error, QStringLiteral("Das JPEG-Bild ist zu groß."));
}

QTEST_MAIN(TestFramework)
#include "tst_framework.moc"
