// Texts in the windows' fonts: Wine's fonts give the widths the windows were
// laid out for, every label fits the box it was given, and no label, heading
// or caption touches or overlaps its neighbour.

#include "app/aboutbox.h"
#include "app/running.h"
#include "data/amount.h"
#include "dialogs/customerdialog.h"
#include "dialogs/customersearch.h"
#include "editor/invoiceeditor.h"
#include "framework/fonts.h"

#include <QAbstractButton>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTableView>
#include <QtTest>

namespace {

bool wineFontsInstalled()
{
    const QDir folder(QString::fromLatin1(WineFontFolder));
    return folder.exists(QStringLiteral("ms_sans_serif.ttf")) && folder.exists(QStringLiteral("tahoma.ttf"));
}

// How wide a text is drawn: its advance, or further where letters lean out.
int inkWidth(const QFont &font, const QString &text)
{
    const QFontMetrics m(font);
    return std::max(m.horizontalAdvance(text), m.boundingRect(text).right() + 1);
}

QString pathOf(const QWidget *w, const QWidget *window)
{
    QString path = w->objectName();
    for (const QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
        path = p->objectName() + QLatin1Char('/') + path;
    return path;
}

// A text on a window and where it is drawn, in its parent's coordinates.
struct Text
{
    QString where;
    QRect rect;
    const QWidget *owner;  // the widget that draws it
    const QWidget *parent; // the widget whose children are its neighbours
};

QRect textRect(const QLabel *l)
{
    const QSize size(inkWidth(l->font(), l->text()), QFontMetrics(l->font()).height());
    return QStyle::alignedRect(l->layoutDirection(), l->alignment(), size, l->contentsRect()).translated(l->pos());
}

QRect titleRect(const QGroupBox *g)
{
    QStyleOptionGroupBox option;
    option.initFrom(g);
    option.text = g->title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    // The style's place for the title, and the text drawn in it.
    const QRect place = g->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, g);
    const QSize size(inkWidth(g->font(), g->title()), QFontMetrics(g->font()).height());
    return QStyle::alignedRect(g->layoutDirection(), Qt::AlignLeft | Qt::AlignVCenter, size, place);
}

QList<Text> textsOf(const QWidget *window)
{
    QList<Text> texts;
    const QList<QWidget *> all = window->findChildren<QWidget *>();
    for (const QWidget *w : all) {
        if (!w->isVisibleTo(window) || !w->parentWidget())
            continue;
        if (const auto *l = qobject_cast<const QLabel *>(w); l && !l->text().isEmpty())
            texts << Text{pathOf(l, window), textRect(l), l, l->parentWidget()};
        if (const auto *g = qobject_cast<const QGroupBox *>(w); g && !g->title().isEmpty()) {
            // Neighbours of a title: the box's own controls, and the box's siblings.
            const QRect title = titleRect(g);
            texts << Text{pathOf(g, window) + QStringLiteral(" (title)"), title, g, g};
            texts << Text{pathOf(g, window) + QStringLiteral(" (title)"), title.translated(g->pos()), g,
                          g->parentWidget()};
        }
    }
    return texts;
}

// Every text that touches or overlaps a neighbour; "" when none does.
QStringList crowdedTexts(const QWidget *window)
{
    QStringList crowded;
    const QList<Text> texts = textsOf(window);
    for (const Text &t : texts) {
        const QRect around = t.rect.adjusted(-1, -1, 1, 1);
        for (const QWidget *n : t.parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (n == t.owner || !n->isVisibleTo(window) || n->isWindow())
                continue;
            // A label's neighbour is its text, not the box it was given.
            QRect other = n->geometry();
            if (const auto *l = qobject_cast<const QLabel *>(n); l && !l->text().isEmpty())
                other = textRect(l);
            if (around.intersects(other))
                crowded << t.where + QStringLiteral(" touches ") + pathOf(n, window);
        }
    }
    return crowded;
}

// Captions wider than the control that shows them.
QStringList cutCaptions(const QWidget *window)
{
    QStringList cut;
    const QList<QWidget *> all = window->findChildren<QWidget *>();
    for (const QWidget *w : all) {
        if (!w->isVisibleTo(window))
            continue;
        if (const auto *b = qobject_cast<const QAbstractButton *>(w); b && !b->text().isEmpty()) {
            if (inkWidth(b->font(), b->text()) + 4 > b->width())
                cut << pathOf(b, window);
        } else if (const auto *g = qobject_cast<const QGroupBox *>(w); g && !g->title().isEmpty()) {
            if (titleRect(g).right() >= g->width())
                cut << pathOf(g, window);
        } else if (const auto *t = qobject_cast<const QTabBar *>(w)) {
            for (int i = 0; i < t->count(); ++i)
                if (inkWidth(t->font(), t->tabText(i).trimmed()) > t->tabRect(i).width())
                    cut << pathOf(t, window) + QLatin1Char('/') + t->tabText(i).trimmed();
        } else if (const auto *v = qobject_cast<const QTableView *>(w); v && v->horizontalHeader()->isVisibleTo(window)) {
            const QHeaderView *h = v->horizontalHeader();
            for (int i = 0; i < h->count(); ++i) {
                const QString title = v->model()->headerData(i, Qt::Horizontal).toString();
                if (inkWidth(h->font(), title) + 4 > h->sectionSize(i))
                    cut << pathOf(v, window) + QLatin1Char('/') + title;
            }
        }
    }
    return cut;
}

} // namespace

