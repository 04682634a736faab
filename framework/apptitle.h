#pragma once

#include <QString>

// The title every window and message box of the program carries: the program
// file's own name, so a renamed copy shows its new name.
QString applicationTitle();

// The title rule on its own, so it can be checked without a running program:
// the name up to its first ".", every letter after the first in lower case.
QString titleFromFileName(const QString &fileName);

// The main window's title: the business's name from its stored data, or the
// sample nursery's where none is set.
QString businessTitle(const QString &businessName);
