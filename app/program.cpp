#include "program.h"

#include "access/accessfile.h"
#include "access/import.h"
#include "app/aboutbox.h"
#include "app/startdialog.h"
#include "data/amount.h"
#include "data/backup.h"
#include "data/errors.h"
#include "data/newdatabase.h"
#include "dialogs/customerdialog.h"
#include "report/deliverynotereport.h"
#include "dialogs/customersearch.h"
#include "editor/deliverynoteeditor.h"
#include "editor/invoiceeditor.h"
#include "framework/busycursor.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/settings.h"
#include "framework/widgets.h"
#include "report/invoicereport.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QTimer>
#include <cstdio>
#include <optional>

namespace {

const QString LastDatabaseKey = QStringLiteral("datenbank/zuletzt");
const QString DatabaseFolderKey = QStringLiteral("datenbank");
const QString DatabaseFilter = QStringLiteral("Datenbank (*.mdb);;Alle Dateien (*)");

Separators s_userSeparators;

} // namespace

Program::Program() = default;

Program::~Program()
{
    deliveryNoteEditor.reset();
    customerSearch.reset();
    customerDialog.reset();
    invoiceEditor.reset();
    deliveryNoteReport.reset();
    invoiceReport.reset();
    about.reset();
    mainWindow.reset();
}

void Program::create(const QString &databaseFile)
{
    mainWindow = std::make_unique<MainWindow>(databaseFile, userSeparators());
    InvoiceData &data = mainWindow->data();
    // A file that names no separators follows the user's settings for as
    // long as the windows live; one that names them keeps its own.
    qApp->installEventFilter(new LocaleWatcher([&data](const Separators &system) { data.setSeparators(system); }, mainWindow.get()));
    about = std::make_unique<AboutBox>(mainWindow.get());
    about->setDatabaseFile(data.connection.fileName());
    invoiceReport = std::make_unique<InvoiceReport>(data);
    invoiceEditor = std::make_unique<InvoiceEditor>(data, mainWindow.get());
    customerDialog = std::make_unique<CustomerDialog>(data, mainWindow.get());
    customerSearch = std::make_unique<CustomerSearch>(data, mainWindow.get());
    invoiceEditor->setOnPreview([report = invoiceReport.get()] { report->showPreview(); });
    invoiceEditor->setOnEInvoice([window = mainWindow.get()] { window->exportEInvoice(); });
    deliveryNoteEditor = std::make_unique<DeliveryNoteEditor>(data, mainWindow.get());
    deliveryNoteEditor->setOnPrint([window = mainWindow.get()] { window->printDeliveryNote(); });
    deliveryNoteReport = std::make_unique<DeliveryNoteReport>();
    mainWindow->setWindows({about.get(), invoiceReport.get(), invoiceEditor.get(), customerDialog.get(), customerSearch.get(),
                            deliveryNoteEditor.get(), deliveryNoteReport.get()});
    mainWindow->applyLetterhead();
    // The database used last is what the desktop menu's start opens next time.
    ProgramSettings().setValue(LastDatabaseKey, QFileInfo(data.connection.fileName()).absoluteFilePath());
    // Once the main window is up, so that a failure's message has a window to
    // belong to; before the question below, so the copy is the file as it was found.
    QTimer::singleShot(0, mainWindow.get(), [window = mainWindow.get()] { window->makeDailyBackup(QDate::currentDate()); });
    // Asked once the main window is up, so the question has a window to belong to.
    QTimer::singleShot(0, mainWindow.get(), [window = mainWindow.get()] {
        guarded([&] { window->offerSchemaUpgrade(QDate::currentDate()); });
    });
}

void prepareApplication(QApplication &app)
{
    // The pictures live in this static library: their registration must be pulled in by hand.
    Q_INIT_RESOURCE(resources);
    registerFontSubstitutes();
    installBusyCursor();
    setUserSeparators(Separators::fromSystem());
    // Qt's own dialogs (the file dialog above all) speak the program's language.
    auto *qtTexts = new QTranslator(&app);
    if (qtTexts->load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);
    app.installEventFilter(new LocaleWatcher([](const Separators &system) { setUserSeparators(system); }, &app));
    keepModalWindowsOnScreen(app);
    QIcon icon;
    icon.addFile(QStringLiteral(":/icon16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icon32.png"), QSize(32, 32));
    app.setWindowIcon(icon);
}

Separators userSeparators() { return s_userSeparators; }

void setUserSeparators(const Separators &separators) { s_userSeparators = separators; }

namespace {

QString shownPath(const QString &file)
{
    return QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
}

// The windows on `file`, or the reason they could not be made.
std::unique_ptr<Program> openProgram(const QString &file, QString *failure)
{
    auto program = std::make_unique<Program>();
    try {
        program->create(file);
        return program;
    } catch (const AppError &e) {
        *failure = e.message();
    } catch (const std::exception &e) {
        *failure = QString::fromLocal8Bit(e.what());
    }
    return nullptr;
}

} // namespace

