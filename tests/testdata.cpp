#include "testdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

static QString photoFolder()
{
    return qEnvironmentVariable("LABELME_EXAMPLES", "/usr/share/doc/labelme-examples/examples") +
           "/instance_segmentation/data_dataset_coco/JPEGImages/";
}

QString TestData::makeFolderPair()
{
    const QString photos = photoFolder();
    m_dirs.push_back(std::make_unique<QTemporaryDir>());
    const QDir dir(m_dirs.back()->path());
    dir.mkpath("images");
    dir.mkpath("labels");
    const QStringList sources{"2011_000003.jpg", "2011_000006.jpg", "2011_000025.jpg"};
    const QStringList names{"a", "b", "c"};
    for (int i = 0; i < sources.size(); ++i) {
        if (!QFile::copy(photos + sources[i], dir.filePath("images/" + names[i] + ".jpg")))
            return QString();
    }
    writeFile(dir.filePath("labels/a.txt"), "1 0.5 0.5 0.2 0.4\r\n");
    writeFile(dir.filePath("labels/b.txt"), "1 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2");
    // A score after the five fields: not something the tool may drop on its own.
    writeFile(dir.filePath("labels/c.txt"), "1 0.5 0.5 0.3 0.3 0.87");
    writeFile(dir.filePath("labels/d.txt"), "1 0.5 0.5 0.3 0.3");
    return dir.path();
}

QString TestData::makeDataset()
{
    const QString photos = photoFolder();
    m_dirs.push_back(std::make_unique<QTemporaryDir>());
    const QDir dir(m_dirs.back()->path());
    for (const char *sub : {"images/train", "labels/train", "images/val", "labels/val"})
        dir.mkpath(sub);
    writeFile(dir.filePath("data.yaml"),
              "path: .\ntrain: images/train\nval: images/val\nnames:\n  0: person\n  1: car\n");
    QFile photo(photos + "2011_000006.jpg");
    if (!QFile::copy(photos + "2011_000003.jpg", dir.filePath("images/train/a.jpg")) ||
        !photo.open(QIODevice::ReadOnly) ||
        !QImage(photos + "2011_000025.jpg").save(dir.filePath("images/train/c.png")) ||
        !QFile::copy(photos + "2011_000003.jpg", dir.filePath("images/val/v.jpg")) ||
        !QFile::copy(photos + "2011_000025.jpg", dir.filePath("images/train/e.jpg")))
        return QString();
    QFile cut(dir.filePath("images/train/b.jpg"));
    if (!cut.open(QIODevice::WriteOnly) || cut.write(photo.read(photo.size() / 2)) < 0)
        return QString();
    cut.close();
    writeFile(dir.filePath("labels/train/a.txt"), "0 0.5 0.5 0.2 0.4");
    writeFile(dir.filePath("labels/train/b.txt"), "1 0.5 0.5 0.2 0.4");
    writeFile(dir.filePath("labels/train/c.txt"), "0 0.5 0.5 0.2 0.4\n1 0.2 0.2 0.1 0.1\n5 0.5 0.5 0.1 0.1");
    writeFile(dir.filePath("labels/train/d.txt"), "0 0.5 0.5 0.2 0.4");
    writeFile(dir.filePath("labels/val/v.txt"), "1 0.5 0.5 0.2 0.4");
    return dir.path();
}

QString TestData::readFile(const QString &path) const
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
}

bool TestData::writeFile(const QString &path, const QString &text) const
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
}

bool TestData::exists(const QString &path) const
{
    return QFileInfo::exists(path);
}

bool TestData::remove(const QString &path) const
{
    return QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path);
}
