#ifndef BOXMERE_TESTS_TESTFILES_H
#define BOXMERE_TESTS_TESTFILES_H

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Small file helpers for tests that build folders in a temporary directory.
namespace TestFiles {

inline bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace TestFiles

#endif