// An Access file where the database should be: brought over into the new
// format if the user agrees. The Access file keeps its data under a name of
// its own beside it; the import writes the old name. Nothing to do for any
// other file.
AccessOffer offerAccessImport(const QString &file)
{
    if (!accessdb::isAccessFile(file))
        return AccessOffer::NotAccess;
    const QFileInfo info(file);
    const QString keptName = info.completeBaseName() + QStringLiteral(".access.") + info.suffix();
    if (!confirm(QStringLiteral("Diese Datei ist eine Access-Datenbank. Jetzt in das neue Format übernehmen? "
                                "Die Access-Datei bleibt unter dem Namen %1 erhalten.")
                     .arg(keptName)))
        return AccessOffer::Declined;
    const QString kept = info.absoluteDir().filePath(keptName);
    bool done = false;
    guarded([&] {
        if (QFileInfo::exists(kept) || QFileInfo(kept).isSymLink())
            throw EngineError(QStringLiteral("Die Datei '%1' existiert bereits; die Access-Datei wird nicht übernommen, "
                                             "damit nichts überschrieben wird")
                                  .arg(QDir::toNativeSeparators(kept)));
        // Never over an existing file, even one made in the meantime.
        backup::moveIntoPlace(info.absoluteFilePath(), kept, false);
        accessdb::ImportReport report;
        try {
            report = accessdb::importAccessFile(kept, info.absoluteFilePath(), userSeparators());
        } catch (...) {
            // The import left no file under the old name: the Access file goes back.
            guarded([&] { backup::moveIntoPlace(kept, info.absoluteFilePath(), false); });
            throw;
        }
        done = true;
        showMessage(accessdb::reportLines(report, 20).join(QLatin1Char('\n')));
    });
    return done ? AccessOffer::Imported : AccessOffer::Failed;
}

namespace {

int runWindows(QApplication &app, Program &program)
{
    program.mainWindow->show();
    return app.exec();
}


// Where a new database is proposed: the user's documents, under the usual
// name unless a file already has it.
QString proposedNewDatabase()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    folder = rememberedFolder(DatabaseFolderKey, folder);
    const QDir dir(folder);
    QString name = DatabaseFileName;
    for (int n = 2; QFileInfo::exists(dir.filePath(name)) && n < 1000; ++n)
        name = QStringLiteral("rechungen-%1.mdb").arg(n);
    return dir.filePath(name);
}

// What the user picked in the start dialog: a file to try, "" to ask again,
// nothing to end the program.
std::optional<QString> chooseDatabase(const QString &reason)
{
    switch (StartDialog::ask(reason)) {
    case StartDialog::OpenExisting: {
        const std::optional<QString> file = askOpenFile(QStringLiteral("Vorhandene Datenbank öffnen"),
                                                        rememberedFolder(DatabaseFolderKey, QDir::homePath()), DatabaseFilter);
        if (!file)
            return QString();
        rememberFolderOf(DatabaseFolderKey, *file);
        return *file;
    }
    case StartDialog::CreateNew: {
        const std::optional<QString> file =
            askSaveFile(QStringLiteral("Neue Datenbank anlegen"), proposedNewDatabase(), DatabaseFilter, true);
        if (!file)
            return QString();
        // The same file as "rechnung-db create" makes, and this year's tables;
        // it refuses to replace anything.
        if (!guarded([&] { newdb::createEmpty(*file, userSeparators(), QDate::currentDate().year()); }))
            return QString();
        rememberFolderOf(DatabaseFolderKey, *file);
        return *file;
    }
    case StartDialog::Quit:
        break;
    }
    return std::nullopt;
}

} // namespace

std::unique_ptr<Program> openChosenDatabase()
{
    QString candidate = ProgramSettings().value(LastDatabaseKey).toString();
    QString reason;
    if (!candidate.isEmpty() && !QFileInfo::exists(candidate)) {
        reason = QStringLiteral("Die zuletzt verwendete Datenbank '%1' ist nicht mehr vorhanden.").arg(shownPath(candidate));
        candidate.clear();
    }
    for (;;) {
        if (!candidate.isEmpty() && offerAccessImport(candidate) == AccessOffer::Failed) {
            reason.clear();
            candidate.clear();
        }
        if (!candidate.isEmpty()) {
            QString failure;
            if (std::unique_ptr<Program> program = openProgram(candidate, &failure))
                return program;
            // The failure names the file already.
            showErrorBox(withFullStop(failure) + QStringLiteral("\n\nBitte eine andere Datenbank öffnen oder eine neue anlegen."));
            reason.clear();
        }
        const std::optional<QString> chosen = chooseDatabase(reason);
        if (!chosen)
            return nullptr;
        candidate = *chosen;
    }
}

int runProgram(QApplication &app)
{
    prepareApplication(app);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments == QStringList{QStringLiteral("--choose")}) {
        const std::unique_ptr<Program> program = openChosenDatabase();
        return program ? runWindows(app, *program) : 0;
    }
    if (arguments.size() > 1 || (arguments.size() == 1 && arguments.first().startsWith(QLatin1Char('-')))) {
        std::fputs(QStringLiteral("Aufruf: Rechnung [DATEI] | Rechnung --choose\n").toLocal8Bit().constData(), stderr);
        return 2;
    }
    const QString file = arguments.value(0, DatabaseFileName);
    // "&Nein" ends as a foreign file does.
    if (offerAccessImport(file) == AccessOffer::Failed)
        return 1;
    Program program;
    try {
        program.create(file);
    } catch (const AppError &e) {
        return showStartupError(e);
    } catch (const std::exception &e) {
        return showStartupError(EngineError(QString::fromLocal8Bit(e.what())));
    }
    return runWindows(app, program);
}
