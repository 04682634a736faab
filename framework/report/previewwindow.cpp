#include "previewwindow.h"

#include "icons.h"
#include "pagefile.h"
#include "printing.h"

#include "framework/flatbutton.h"
#include "framework/messages.h"
#include "framework/settings.h"
#include "framework/widgets.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include <cmath>

namespace rpt {

namespace {

constexpr int Margin = 10; // grey around the page

const QString QrpFilter = QStringLiteral("Saved report (*.QRP)");
const QString PdfFilter = QStringLiteral("PDF document (*.pdf)");

// Digits at the start of the answer; 0 when there are none.
int leadingNumber(const QString &text)
{
    qint64 n = 0;
    qsizetype i = 0;
    for (; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128; ++i)
        n = std::min<qint64>(n * 10 + (text.at(i).unicode() - '0'), 1'000'000'000);
    return int(n);
}

} // namespace

// Draws the page on show, white on grey, at the chosen size.
class PageView : public QWidget
{
public:
    explicit PageView(QWidget *parent) : QWidget(parent)
    {
        setAutoFillBackground(false);
        setFocusPolicy(Qt::NoFocus);
    }

    void setPage(PagePtr page, QSize pixels, double dpi)
    {
        m_page = std::move(page);
        m_pixels = pixels;
        m_dpi = dpi;
        resize(pixels + QSize(2 * Margin, 2 * Margin));
        update();
    }

