#include "program.h"

#include "app/Unit2.h"
#include "data/amount.h"
#include "data/errors.h"
#include "dialogs/kundeneditf.h"
#include "dialogs/search.h"
#include "editor/edit.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"
#include "report/DruckUnit4.h"

#include <QApplication>
#include <QIcon>

Program::Program() = default;

Program::~Program()
{
    formsuch.reset();
    kundenedit.reset();
    editrechnung.reset();
    FRMDruck.reset();
    about.reset();
    frmmain.reset();
}

void Program::create()
{
    frmmain = std::make_unique<Tfrmmain>();
    InvoiceData &data = frmmain->data();
    about = std::make_unique<Tabout>(frmmain.get());
    FRMDruck = std::make_unique<TFRMDruck>(data);
    editrechnung = std::make_unique<Teditrechnung>(data, frmmain.get());
    kundenedit = std::make_unique<Tkundenedit>(data, frmmain.get());
    formsuch = std::make_unique<Tformsuch>(data, frmmain.get());
    editrechnung->setOnPreview([report = FRMDruck.get()] { report->showPreview(); });
    frmmain->setWindows({about.get(), FRMDruck.get(), editrechnung.get(), kundenedit.get(), formsuch.get()});
}

void prepareApplication(QApplication &app)
{
    // The pictures live in this static library: their registration must be pulled in by hand.
    Q_INIT_RESOURCE(resources);
    registerFontSubstitutes();
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
    Program program;
    try {
        program.create();
    } catch (const AppError &e) {
        return showStartupError(e);
    } catch (const std::exception &e) {
        return showStartupError(EngineError(QString::fromLocal8Bit(e.what())));
    }
    program.frmmain->show();
    return app.exec();
}
