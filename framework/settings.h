#pragma once

#include <QSettings>
#include <QString>

// The user's own settings: Rechnung/Rechnung.ini in the XDG config folder
// (~/.config unless $XDG_CONFIG_HOME says otherwise). Nothing goes beside the
// executable, which an installed program may not write to anyway.
class ProgramSettings : public QSettings
{
public:
    ProgramSettings() : QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Rechnung"), QStringLiteral("Rechnung")) {}
};

// The folder a file dialog of the kind `key` starts in: the one chosen last
// time, while it still exists, otherwise `fallback`.
QString rememberedFolder(const QString &key, const QString &fallback);
// Remembers the folder of `path` (a file, or a folder itself) for `key`.
void rememberFolderOf(const QString &key, const QString &path);
