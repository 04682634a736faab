// rechnung-db: makes new invoicing databases, either empty, filled with a small
// demo data set that shows the program off, or filled with large generated
// data for measurements; these never touch a file that already exists. It
// also adds a year's tables to an existing database, and writes an invoice of
// an existing database as an Italian electronic invoice, the way the program
// does, for an accountant's batch, and copies and checks database files
// from a terminal, writes a year's invoices and the plant passport's
// traceability list as CSV, and makes a customer's month of delivery notes
// into one invoice.
// Last, it brings over the data of an Access file.

#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/errors.h"
#include "data/newdatabase.h"

#include <QString>
#include <QStringList>

#include <csignal>
#include <new>
#include <vector>

namespace {

struct Command
{
    QString name;
    QStringList synopses; // each as typed after "rechnung-db NAME"
    int (*run)(CommandLine &commandLine);
};

const std::vector<Command> &commands()
{
    static const std::vector<Command> all{
        {QStringLiteral("create"), {QStringLiteral("DATEI")}, runCreate},
        {QStringLiteral("demo"), {QStringLiteral("DATEI")}, runDemo},
        {QStringLiteral("generate"), {QStringLiteral("DATEI --customers N --headers N --lines N")}, runGenerate},
        {QStringLiteral("add-year"), {QStringLiteral("DATEI JAHR")}, runAddYear},
        {QStringLiteral("fatturapa"), {QStringLiteral("DATEI --year JAHR --nr NR [--out ORDNER] [--again]")}, runFatturaPA},
        {QStringLiteral("backup"), {QStringLiteral("QUELLE ZIEL")}, runBackup},
        {QStringLiteral("check"), {QStringLiteral("DATEI [--fix]")}, runCheck},
        {QStringLiteral("export-csv"), {QStringLiteral("DATEI --year JAHR ZIEL")}, runExportCsv},
        {QStringLiteral("sammelrechnung"), {QStringLiteral("DATEI --customer ID --month JJJJ-MM [--date TT.MM.JJJJ]")},
         runDeferredInvoice},
        {QStringLiteral("passport-report"),
         {QStringLiteral("DATEI --from DATUM --to DATUM [--name TEXT | --code TEXT] ZIEL")},
         runPassportReport},
        {QStringLiteral("import-access"), {QStringLiteral("ACCESSDATEI ZIEL"), QStringLiteral("--list ACCESSDATEI")},
         runImportAccess},
    };
    return all;
}

// Every way of calling the tool, in one line.
QString usage()
{
    QStringList calls;
    for (const Command &c : commands()) {
        for (const QString &synopsis : c.synopses)
            calls << QStringLiteral("rechnung-db ") + c.name + QLatin1Char(' ') + synopsis;
    }
    return QStringLiteral("Aufruf: ") + calls.join(QStringLiteral(" | "));
}

const Command &commandNamed(const QString &name)
{
    for (const Command &c : commands()) {
        if (c.name == name)
            return c;
    }
    throw UsageError{QStringLiteral("Unbekannter Befehl '%1'").arg(shown(name))};
}

extern "C" void removePartialFileAndDie(int sig)
{
    newdb::removePartialFileNow();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

int run(const QStringList &args)
{
    if (args.isEmpty())
        throw UsageError{QStringLiteral("Kein Befehl angegeben")};
    const QString &name = args.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        printLine(stdout, usage());
        return ExitOk;
    }
    const Command &command = commandNamed(name);
    CommandLine commandLine(command.name, command.synopses, args.mid(1));
    return command.run(commandLine);
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

#ifdef SIGXFSZ
    // Over a file size limit a write then fails like a full disk, which is
    // reported and cleaned up, instead of the signal killing us half way.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, removePartialFileAndDie);

    try {
        return run(args);
    } catch (const UsageError &e) {
        printError(e.message + QStringLiteral(". ") + usage());
        return ExitUsage;
    } catch (const Failure &e) {
        printError(e.message);
    } catch (const AppError &e) {
        printError(shown(e.message()));
    } catch (const std::bad_alloc &) {
        printError(QStringLiteral("Nicht genug Arbeitsspeicher."));
    }
    return ExitFailure;
}
