#include "datasetsplits.h"

#include "formats/imagefolder.h"
#include "formats/yolofolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace {

bool isDir(const QString &path)
{
    return QFileInfo(path).isDir();
}

bool holdsLabelFiles(const QString &folder)
{
    return QDirIterator(folder, {QStringLiteral("*.txt")}, QDir::Files).hasNext();
}

int splitRank(const QString &name)
{
    static const QStringList order{QString(), QStringLiteral("train"), QStringLiteral("val"), QStringLiteral("valid"),
                                   QStringLiteral("test")};
    const int rank = order.indexOf(name);
    return rank < 0 ? order.size() : rank;
}

} // namespace

QVector<DatasetSplits::Split> DatasetSplits::find(const QString &folder)
{
    QVector<Split> found;
    const QDir root(folder);
    if (folder.trimmed().isEmpty() || !isDir(folder))
        return found;
    const QString images = root.filePath(QStringLiteral("images"));
    const QString labels = root.filePath(QStringLiteral("labels"));
    if (isDir(images) && isDir(labels)) {
        const QDir labelDir(labels);
        if (holdsLabelFiles(labels))
            found.append({QString(), images, labels});
        for (const QString &sub : labelDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            if (isDir(QDir(images).filePath(sub)))
                found.append({sub, QDir(images).filePath(sub), labelDir.filePath(sub)});
        }
        if (found.isEmpty())
            found.append({QString(), images, labels});
    }
    for (const QString &sub : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir split(root.filePath(sub));
        if (isDir(split.filePath(QStringLiteral("images"))) && isDir(split.filePath(QStringLiteral("labels"))))
            found.append({sub, split.filePath(QStringLiteral("images")), split.filePath(QStringLiteral("labels"))});
    }
    if (found.isEmpty() && holdsLabelFiles(folder))
        found.append({QString(), YoloFolder::imageFolderFor(folder), folder});
    if (found.isEmpty() && !ImageFolder(folder).untakenPaths().isEmpty())
        found.append({QString(), folder, QString()});
    std::stable_sort(found.begin(), found.end(),
                     [](const Split &a, const Split &b) { return splitRank(a.name) < splitRank(b.name); });
    return found;
}

QString DatasetSplits::datasetOf(const QString &labels)
{
    const QFileInfo folder(QDir::cleanPath(QDir(labels).absolutePath()));
    const QFileInfo parent(folder.absolutePath());
    if (folder.fileName() == QLatin1String("labels")) {
        // "S/labels" of a data set whose splits are folders of their own.
        const QString above = parent.absolutePath();
        for (const Split &split : find(above)) {
            if (QFileInfo(split.labels) == folder)
                return above;
        }
        return parent.filePath();
    }
    if (parent.fileName() == QLatin1String("labels"))
        return parent.absolutePath();
    return folder.filePath();
}
