#include "progresswindow.h"

#include "framework/widgets.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace rpt {

namespace {

QString progressText(int percent)
{
    return QString::number(percent) + QStringLiteral("% ") + QStringLiteral(" Completed");
}

} // namespace

ProgressWindow::ProgressWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
{
    setWindowTitle(QStringLiteral("Printing progress"));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(149, 97);

    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setGeometry(8, 8, 133, 16);

    m_text = new QLabel(progressText(0), this);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setGeometry(4, 30, 141, 18);

    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setGeometry(37, 60, 75, 25);
    connect(m_cancel, &QPushButton::clicked, this, &ProgressWindow::cancelRequested);

    centreOnScreen(this);
}

void ProgressWindow::setProgress(int percent)
{
    if (percent % 5 != 0)
        return;
    m_bar->setValue(percent);
    m_text->setText(progressText(percent));
}

int ProgressWindow::shownProgress() const { return m_bar->value(); }

QString ProgressWindow::text() const { return m_text->text(); }

void ProgressWindow::closeEvent(QCloseEvent *event)
{
    // The close box cannot end the job by itself: it asks like "Cancel".
    if (event->spontaneous()) {
        Q_EMIT cancelRequested();
        event->ignore();
        return;
    }
    // Closed by the job that showed it: no question of cancelling any more.
    event->accept();
}

void ProgressWindow::reject() { Q_EMIT cancelRequested(); }

} // namespace rpt
