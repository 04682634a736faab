// The program's windows under a real window manager (openbox on Xvfb, see
// run-under-openbox.sh): the frames they ask for, the sizes they end up
// with, and what the title-bar commands and the border do to them.

#include "app/aboutbox.h"
#include "app/running.h"
#include "data/amount.h"
#include "controls/dbgrid.h"
#include "dialogs/customerdialog.h"
#include "dialogs/customersearch.h"
#include "framework/flatbutton.h"
#include "uitest.h"
#include "x11.h"

#include <QAction>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>
#include <QtTest>
#include <functional>

using uitest::whileModal;

namespace {

const char *const Data = R"(
INSERT INTO kunde (id, name, name2) VALUES (1, 'Gärtnerei Arnold', 'Arno Arnold'), (2, 'Vivai Garbini', 'Gino Garbini');
INSERT INTO rechnungsdaten2004 (nr, kundennummer) VALUES ('1', '1'), ('2', '1');
)";

xcb_window_t xid(const QWidget *w) { return xcb_window_t(w->winId()); }

// The program with its main window up and framed by the window manager.
struct Framed : Running
{
    Framed() : Running(QString::fromUtf8(Data))
    {
        framed = shown && QTest::qWaitFor([this] { return !x.frameExtents(xid(&w())).isNull(); });
        w().activateWindow();
        framed = framed && QTest::qWaitForWindowActive(&w());
    }

    // The modal windows, and how the user opens each.
    QDialog *dialog(const QString &name)
    {
        if (name == QLatin1String("kundenedit"))
            return program.customerDialog.get();
        if (name == QLatin1String("formsuch"))
            return program.customerSearch.get();
        return program.about.get();
    }
    void open(const QString &name)
    {
        if (name == QLatin1String("kundenedit"))
            QTest::mouseClick(w().changeCustomerButton, Qt::LeftButton);
        else if (name == QLatin1String("formsuch"))
            QTest::mouseClick(w().searchButton, Qt::LeftButton);
        else
            w().aboutAction->trigger();
    }
    // Shows the window modally, waits until the window manager has framed
    // it and runs `inside`; closes it afterwards if it is still open.
    uitest::ModalRun whileFramed(const QString &name, const std::function<void(QDialog *)> &inside)
    {
        QDialog *d = dialog(name);
        return whileModal(d, [&] { open(name); }, [&] {
            QVERIFY(QTest::qWaitFor([&] { return x.viewable(xid(d)) && !x.frameExtents(xid(d)).isNull(); }));
            inside(d);
        });
    }

    x11::Display x;
    bool framed = false;
};

// Where every control of the main window's client area stands, relative to
// the window. (The menu bar spans the window, whatever its width.)
QMap<QString, QRect> controlPlaces(QMainWindow *window)
{
    QMap<QString, QRect> places;
    QList<QWidget *> all = window->centralWidget()->findChildren<QWidget *>();
    all.prepend(window->centralWidget());
    for (QWidget *c : all) {
        if (!c->isVisibleTo(window))
            continue;
        QString path = c->objectName();
        for (QWidget *p = c->parentWidget(); p && p != window; p = p->parentWidget())
            path = p->objectName() + QLatin1Char('/') + path;
        places.insert(path + QLatin1Char('@') + QString::number(quintptr(c), 16),
                      QRect(c->mapTo(window, QPoint(0, 0)), c->size()));
    }
    return places;
}

// Remembers whether a window was ever minimised.
struct MinimiseWatch : QObject
{
    explicit MinimiseWatch(QWidget *w) { w->installEventFilter(this); }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::WindowStateChange && static_cast<QWidget *>(o)->isMinimized())
            seen = true;
        return false;
    }
    bool seen = false;
};

} // namespace

class TestWindowManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init() { setUserSeparators({QLatin1Char(','), QLatin1Char('.')}); }

    void mainWindowHasAMaximiseBox();
    void maximisingLeavesEveryControlInPlace();
    void theBorderCannotBeDragged();
    void modalWindowFrames_data();
    void modalWindowFrames();
    void minimisingAModalWindowKeepsTheProgramOnScreen_data();
    void minimisingAModalWindowKeepsTheProgramOnScreen();
    void searchWindowClosesOnlyByItsCloseBox();
};

void TestWindowManager::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    x11::Display x;
    QVERIFY2(!x.property32(x.root(), "_NET_SUPPORTING_WM_CHECK").isEmpty(), "no window manager is running");
    prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
}

