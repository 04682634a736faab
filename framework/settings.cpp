#include "framework/settings.h"

#include <QFileInfo>

QString rememberedFolder(const QString &key, const QString &fallback)
{
    const QString folder = ProgramSettings().value(QStringLiteral("ordner/") + key).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : fallback;
}

void rememberFolderOf(const QString &key, const QString &path)
{
    const QFileInfo info(path);
    ProgramSettings().setValue(QStringLiteral("ordner/") + key, info.isDir() ? info.absoluteFilePath() : info.absolutePath());
}
