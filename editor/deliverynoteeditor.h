#pragma once

#include "controls/controllink.h"

#include <QDialog>
#include <functional>

class DBEdit;
class DBGrid;
class DBNavigator;
class DBText;
class InvoiceData;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

// The delivery note editor: the current note's header and its lines with
// their plant passport fields, shown modally over the main window. It owns
// no data; its controls are bound to the main window's delivery sets. A note
// that went into an invoice is shown, not changed.
class DeliveryNoteEditor : public QDialog
{
    Q_OBJECT
public:
    explicit DeliveryNoteEditor(InvoiceData &data, QWidget *parent = nullptr);
    // What "[ Drucken ]" runs: the current note printed.
    void setOnPrint(std::function<void()> print) { m_print = std::move(print); }

    // Shows the current note; nothing when there is none.
    void openNote();
    // Stores what is pending and closes; a line that cannot be stored keeps
    // the editor open with what was typed.
    void closeEditor();
    void print();

    QGroupBox *customerBox = nullptr;
    QGroupBox *noteBox = nullptr;
    DBText *customerName = nullptr;
    DBEdit *noteNumber = nullptr;
    DBEdit *noteDate = nullptr;
    DBEdit *destination = nullptr;
    DBEdit *packages = nullptr;
    // Editable pick lists: the usual entries, or any text typed.
    QComboBox *transport = nullptr;
    QComboBox *reason = nullptr;
    // Which invoice a note went into, empty while it went into none.
    QLabel *invoicedHint = nullptr;
    DBNavigator *lineNavigator = nullptr;
    DBGrid *lineGrid = nullptr;
    // What the current line's plant passport still lacks.
    QLabel *passportHint = nullptr;
    QPushButton *printButton = nullptr;
    QPushButton *closeButton = nullptr;

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    QComboBox *pickList(QWidget *parent, const char *name, const QString &field, const QStringList &choices, const QRect &r,
                        const QString &label);
    // An invoiced note: every control that could change it is disabled.
    void allowChanges();
    void showPassportNeed();

    InvoiceData &m_data;
    ControlLink m_lineWatch;
    ControlLink m_noteWatch;
    std::function<void()> m_print;
};