void TestWindowManager::mainWindowHasAMaximiseBox()
{
    Framed f;
    QVERIFY(f.framed);
    const xcb_window_t main = xid(&f.w());
    const QStringList actions = f.x.atoms(main, "_NET_WM_ALLOWED_ACTIONS");
    for (const char *a : {"_NET_WM_ACTION_MINIMIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT",
                          "_NET_WM_ACTION_CLOSE"})
        QVERIFY2(actions.contains(QLatin1String(a)), a);
    const x11::MotifHints hints = f.x.motif(main);
    for (quint32 d : {x11::DecorMenu, x11::DecorMinimize, x11::DecorMaximize})
        QVERIFY(hints.decorates(d));
    QCOMPARE(f.x.clientGeometry(main).size(), f.w().size());
    QCOMPARE(f.w().centralWidget()->size(), QSize(691, 551));
}

void TestWindowManager::maximisingLeavesEveryControlInPlace()
{
    Framed f;
    QVERIFY(f.framed);
    const xcb_window_t main = xid(&f.w());
    const QSize own = f.w().size();
    const QMap<QString, QRect> before = controlPlaces(&f.w());
    QVERIFY(before.size() > 20);

    f.x.maximise(main, true);
    QTRY_VERIFY(f.x.atoms(main, "_NET_WM_STATE").contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_HORZ")));
    QTRY_VERIFY(f.w().isMaximized());
    // It does grow (this screen is larger), and Qt has heard of it.
    QTRY_VERIFY(f.x.clientGeometry(main).width() > own.width());
    QTRY_COMPARE(f.w().size(), f.x.clientGeometry(main).size());
    const QMap<QString, QRect> after = controlPlaces(&f.w());
    QCOMPARE(after.keys(), before.keys());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));

    f.x.maximise(main, false);
    QTRY_VERIFY(!f.w().isMaximized());
    QTRY_COMPARE(f.x.clientGeometry(main).size(), own);
    QCOMPARE(controlPlaces(&f.w()), before);
}

void TestWindowManager::theBorderCannotBeDragged()
{
    // A window that can be resized grows by the same drag, so the drag does
    // reach the border.
    x11::Display x;
    QWidget probe;
    probe.resize(300, 200);
    probe.show();
    QVERIFY(QTest::qWaitForWindowExposed(&probe));
    QTRY_VERIFY(!x.frameExtents(xid(&probe)).isNull());
    const auto dragCorner = [&x](QWidget *w) {
        const QRect outer = x.outerGeometry(xid(w));
        const QPoint corner = outer.bottomRight() - QPoint(2, 2);
        x.drag(corner, corner + QPoint(60, 40));
    };
    dragCorner(&probe);
    QTRY_COMPARE(x.clientGeometry(xid(&probe)).size(), QSize(360, 240));
    probe.hide();

    Framed f;
    QVERIFY(f.framed);
    const xcb_window_t main = xid(&f.w());
    // The window is centred once more after the window manager framed it:
    // under load that can come late, so wait until it stands still.
    QRect before = f.x.clientGeometry(main);
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(100);
        const QRect now = f.x.clientGeometry(main);
        if (now == before)
            break;
        before = now;
    }
    dragCorner(&f.w());
    QTest::qWait(300);
    // What the drag must not change is the size.
    QCOMPARE(f.x.clientGeometry(main).size(), before.size());
    QCOMPARE(f.w().size(), before.size());
    QVERIFY(!f.w().isMaximized());
}

void TestWindowManager::modalWindowFrames_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("type");      // the first _NET_WM_WINDOW_TYPE
    QTest::addColumn<bool>("titleButtons"); // minimise and maximise boxes
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<bool>("resizable");
    QTest::addColumn<QSize>("clientSize"); // empty where the outer size is fixed
    QTest::addColumn<QSize>("outerSize");  // empty where the client size is fixed

    QTest::newRow("customer dialog: a title bar without buttons")
        << "kundenedit" << "_NET_WM_WINDOW_TYPE_DIALOG" << false << false << false << QSize(400, 444) << QSize();
    QTest::newRow("About box: a tool window with its close box")
        << "about" << "_NET_WM_WINDOW_TYPE_UTILITY" << false << true << false << QSize(259, 197) << QSize();
    QTest::newRow("search: an ordinary window, 680 x 448 with its frame")
        << "formsuch" << "_NET_WM_WINDOW_TYPE_NORMAL" << true << true << true << QSize() << QSize(680, 448);
}

