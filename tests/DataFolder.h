#pragma once

#include "platform/CodePage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The program's folder of a window test: a temporary folder by default, and the files a test puts
// there or reads back, in GBK as the monitor keeps them.
struct DataFolder {
    QString path(const QString& name) const { return QDir(dataDir).filePath(name); }

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void writeGbk(const QString& name, const QString& text) { writeFile(name, CodePage::toGbk(text)); }

    QByteArray readFile(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString readGbk(const QString& name) const { return CodePage::fromGbk(readFile(name)); }

    QTemporaryDir dir;
    QString dataDir = dir.path(); // the program's folder; a test may put it elsewhere before start()
};
