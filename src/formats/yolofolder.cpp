#include "yolofolder.h"

#include "formats/fileio.h"
#include "formats/imagefolder.h"
#include "images/imagelist.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace YoloFolder {

namespace {

// Enough requests in flight to keep a disk busy; parsing is far cheaper than waiting.
constexpr int ReaderThreads = 16;
// Below this many files, starting threads costs more than it saves.
constexpr int FilesPerThread = 256;

// The file name of path without its last dot-suffix, as FileIo::baseName gives it.
QStringView baseNameOf(const QString &path)
{
    const QStringView name = QStringView(path).mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    return dot < 0 ? name : name.left(dot);
}

// Paths in natural order of their base names.
QStringList sortedByName(const QStringList &paths)
{
    QVector<QStringView> names;
    names.reserve(paths.size());
    for (const QString &path : paths)
        names.append(baseNameOf(path));
    QStringList sorted;
    sorted.reserve(paths.size());
    // Made again in that order, so that a load's strings lie in memory in the order
    // they are used and freed.
    for (const int i : FileIo::naturalOrder(names))
        sorted.append(QString(paths.at(i).constData(), paths.at(i).size()));
    return sorted;
}

// Calls read(i, buffer) for every i below count on a few threads, each with a
// buffer of its own, emptied before each call; stops early when progress asks.
template <typename Read> void readEach(int count, Progress *progress, const Read &read)
{
    std::atomic<int> next{0};
    auto work = [count, &next, progress, &read] {
        QByteArray bytes;
        for (int i = next++; i < count; i = next++) {
            if (progress && progress->cancel.load(std::memory_order_relaxed))
                return;
            bytes.clear();
            read(i, bytes);
            if (progress)
                progress->done.fetch_add(1, std::memory_order_relaxed);
        }
    };
    const int threads = std::clamp(count / FilesPerThread, 1, ReaderThreads);
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread &thread : pool)
        thread.join();
}

} // namespace

QVector<LabelFile> readLabelFolder(const QString &txtPath, Progress *progress, const QString &skipName, bool byName)
{
    QStringList paths;
    // Directories named like label files are no label files.
    QDirIterator it(txtPath, {QStringLiteral("*.txt")}, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        QString path = it.next();
        if (skipName.isEmpty() || it.fileName() != skipName)
            paths.append(std::move(path));
    }
    if (byName)
        paths = sortedByName(paths);
    QVector<LabelFile> files;
    files.reserve(paths.size());
    for (const QString &path : qAsConst(paths)) {
        LabelFile file;
        file.labelPath = path;
        file.baseName = baseNameOf(path).toString();
        files.append(std::move(file));
    }
    if (progress)
        progress->total = files.size();
    if (files.isEmpty())
        return files;

    // Detached once here, so that the threads only ever touch their own elements.
    LabelFile *const entries = files.data();
    readEach(files.size(), progress, [entries](int i, QByteArray &bytes) {
        const bool read = FileIo::readFile(entries[i].labelPath, bytes);
        entries[i].read = YoloLabelFile::parse(bytes);
        // Listed but not readable (no permission, an I/O error): never an empty file.
        entries[i].read.unreadable = !read;
        entries[i].read.whole &= read;
    });
    return files;
}

QVector<PredictionFile> readPredictionFolder(const QString &path)
{
    QVector<PredictionFile> files;
    QDirIterator it(path, {QStringLiteral("*.txt")}, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        PredictionFile file;
        file.path = it.next();
        file.baseName = baseNameOf(file.path).toString();
        files.append(std::move(file));
    }
    PredictionFile *const entries = files.data();
    readEach(files.size(), nullptr, [entries](int i, QByteArray &bytes) {
        entries[i].unreadable = !FileIo::readFile(entries[i].path, bytes);
        entries[i].predictions = YoloLabelFile::parsePredictions(bytes, &entries[i].badLines);
    });
    return files;
}