void TestWindowManager::modalWindowFrames()
{
    QFETCH(QString, window);
    QFETCH(QString, type);
    QFETCH(bool, titleButtons);
    QFETCH(bool, closeBox);
    QFETCH(bool, resizable);
    QFETCH(QSize, clientSize);
    QFETCH(QSize, outerSize);

    Framed f;
    QVERIFY(f.framed);
    const auto run = f.whileFramed(window, [&](QDialog *d) {
        const xcb_window_t id = xid(d);
        QCOMPARE(f.x.atoms(id, "_NET_WM_WINDOW_TYPE").value(0), type);
        const x11::MotifHints hints = f.x.motif(id);
        QVERIFY(hints.decorates(x11::DecorTitle));
        // A box is offered where the window allows its function and does not
        // refuse its decoration.
        QCOMPARE(hints.allows(x11::FuncMinimize) && hints.decorates(x11::DecorMinimize), titleButtons);
        QCOMPARE(hints.allows(x11::FuncMaximize) && hints.decorates(x11::DecorMaximize), titleButtons);
        QCOMPARE(hints.allows(x11::FuncClose) && hints.decorates(x11::DecorMenu), closeBox);
        QCOMPARE(f.x.atoms(id, "_NET_WM_ALLOWED_ACTIONS").contains(QStringLiteral("_NET_WM_ACTION_RESIZE")), resizable);

        const QMargins frame = f.x.frameExtents(id);
        QVERIFY(frame.top() > frame.bottom()); // a title bar

        // Sized and centred on the screen, frame included, once the window
        // manager has told how large the frame is.
        const QPoint centre = d->screen()->availableGeometry().center();
        QRect outer;
        const bool placed = QTest::qWaitFor([&] {
            outer = f.x.outerGeometry(id);
            return (outerSize.isEmpty() || outer.size() == outerSize) && (outer.center() - centre).manhattanLength() <= 2;
        });
        QVERIFY2(placed, qPrintable(QStringLiteral("outer %1,%2 %3x%4")
                                        .arg(outer.x()).arg(outer.y()).arg(outer.width()).arg(outer.height())));
        if (!clientSize.isEmpty())
            QCOMPARE(f.x.clientGeometry(id).size(), clientSize);
        else
            QCOMPARE(d->windowHandle()->frameGeometry().size(), outerSize);
    });
    QVERIFY(run.wasModal);
}

void TestWindowManager::minimisingAModalWindowKeepsTheProgramOnScreen_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("minimiseTheMainWindow");
    QTest::newRow("customer dialog") << "kundenedit" << false;
    QTest::newRow("About box") << "about" << false;
    QTest::newRow("search") << "formsuch" << false;
    QTest::newRow("main window under the search") << "formsuch" << true;
}

void TestWindowManager::minimisingAModalWindowKeepsTheProgramOnScreen()
{
    QFETCH(QString, window);
    QFETCH(bool, minimiseTheMainWindow);

    Framed f;
    QVERIFY(f.framed);
    const xcb_window_t main = xid(&f.w());
    const auto run = f.whileFramed(window, [&](QDialog *d) {
        const xcb_window_t id = xid(d);
        MinimiseWatch watch(minimiseTheMainWindow ? static_cast<QWidget *>(&f.w()) : d);
        // The window manager does minimise it (and the main window with it);
        // right after a window shows, openbox now and then lets a request
        // pass, so it is asked again until it does ...
        for (int i = 0; i < 20 && !watch.seen; ++i) {
            f.x.minimise(minimiseTheMainWindow ? main : id);
            if (QTest::qWaitFor([&] { return watch.seen; }, 250))
                break;
        }
        QVERIFY(watch.seen);
        // ... and both are back at once, the modal window still in charge.
        const auto onScreen = [&](xcb_window_t w) {
            return f.x.viewable(w) && !f.x.atoms(w, "_NET_WM_STATE").contains(QStringLiteral("_NET_WM_STATE_HIDDEN"));
        };
        QTRY_VERIFY(onScreen(id) && onScreen(main) && !d->isMinimized() && !f.w().isMinimized());
        QCOMPARE(QApplication::activeModalWidget(), d);
    });
    QVERIFY(run.wasModal);
}

void TestWindowManager::searchWindowClosesOnlyByItsCloseBox()
{
    Framed f;
    QVERIFY(f.framed);
    CustomerSearch *s = f.program.customerSearch.get();
    const auto run = f.whileFramed(QStringLiteral("formsuch"), [&](QDialog *) {
        QTest::keyClick(s->searchText, Qt::Key_Escape);
        QTest::keyClick(s->resultList, Qt::Key_Escape);
        QTest::keyClick(s, Qt::Key_Escape);
        QTest::qWait(100);
        QVERIFY(s->isVisible());
        f.x.close(xid(s));
        QTRY_VERIFY(!s->isVisible());
    });
    QVERIFY(!run.stayedOpen);
}

QTEST_MAIN(TestWindowManager)
#include "tst_windowmanager.moc"