    // The page as the screen shows it, drawn afresh when page or size change.
    QImage image() const
    {
        if (!m_page || m_pixels.isEmpty())
            return QImage();
        const qreal ratio = devicePixelRatioF();
        if (m_cache.isNull() || m_cachedPage != m_page.get() || m_cachedSize != m_pixels || m_cachedRatio != ratio) {
            QImage img(m_pixels * ratio, QImage::Format_RGB32);
            img.fill(Qt::white);
            img.setDevicePixelRatio(ratio);
            QPainter p(&img);
            PaintTarget target;
            target.paper = QRectF(QPointF(0, 0), QSizeF(m_pixels));
            // One screen pixel at 100 %: the corners grow with the zoom like everything else.
            target.cornerMm = 25.4 / m_dpi;
            paintPage(p, *m_page, target);
            p.end();
            m_cache = img;
            m_cachedPage = m_page.get();
            m_cachedSize = m_pixels;
            m_cachedRatio = ratio;
        }
        return m_cache;
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(128, 128, 128));
        if (!m_page)
            return;
        const QRect paper(QPoint(Margin, Margin), m_pixels);
        p.fillRect(paper.translated(3, 3), QColor(64, 64, 64));
        p.drawImage(paper.topLeft(), image());
        p.setPen(Qt::black);
        p.drawRect(paper.adjusted(0, 0, -1, -1));
    }

private:
    PagePtr m_page;
    QSize m_pixels;
    double m_dpi = 96;
    mutable QImage m_cache;
    mutable const Page *m_cachedPage = nullptr;
    mutable QSize m_cachedSize;
    mutable qreal m_cachedRatio = 0;
};

PreviewWindow::PreviewWindow(PrinterSettings &settings, const QString &reportTitle, QWidget *parent)
    : QWidget(parent, Qt::Window), m_settings(settings)
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(reportTitle.isEmpty() ? QStringLiteral("Print Preview") : reportTitle);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::StrongFocus);

    auto *bar = new QWidget(this);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(1);
    struct Def
    {
        Tool tool;
        PreviewIcon icon;
        const char *hint;
    };
    static const Def defs[] = {
        {ZoomFit, PreviewIcon::ZoomFit, "Zoom to fit"},
        {Zoom100, PreviewIcon::Zoom100, "100%"},
        {ZoomWidth, PreviewIcon::ZoomWidth, "Zoom to width"},
        {FirstPage, PreviewIcon::FirstPage, "First page"},
        {PriorPage, PreviewIcon::PriorPage, "Previous page"},
        {NextPage, PreviewIcon::NextPage, "Next page"},
        {LastPage, PreviewIcon::LastPage, "Last page"},
        {GoToPage, PreviewIcon::GoToPage, "Go to page"},
        {PrinterSetup, PreviewIcon::PrinterSetup, "Printer setup"},
        {Print, PreviewIcon::Print, "Print"},
        {SaveReport, PreviewIcon::Save, "Save Report"},
        {LoadReport, PreviewIcon::Load, "Load Report"},
    };
    auto divider = [&] {
        auto *line = new QFrame(bar);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        row->addSpacing(3);
        row->addWidget(line);
        row->addSpacing(3);
    };
    for (const Def &d : defs) {
        if (d.tool == FirstPage || d.tool == PrinterSetup || d.tool == SaveReport)
            divider();
        const QString hint = QString::fromLatin1(d.hint);
        auto *b = new FlatButton(previewIcon(d.icon), hint, bar);
        b->setToolTip(hint);
        b->setIconSize(QSize(16, 16));
        b->setFixedSize(26, 26);
        m_tools[size_t(d.tool)] = b;
        row->addWidget(b);
    }
    divider();
    m_tools[Close] = new FlatButton(QStringLiteral("&Close"), bar);
    m_tools[Close]->setFixedHeight(26);
    row->addWidget(m_tools[Close]);
    row->addStretch(1);

    auto *zoomGroup = new QButtonGroup(this);
    zoomGroup->setExclusive(true);
    for (Tool t : {ZoomFit, Zoom100, ZoomWidth}) {
        tool(t)->setCheckable(true);
        zoomGroup->addButton(tool(t));
    }
    tool(ZoomWidth)->setChecked(true);
    tool(PrinterSetup)->setEnabled(false);

    auto on = [this](Tool t, void (PreviewWindow::*slot)()) {
        connect(tool(t), &QToolButton::clicked, this, [this, slot] { guarded([&] { (this->*slot)(); }); });
    };
    on(ZoomFit, &PreviewWindow::zoomToFit);
    on(Zoom100, &PreviewWindow::zoom100);
    on(ZoomWidth, &PreviewWindow::zoomToWidth);
    connect(tool(FirstPage), &QToolButton::clicked, this, [this] { showPage(1); });
    connect(tool(PriorPage), &QToolButton::clicked, this, [this] { showPage(m_current - 1); });
    connect(tool(NextPage), &QToolButton::clicked, this, [this] { showPage(m_current + 1); });
    connect(tool(LastPage), &QToolButton::clicked, this, [this] { showPage(pageCount()); });
    on(GoToPage, &PreviewWindow::goToPage);
    on(PrinterSetup, &PreviewWindow::printerSetup);
    on(Print, &PreviewWindow::print);
    on(SaveReport, &PreviewWindow::saveReport);
    on(LoadReport, &PreviewWindow::loadReport);
    connect(tool(Close), &QToolButton::clicked, this, &QWidget::close);

    m_scroll = new QScrollArea(this);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new PageView(m_scroll);
    m_scroll->setWidget(m_view);
    m_scroll->setWidgetResizable(false);

    m_status = new QStatusBar(this);
    m_progress = new QLabel(QStringLiteral("0%"), m_status);
    m_progress->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_progress->setMinimumWidth(50);
    m_pageLabel = new QLabel(QStringLiteral("Page"), m_status);
    m_status->addWidget(m_progress, 0);
    m_status->addWidget(m_pageLabel, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll, 1);
    layout->addWidget(m_status);

    resize(500, 500);
    centreOnScreen(this);
    updateView();
}

PreviewWindow::~PreviewWindow() = default;

double PreviewWindow::screenDpi() const
{
    const QScreen *s = screen();
    return s ? s->logicalDotsPerInchY() : 96;
}

QSizeF PreviewWindow::paperOnShow() const
{
    if (m_current >= 1 && m_current <= pageCount())
        return m_pages[size_t(m_current - 1)]->paper;
    if (!m_pages.empty())
        return m_pages.front()->paper;
    return QSizeF(210, 297);
}

