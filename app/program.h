#pragma once

#include "app/mainwindow.h"

#include <memory>

class QApplication;

// Every window of the program, created in start-up order and destroyed in
// the reverse order, the main window (which owns the data) last.
struct Program
{
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<AboutBox> about;
    std::unique_ptr<InvoiceReport> invoiceReport;
    std::unique_ptr<DeliveryNoteReport> deliveryNoteReport;
    std::unique_ptr<InvoiceEditor> invoiceEditor;
    std::unique_ptr<CustomerDialog> customerDialog;
    std::unique_ptr<CustomerSearch> customerSearch;
    std::unique_ptr<DeliveryNoteEditor> deliveryNoteEditor;

    Program();
    ~Program();
    // Opens the data and creates the windows; throws AppError when the data cannot be opened.
    void create(const QString &databaseFile = DatabaseFileName);
};

// Application-wide settings that do not depend on the data: fonts, the
// user's number separators and their watcher, the window icon.
void prepareApplication(QApplication &app);

// The separators of the user's regional settings: what a new file names as
// its own, and what a file that names none is read with. Read from the
// system by prepareApplication and again on every locale change. Tests put
// theirs in place of the system's, so that none depends on the machine's locale.
Separators userSeparators();
void setUserSeparators(const Separators &separators);

// `Rechnung --choose`, as the desktop menu starts the program, up to the
// moment the windows exist: the database used last, or the one the user opens
// or makes in the start dialog. A file that cannot be opened is said why and
// the dialog offered again, so this start never ends in a start-up error.
// nullptr when the user ends the program there.
std::unique_ptr<Program> openChosenDatabase();

enum class AccessOffer { NotAccess, Declined, Imported, Failed };
// An Access file in place of the database: asks whether to bring it over
// and does so, keeping the Access file as NAME.access.mdb beside it and
// showing the report. Failed: the error box has been shown and the Access
// file is back under its own name.
AccessOffer offerAccessImport(const QString &file);

// Start-up to shutdown: returns the exit status (1 after a start-up error).
// `Rechnung [FILE]`: FILE instead of "rechungen.mdb" in the working directory.
// `Rechnung --choose`: the database used last, or the start dialog.
int runProgram(QApplication &app);