class TestWindowTexts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }
    void init() { setUserSeparators({QLatin1Char(','), QLatin1Char('.')}); }

    void windowsFontsFromWine_data();
    void windowsFontsFromWine();
    void labelsFitTheirBoxes_data();
    void labelsFitTheirBoxes();
    void noTextTouchesItsNeighbour_data();
    void noTextTouchesItsNeighbour();
};

void TestWindowTexts::windowsFontsFromWine_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("drawnWith");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width"); // 0: not measured

    // The widths the windows were laid out with.
    QTest::newRow("MS Sans Serif: Ausgewählte Rechnung:")
        << "MS Sans Serif" << false << "MS Sans Serif" << QStringLiteral("Ausgewählte Rechnung:") << 117;
    QTest::newRow("MS Sans Serif: Letzte Rechnugsnummer:")
        << "MS Sans Serif" << false << "MS Sans Serif" << QStringLiteral("Letzte Rechnugsnummer:") << 121;
    // Wine's MS Sans Serif has no bold of its own; Tahoma's is a real one.
    QTest::newRow("MS Sans Serif bold") << "MS Sans Serif" << true << "Tahoma" << QString() << 0;
    QTest::newRow("Microsoft Sans Serif") << "Microsoft Sans Serif" << false << "Tahoma" << QString() << 0;
    QTest::newRow("Verdana") << "Verdana" << false << "DejaVu Sans" << QString() << 0;
    QTest::newRow("Arial") << "Arial" << false << "Liberation Sans" << QString() << 0;
}

void TestWindowTexts::windowsFontsFromWine()
{
    QFETCH(QString, family);
    QFETCH(bool, bold);
    QFETCH(QString, drawnWith);
    QFETCH(QString, text);
    QFETCH(int, width);
    if (!wineFontsInstalled())
        QSKIP("fonts-wine is not installed (scripts/deps.sh installs it)");

    const QFont font = windowsFont(family, 8, bold);
    const QFontInfo info(font);
    QCOMPARE(info.family(), drawnWith);
    QCOMPARE(info.bold(), bold);
    if (width)
        QCOMPARE(QFontMetrics(font).horizontalAdvance(text), width);
    // Where Wine's fonts are missing, Liberation Sans stands in.
    if (family.contains(QLatin1String("Sans Serif")))
        QVERIFY(QFont::substitutes(family).contains(QStringLiteral("liberation sans"), Qt::CaseInsensitive));
}

void TestWindowTexts::labelsFitTheirBoxes_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("width");

    // The main window's labels and their widths in the layout. (The other
    // windows' labels size themselves; the headings in Verdana are drawn
    // with DejaVu Sans, a few pixels wider, and grow into empty space.)
    QTest::newRow("An") << "Label1" << 42;
    QTest::newRow("Name") << "Label2" << 42;
    QTest::newRow("Name eff.") << "Label4" << 50;
    QTest::newRow("P.IVA:") << "Label5" << 30;
    QTest::newRow("hint above the invoices") << "Label11" << 272;
    QTest::newRow("Letzte Rechnugsnummer:") << "Label3" << 121;
    QTest::newRow("Ausgewählte Rechnung:") << "Label12" << 117;
}

void TestWindowTexts::labelsFitTheirBoxes()
{
    QFETCH(QString, label);
    QFETCH(int, width);
    if (!wineFontsInstalled())
        QSKIP("fonts-wine is not installed (scripts/deps.sh installs it)");

    Running r{QString()};
    QVERIFY(r.shown);
    auto *l = r.w().findChild<QLabel *>(label);
    QVERIFY(l);
    const int drawn = inkWidth(l->font(), l->text());
    QVERIFY2(drawn <= width, qPrintable(QStringLiteral("%1 px").arg(drawn)));
}

void TestWindowTexts::noTextTouchesItsNeighbour_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("main window") << "frmmain";
    QTest::newRow("customer dialog") << "kundenedit";
    QTest::newRow("search") << "formsuch";
    QTest::newRow("About box") << "about";
    QTest::newRow("invoice editor") << "editrechnung";
}

void TestWindowTexts::noTextTouchesItsNeighbour()
{
    QFETCH(QString, window);
    if (!wineFontsInstalled())
        QSKIP("fonts-wine is not installed (scripts/deps.sh installs it)");

    Running r{QString()};
    QVERIFY(r.shown);
    Program &p = r.program;
    QWidget *w = window == QLatin1String("frmmain")      ? static_cast<QWidget *>(p.mainWindow.get())
                 : window == QLatin1String("kundenedit") ? static_cast<QWidget *>(p.customerDialog.get())
                 : window == QLatin1String("formsuch")   ? static_cast<QWidget *>(p.customerSearch.get())
                 : window == QLatin1String("about")      ? static_cast<QWidget *>(p.about.get())
                                                         : static_cast<QWidget *>(p.invoiceEditor.get());
    // Styled as when it shows.
    w->ensurePolished();
    for (QWidget *c : w->findChildren<QWidget *>())
        c->ensurePolished();

    const QStringList crowded = crowdedTexts(w);
    QVERIFY2(crowded.isEmpty(), qPrintable(crowded.join(QStringLiteral("; "))));
    const QStringList cut = cutCaptions(w);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
}

QTEST_MAIN(TestWindowTexts)
#include "tst_windowtexts.moc"
