#include "framework/apptitle.h"

#include "data/businesstexts.h"

#include <QCoreApplication>
#include <QFileInfo>

QString titleFromFileName(const QString &fileName)
{
    const qsizetype dot = fileName.indexOf(QLatin1Char('.'));
    const QString stem = dot < 0 ? fileName : fileName.left(dot);
    if (stem.isEmpty())
        return stem;
    // The first letter stays as the file has it; only the rest is lowered.
    return stem.left(1) + stem.mid(1).toLower();
}

QString applicationTitle()
{
    return titleFromFileName(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}

QString businessTitle(const QString &businessName)
{
    const QString name = businessName.simplified();
    return name.isEmpty() ? texts::MainCaption : name;
}