Scan scan(const QString &txtPath, const QString &imagePath, Progress *progress, const QString &skipName, bool byName)
{
    Scan result;
    // The image folder is listed while the label files are read: both wait on the disk.
    std::unique_ptr<ImageFolder> images;
    std::thread lister([&images, &imagePath] { images = std::make_unique<ImageFolder>(imagePath); });
    result.files = readLabelFolder(txtPath, progress, skipName, byName);
    lister.join();

    result.imagePaths.reserve(result.files.size());
    for (LabelFile &file : result.files) {
        result.imagePaths.append(images->take(file.baseName));
        file.hasImage = images->lastFound();
        if (!file.hasImage)
            ++result.labelsWithoutImage;
    }
    result.unlabelledImages = images->untakenPaths();
    if (byName)
        result.unlabelledImages = sortedByName(result.unlabelledImages);
    result.imagesWithoutLabel = result.unlabelledImages.size();
    return result;
}

void addUnlabelledImages(Scan &scan, const QString &txtPath)
{
    const QDir labels(txtPath);
    scan.files.reserve(scan.files.size() + scan.unlabelledImages.size());
    for (const QString &path : qAsConst(scan.unlabelledImages)) {
        LabelFile file;
        file.baseName = FileIo::baseName(FileIo::fileName(path));
        file.labelPath = labels.filePath(file.baseName + QStringLiteral(".txt"));
        file.hasImage = true;
        file.hasLabelFile = false;
        scan.files.append(std::move(file));
        scan.imagePaths.append(path);
    }
}

QString imageFolderFor(const QString &labels)
{
    const QString clean = QDir::cleanPath(QDir(labels).absolutePath());
    QStringList parts = clean.split(QLatin1Char('/'));
    for (int i = parts.size() - 1; i >= 0; --i) {
        if (parts.at(i) == QLatin1String("labels")) {
            parts[i] = QStringLiteral("images");
            const QString images = parts.join(QLatin1Char('/'));
            if (QFileInfo(images).isDir())
                return images;
            break;
        }
    }
    return labels;
}

QString exportFileName(const ImageInfo &image)
{
    QString name = FileIo::fileName(image.filePath);
    if (name.isEmpty())
        name = FileIo::fileName(image.fileName);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QString();
    return FileIo::baseName(name) + QStringLiteral(".txt");
}

ExportCheck checkExport(const QString &dir, const QVector<std::shared_ptr<ImageInfo>> &images, bool everyPartlyRead)
{
    ExportCheck check;
    QSet<QString> names;
    const QStringList listed = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    const QSet<QString> existing(listed.cbegin(), listed.cend());
    for (const std::shared_ptr<ImageInfo> &image : images) {
        const QString name = exportFileName(*image);
        const bool own = !image->yoloTxtFilePath.isEmpty() &&
                         QFileInfo(QDir(dir).filePath(name)) == QFileInfo(image->yoloTxtFilePath);
        if ((own || everyPartlyRead) && image->bboxes && !image->bboxes->lastReadWhole()) {
            check.partlyRead.append(image->yoloTxtFilePath);
            continue;
        }
        if (!name.isEmpty() && names.contains(name))
            check.sharedNames.append(name);
        else if (existing.contains(name))
            ++check.replaced;
        names.insert(name);
        check.rows.append(image);
    }
    return check;
}

int exportTo(const QString &dir, const QVector<std::shared_ptr<ImageInfo>> &images, std::atomic<int> *done)
{
    int written = 0;
    for (const std::shared_ptr<ImageInfo> &image : images) {
        if (done)
            ++*done;
        const QString name = exportFileName(*image);
        if (name.isEmpty())
            continue;
        const QByteArray bytes = image->bboxes ? YoloLabelFile::format(image->bboxes->boxes()) : QByteArray();
        if (FileIo::writeFile(QStringLiteral("%1/%2").arg(dir, name), bytes))
            ++written;
    }
    return written;
}

} // namespace YoloFolder
