#pragma once

#include "app/mainwindow.h"
#include "app/program.h"
#include "testdb.h"

#include <QDir>
#include <QTest>

// A database in a folder of its own, made the working directory, and the
// program's windows on it.
struct Running
{
    explicit Running(const QString &sql) : db(sql)
    {
        QDir::setCurrent(db.dir());
        program.create();
        program.mainWindow->show();
        shown = QTest::qWaitForWindowExposed(program.mainWindow.get());
    }
    ~Running() { QDir::setCurrent(QDir::tempPath()); }
    MainWindow &w() { return *program.mainWindow; }
    QString scalar(const QString &sql) const { return db.scalar(sql); }

    testdb::Fixture db;
    Program program;
    bool shown = false;
};
