#pragma once

#include <QString>

#include <cstdio>

// What every command of rechnung-db shares: its exit statuses, the two ways a
// run fails, and how lines reach the terminal.

enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

// The command line is wrong; the message is followed by the usage.
struct UsageError
{
    QString message;
};

// The command could not do its work.
struct Failure
{
    QString message;
};

// Every message must stay on one line, even for a file name with a line break.
QString shown(const QString &text);

void printLine(std::FILE *stream, const QString &line);

// One line on stderr, "rechnung-db: " in front and a full stop at the end.
void printError(const QString &message);
