#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace rpt {

// "Printing progress": a bar, the figure with " Completed", and "Cancel".
// Shown without a loop of its own while the caller keeps working; it blocks
// input to every other window meanwhile.
class ProgressWindow : public QDialog
{
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget *parent = nullptr);

    // Shown whenever the figure is a multiple of 5.
    void setProgress(int percent);
    int shownProgress() const;
    QString text() const;
    QPushButton *cancelButton() const { return m_cancel; }

Q_SIGNALS:
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    QProgressBar *m_bar;
    QLabel *m_text;
    QPushButton *m_cancel;
};

} // namespace rpt