QSize PreviewWindow::pageSizeAt100() const
{
    const QSizeF paper = paperOnShow();
    const double dpi = screenDpi();
    return QSize(int(std::lround(paper.width() / 25.4 * dpi)), int(std::lround(paper.height() / 25.4 * dpi)));
}

// Scroll bars come and go with the zoom; measured with them, zooming to the
// width of a page that needs one would give a smaller zoom than on opening.
QSize PreviewWindow::viewSize() const { return m_scroll->maximumViewportSize(); }

QImage PreviewWindow::renderedPage() const { return m_view->image(); }

QString PreviewWindow::progressText() const { return m_progress->text(); }

QString PreviewWindow::pageText() const { return m_pageLabel->text(); }

void PreviewWindow::beginRun()
{
    m_running = true;
    tool(PrinterSetup)->setEnabled(false);
}

void PreviewWindow::pageReady(const PagePtr &page)
{
    if (m_loaded)
        return;
    m_pages.push_back(page);
    if (pageCount() == m_current)
        applyZoomMode();
    updateView();
    updatePageText();
    Q_EMIT pageAdded(pageCount());
}

void PreviewWindow::progress(int percent)
{
    if (percent == 0 || percent == 100) {
        m_progress->clear();
        m_lastProgress = percent;
    } else if (percent - m_lastProgress >= 5) {
        m_progress->setText(QString::number(percent) + QLatin1Char('%'));
        m_lastProgress = percent;
    }
}

void PreviewWindow::endRun()
{
    m_running = false;
    tool(PrinterSetup)->setEnabled(!m_loaded);
    updatePageText();
}

void PreviewWindow::updatePageText()
{
    if (m_pages.empty())
        return;
    m_pageLabel->setText(QStringLiteral("Page %1 of %2").arg(m_current).arg(pageCount()));
}

void PreviewWindow::updateView()
{
    const PagePtr page = (m_current >= 1 && m_current <= pageCount()) ? m_pages[size_t(m_current - 1)] : PagePtr();
    const QSize full = pageSizeAt100();
    const QSize pixels(std::max(1, int(std::lround(full.width() * m_zoom / 100.0))),
                       std::max(1, int(std::lround(full.height() * m_zoom / 100.0))));
    m_view->setPage(page, pixels, screenDpi());
}

void PreviewWindow::showPage(int number)
{
    if (number < 1 || number > pageCount())
        return;
    m_current = number;
    updateView();
    m_scroll->horizontalScrollBar()->setValue(0);
    m_scroll->verticalScrollBar()->setValue(0);
    updatePageText();
}

void PreviewWindow::setZoom(int percent)
{
    if (percent < 2 || percent > 2000)
        return;
    m_zoom = percent;
    updateView();
}

void PreviewWindow::applyZoomMode()
{
    const QSize page = pageSizeAt100();
    const QSize view = viewSize();
    if (page.isEmpty())
        return;
    switch (m_mode) {
    case ZoomMode::Fit:
        setZoom(int(std::min(double(view.width()) / page.width(), double(view.height()) / page.height()) * 95));
        break;
    case ZoomMode::Width:
        setZoom(int(double(view.width()) / page.width() * 90));
        break;
    case ZoomMode::Actual:
        setZoom(100);
        break;
    }
}

void PreviewWindow::zoomToFit()
{
    m_mode = ZoomMode::Fit;
    tool(ZoomFit)->setChecked(true);
    applyZoomMode();
}

void PreviewWindow::zoom100()
{
    m_mode = ZoomMode::Actual;
    tool(Zoom100)->setChecked(true);
    applyZoomMode();
}

void PreviewWindow::zoomToWidth()
{
    m_mode = ZoomMode::Width;
    tool(ZoomWidth)->setChecked(true);
    applyZoomMode();
}

void PreviewWindow::goToPage()
{
    QInputDialog box(this);
    box.setWindowTitle(QStringLiteral("Select a page from 1 to %1").arg(pageCount()));
    box.setLabelText(QStringLiteral("Go to page >>"));
    box.setInputMode(QInputDialog::TextInput);
    box.setTextValue(QStringLiteral("1"));
    int number = 1;
    if (box.exec() == QDialog::Accepted)
        number = leadingNumber(box.textValue());
    if (number < 1 || number > pageCount())
        number = 1;
    showPage(number);
}

