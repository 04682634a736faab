#pragma once

// The few ways every window builds its fixed-place controls, so that labels,
// group boxes, buttons, field colours and headings look alike everywhere.

#include <QRect>
#include <QSize>
#include <QString>

class FlatButton;
class QPushButton;
class QApplication;
class QKeyEvent;
class QGroupBox;
class QLabel;
class QWidget;

// A label at a fixed place. The boxes were measured for a narrower font: a
// label grows to show its whole text, away from the edge it is aligned to.
QLabel *placedLabel(QWidget *parent, const char *name, const QString &text, const QRect &geometry,
                    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);

// A group box whose accessible name is its caption without the padding blanks.
QGroupBox *placedGroupBox(QWidget *parent, const char *name, const QString &caption, const QRect &geometry);

// A push button that Enter never presses on its own: the windows' keys are their own.
QPushButton *placedPushButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry);
FlatButton *placedFlatButton(QWidget *parent, const char *name, const QString &caption, const QRect &geometry);

// Data fields carry the system's tooltip colour as their background.
void paintAsField(QWidget *w);

// The large silver heading of the dialogs: Verdana, 27 pixels, bold italic.
QLabel *silverHeading(QWidget *parent, const char *name, const QString &text, const QRect &geometry);

// In windows that have neither a default nor a cancel button, Enter and
// Escape press nothing. True when the key was one of them and is taken.
bool swallowDialogKey(QKeyEvent *e);

// Centres a window on its screen (not on its parent), frame included. Until
// the window manager has put its frame round the window nobody knows how
// large that is: the window is centred once more as soon as it has it.
void centreOnScreen(QWidget *w);

// The size of a window with its frame. The window gets it when its window
// manager first frames it; until then, and where there is no frame, the
// whole size goes to the window itself.
void setOuterSize(QWidget *w, const QSize &outer);

// While a modal window is open, no window of the program stays minimised.
// Some window managers minimise the window below a modal window with it, and
// without a task bar nothing would be left on the screen to bring them back.
void keepModalWindowsOnScreen(QApplication &app);
