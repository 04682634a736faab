#include "aboutbox.h"

#include "data/businesstexts.h"
#include "framework/fonts.h"
#include "framework/jpeg.h"
#include "framework/widgets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QShowEvent>

namespace {

QLabel *maroonLabel(QWidget *parent, const char *name, const QString &text, int top)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8));
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(128, 0, 0));
    l->setPalette(p);
    l->move(16, top);
    l->adjustSize();
    l->setAccessibleName(text);
    return l;
}

} // namespace

AboutBox::AboutBox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("about"));
    setWindowTitle(QStringLiteral("about"));
    // A tool window with nothing but its close box.
    setWindowFlags(Qt::Dialog | Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(259, 197);
    setModal(true);

    logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("bildabout"));
    logo->setGeometry(16, 8, 233, 113);
    logo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    logo->setAccessibleName(QStringLiteral("Logo der Gärtnerei"));
    QFile picture(QStringLiteral(":/logo.jpg"));
    if (picture.open(QIODevice::ReadOnly)) {
        QImage image = decodeJpeg(picture.readAll());
        // Drawn at its own size; only a picture larger than the box is scaled down.
        if (image.width() > logo->width() || image.height() > logo->height())
            image = image.scaled(logo->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        logo->setPixmap(QPixmap::fromImage(image));
    }

    creditLine = maroonLabel(this, "Label3", texts::CreditLine, 136);
    contactLine = maroonLabel(this, "Label1", texts::ContactMail, 152);
    versionLabel = maroonLabel(this, "Label2", texts::Version, 168);
    // Below the version, in the box's free bottom strip, so the box keeps its size.
    databasePath = new QLabel(this);
    databasePath->setObjectName(QStringLiteral("databasePath"));
    databasePath->setFont(windowsFont(QStringLiteral("MS Sans Serif"), 7));
    databasePath->setGeometry(16, 182, 233, 15);
}

void AboutBox::setDatabaseFile(const QString &file)
{
    const QString path = QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
    databasePath->setText(databasePath->fontMetrics().elidedText(QStringLiteral("Datenbank: ") + path, Qt::ElideMiddle,
                                                                databasePath->width()));
    databasePath->setAccessibleName(QStringLiteral("Datenbank: ") + path);
}

void AboutBox::showEvent(QShowEvent *e)
{
    // Centred on the screen, not on the window that opened it; and only when
    // opened, not when brought back from being minimised.
    if (!e->spontaneous())
        centreOnScreen(this);
    QDialog::showEvent(e);
}

void AboutBox::keyPressEvent(QKeyEvent *e)
{
    // It closes only through its close box (or the system's close command).
    if (!swallowDialogKey(e))
        QDialog::keyPressEvent(e);
}