void PreviewWindow::printerSetup()
{
    if (m_running || m_loaded)
        return;
    m_settings.setup(this, pageCount());
}

void PreviewWindow::print()
{
    // What is printed is what the preview shows: the pages of this run (or of
    // the loaded file), never a new run over whatever is current by now.
    if (m_running || m_pages.empty())
        return;
    if (!m_settings.canPrint()) {
        showMessage(QStringLiteral("Kein Drucker installiert."));
        return;
    }
    const PrintResult result = printWithProgress(m_pages, m_settings);
    if (!result.error.isEmpty())
        showMessage(result.error);
}

void PreviewWindow::saveReport()
{
    if (m_running)
        return;
    if (m_pages.empty()) {
        // A run that failed before its first page leaves nothing that is an invoice.
        showMessage(QStringLiteral("Es gibt keine Seiten zum Speichern."));
        return;
    }
    QFileDialog dialog(this, QStringLiteral("Save report"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QrpFilter, PdfFilter});
    dialog.setDefaultSuffix(QStringLiteral("QRP"));
    // Where the last invoice went; the first time, where the program was started.
    dialog.setDirectory(rememberedFolder(QStringLiteral("bericht"), QDir::currentPath()));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString &filter) {
        dialog.setDefaultSuffix(filter == PdfFilter ? QStringLiteral("pdf") : QStringLiteral("QRP"));
    });
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The file type chosen last decides the extension a bare name gets.
    const bool pdfType = dialog.selectedNameFilter() == PdfFilter;
    dialog.setDefaultSuffix(pdfType ? QStringLiteral("pdf") : QStringLiteral("QRP"));
    if (dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    const bool pdf = pdfType || path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    if (savePages(path, pdf))
        rememberFolderOf(QStringLiteral("bericht"), path);
}

bool PreviewWindow::savePages(const QString &path, bool asPdf)
{
    QString error;
    const bool ok = asPdf ? writePdf(m_pages, path, &error, windowTitle()) : writeReportFile(m_pages, path, &error);
    if (!ok)
        showMessage(error);
    return ok;
}

void PreviewWindow::loadReport()
{
    if (m_running)
        return;
    QFileDialog dialog(this, QStringLiteral("Load report"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Any name may be typed; one that does not exist gets its own message.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QrpFilter);
    dialog.setDefaultSuffix(QStringLiteral("QRP"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    loadPages(dialog.selectedFiles().constFirst());
}

bool PreviewWindow::loadPages(const QString &path)
{
    if (m_running)
        return false;
    if (!QFileInfo::exists(path)) {
        showMessage(QStringLiteral("File does not exist"));
        return false;
    }
    LoadResult loaded = readReportFile(path);
    if (!loaded.ok) {
        showMessage(loaded.error);
        return false;
    }
    m_pages = std::move(loaded.pages);
    m_loaded = true;
    m_current = 0;
    tool(PrinterSetup)->setEnabled(false);
    tool(Print)->setEnabled(true);
    if (m_pages.empty()) {
        m_pageLabel->setText(QStringLiteral("Page"));
        updateView();
        return true;
    }
    m_current = 1;
    applyZoomMode();
    showPage(1);
    return true;
}

void PreviewWindow::keyPressEvent(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        break;
    case Qt::Key_PageUp:
        showPage(ctrl ? 1 : m_current - 1);
        break;
    case Qt::Key_PageDown:
        showPage(ctrl ? pageCount() : m_current + 1);
        break;
    case Qt::Key_Home:
        showPage(1);
        break;
    case Qt::Key_End:
        showPage(pageCount());
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PreviewWindow::closeEvent(QCloseEvent *event)
{
    if (m_running)
        Q_EMIT cancelRequested();
    event->accept();
    Q_EMIT closed();
}

void PreviewWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // A fitted page keeps fitting the window it is shown in.
    if (m_mode != ZoomMode::Actual)
        applyZoomMode();
}

} // namespace rpt
