#include "busycursor.h"

#include "data/engine.h"

#include <QApplication>
#include <QCursor>

void installBusyCursor()
{
    Database::setBusyHook([](bool waiting) {
        // The engine pairs every start with an end, so the override stack stays balanced.
        if (waiting)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
}
