#pragma once

#include "app/main.h"
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
        program.frmmain->show();
        shown = QTest::qWaitForWindowExposed(program.frmmain.get());
    }
    ~Running() { QDir::setCurrent(QDir::tempPath()); }
    Tfrmmain &w() { return *program.frmmain; }
    QString scalar(const QString &sql) const { return db.scalar(sql); }

    testdb::Fixture db;
    Program program;
    bool shown = false;
};
