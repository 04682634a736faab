#include "program.h"

#include "app/aboutbox.h"
#include "data/amount.h"
#include "data/errors.h"
#include "dialogs/customerdialog.h"
#include "dialogs/customersearch.h"
#include "editor/invoiceeditor.h"
#include "framework/busycursor.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"
#include "report/invoicereport.h"

#include <QApplication>
#include <QDate>
#include <QIcon>
#include <QTimer>
#include <cstdio>

Program::Program() = default;

Program::~Program()
{
    customerSearch.reset();
    customerDialog.reset();
    invoiceEditor.reset();
    invoiceReport.reset();
    about.reset();
    mainWindow.reset();
}

void Program::create(const QString &databaseFile)
{
    mainWindow = std::make_unique<MainWindow>(databaseFile);
    InvoiceData &data = mainWindow->data();
    about = std::make_unique<AboutBox>(mainWindow.get());
    invoiceReport = std::make_unique<InvoiceReport>(data);
    invoiceEditor = std::make_unique<InvoiceEditor>(data, mainWindow.get());
    customerDialog = std::make_unique<CustomerDialog>(data, mainWindow.get());
    customerSearch = std::make_unique<CustomerSearch>(data, mainWindow.get());
    invoiceEditor->setOnPreview([report = invoiceReport.get()] { report->showPreview(); });
    invoiceEditor->setOnEInvoice([window = mainWindow.get()] { window->exportEInvoice(); });
    mainWindow->setWindows({about.get(), invoiceReport.get(), invoiceEditor.get(), customerDialog.get(), customerSearch.get()});
    mainWindow->applyLetterhead();
    // Once the main window is up, so that a failure's message has a window to
    // belong to; before the question below, so the copy is the file as it was found.
    QTimer::singleShot(0, mainWindow.get(), [window = mainWindow.get()] { window->makeDailyBackup(QDate::currentDate()); });
    // Asked once the main window is up, so the question has a window to belong to.
    QTimer::singleShot(0, mainWindow.get(), [window = mainWindow.get()] { guarded([&] { window->offerBusinessData(); }); });
}

void prepareApplication(QApplication &app)
{
    // The pictures live in this static library: their registration must be pulled in by hand.
    Q_INIT_RESOURCE(resources);
    registerFontSubstitutes();
    installBusyCursor();
    Separators::reloadFromSystem();
    app.installEventFilter(new LocaleWatcher(&app));
    keepModalWindowsOnScreen(app);
    QIcon icon;
    icon.addFile(QStringLiteral(":/icon16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icon32.png"), QSize(32, 32));
    app.setWindowIcon(icon);
}

int runProgram(QApplication &app)
{
    prepareApplication(app);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() > 1 || (arguments.size() == 1 && arguments.first().startsWith(QLatin1Char('-')))) {
        std::fputs(QStringLiteral("Aufruf: Rechnung [DATEI]\n").toLocal8Bit().constData(), stderr);
        return 2;
    }
    Program program;
    try {
        program.create(arguments.value(0, DatabaseFileName));
    } catch (const AppError &e) {
        return showStartupError(e);
    } catch (const std::exception &e) {
        return showStartupError(EngineError(QString::fromLocal8Bit(e.what())));
    }
    program.mainWindow->show();
    return app.exec();
}
