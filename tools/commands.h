#pragma once

class CommandLine;

// The commands of rechnung-db, one file each. Each declares its arguments on
// the command line, reads them, and does its work; it returns the exit status
// and throws UsageError or Failure.

// Make a new file and never touch one that exists.
int runCreate(CommandLine &commandLine);
int runDemo(CommandLine &commandLine);
int runGenerate(CommandLine &commandLine);
int runImportAccess(CommandLine &commandLine);

// Work on an existing file.
int runAddYear(CommandLine &commandLine);
int runFatturaPA(CommandLine &commandLine);
int runBackup(CommandLine &commandLine);
int runCheck(CommandLine &commandLine);
int runExportCsv(CommandLine &commandLine);
int runDeferredInvoice(CommandLine &commandLine);
int runPassportReport(CommandLine &commandLine);
