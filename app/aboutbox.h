#pragma once

#include <QDialog>

class QLabel;

// The About box: the logo, who made the program, how to reach her, the version.
class AboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit AboutBox(QWidget *parent = nullptr);

    QLabel *logo = nullptr;
    QLabel *creditLine = nullptr;
    QLabel *contactLine = nullptr;
    QLabel *versionLabel = nullptr;
    QLabel *databasePath = nullptr;

    // The open database, shown on the box's last line.
    void setDatabaseFile(const QString &file);

protected:
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};
