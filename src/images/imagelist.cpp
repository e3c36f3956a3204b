#include "imagelist.h"

#include "app/logging.h"
#include "boxes/yololabelfile.h"
#include "checks/datasetcheck.h"
#include "formats/cocoimport.h"
#include "formats/fileio.h"
#include "formats/imagefolder.h"
#include "formats/imagelistjson.h"
#include "formats/yolofolder.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QQmlEngine>

#include <algorithm>

ImageList *ImageList::s_instance = nullptr;

namespace {

// A freedesktop trash describes each file it holds in info/<name>.trashinfo beside
// files/; with dropFolders, both folders go too when that leaves them empty.
void dropTrashInfo(const QString &inTrash, bool dropFolders)
{
    const QFileInfo file(inTrash);
    const QDir files = file.dir();
    if (files.dirName() != QLatin1String("files"))
        return;
    const QString info = files.filePath(QStringLiteral("../info"));
    QFile::remove(QDir(info).filePath(file.fileName() + QStringLiteral(".trashinfo")));
    if (dropFolders) {
        QDir().rmdir(info);
        QDir().rmdir(files.path());
    }
}

} // namespace

ImageList::ImageList() : QAbstractListModel(nullptr)
{
    m_roleNames = {
        {BaseFileNameRole, "imgBaseFileName"},
        {FilePathRole, "imgFilePath"},
        {WidthRole, "imgWidth"},
        {HeightRole, "imgHeight"},
        {BBoxesRole, "imgBBoxes"},
        {YoloTxtFilePathRole, "yoloTxtFilePath"},
        {ProblemsRole, "imgProblems"},
    };
    s_instance = this;
    m_releaseTimer.setSingleShot(true);
    m_releaseTimer.setInterval(250);
    connect(&m_releaseTimer, &QTimer::timeout, this, [this] { m_released.clear(); });
}

ImageList::~ImageList()
{
    s_instance = nullptr;
    m_released = {};
    m_imagesById = {};
    m_images = {};
}

ImageList *ImageList::instance()
{
    if (!s_instance)
        createInstance();
    return s_instance;
}

bool ImageList::createInstance()
{
    auto *list = new ImageList;
    qmlRegisterSingletonInstance("Boxmere", 1, 0, "ImageList", list);
    return list != nullptr;
}

int ImageList::rowCount(const QModelIndex &parent) const
{
    // A list has no children: rows under a valid parent would make tree views recurse.
    return parent.isValid() ? 0 : m_images.size();
}

QVariant ImageList::data(const QModelIndex &index, int role) const
{
    const std::shared_ptr<ImageInfo> image = imageAt(index.row());
    if (!image)
        return QVariant();
    switch (role) {
    case BaseFileNameRole:
        return image->fileName;
    case FilePathRole:
        return image->filePath;
    case WidthRole:
        return image->width;
    case HeightRole:
        return image->height;
    case BBoxesRole:
        return QVariant::fromValue(image->bboxes.get());
    case YoloTxtFilePathRole:
        return image->yoloTxtFilePath;
    case ProblemsRole: {
        QVariantList list;
        for (const LabelCheck::Problem &problem : image->problems) {
            list.append(QVariantMap{{QStringLiteral("kind"), LabelCheck::key(problem.kind)},
                                    {QStringLiteral("box"), problem.box},
                                    {QStringLiteral("text"), LabelCheck::describe(problem)}});
        }
        return list;
    }
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ImageList::roleNames() const
{
    return m_roleNames;
}

void ImageList::addImage(std::shared_ptr<ImageInfo> record)
{
    m_images.append(std::move(record));
    m_indexValid = false;
}

void ImageList::loadImages(QList<std::shared_ptr<ImageInfo>> records, bool replace)
{
    beginResetModel();
    if (replace) {
        // The old records and their box lists go a moment later, once the view has
        // drawn the new rows and deleted the cells that used them: freeing a large
        // list takes long enough to be seen.
        m_released.append(std::move(m_images));
        m_releaseTimer.start();
        m_images = {};
        m_imagesById = {};
        m_indexValid = false;
        if (m_trashed.image) {
            m_trashed = {};
            Q_EMIT trashedChanged();
        }
    }
    m_images.reserve(m_images.size() + records.size());
    for (auto &record : records)
        addImage(std::move(record));
    endResetModel();
}

std::shared_ptr<ImageInfo> ImageList::imageAt(int row) const
{
    if (row < 0 || row >= m_images.size())
        return nullptr;
    return m_images.at(row);
}

std::shared_ptr<ImageInfo> ImageList::imageById(int id) const
{
    // Built when first asked for: a load would otherwise visit every record while
    // the view waits for its reset to end.
    if (!m_indexValid) {
        m_imagesById.clear();
        m_imagesById.reserve(m_images.size());
        for (const std::shared_ptr<ImageInfo> &image : m_images)
            m_imagesById.insert(image->id, image); // a later record takes over its id
        m_indexValid = true;
    }
    return m_imagesById.value(id);
}

void ImageList::loadCocoJson(const QString &imagesFile, const QString &annsFile, const QString &imagesDir)
{
    const QList<std::shared_ptr<ImageInfo>> records = CocoImport::load(imagesFile, annsFile, imagesDir);
    DatasetCheck::checkRecords(records, checkClasses());
    loadImages(records, true);
    qCDebug(lcLoad, "Loaded %d images", rowCount());
    Q_EMIT readFileCompleted();
}

void ImageList::loadJson(const QString &json)
{
    QByteArray bytes;
    FileIo::readFile(json, bytes, ImageListJson::padding());
    const QList<std::shared_ptr<ImageInfo>> records = ImageListJson::read(bytes);
    DatasetCheck::checkRecords(records, checkClasses());
    loadImages(records, false);
}

void ImageList::loadYolo(const QString &txtPath, const QString &imagePath)
{
    YoloFolder::Scan scan = YoloFolder::scan(txtPath, imagePath);
    DatasetCheck::checkScan(scan, checkClasses());
    loadYoloScan(scan);
}

void ImageList::loadYoloScan(const YoloFolder::Scan &scan)
{
    loadImages(recordsFromScan(scan), true);
    qCDebug(lcLoad, "Loaded %d images from yolo", rowCount());
}

QList<std::shared_ptr<ImageInfo>> ImageList::recordsFromScan(const YoloFolder::Scan &scan)
{
    QList<std::shared_ptr<ImageInfo>> records;
    records.reserve(scan.files.size());
    int id = 1;
    for (int i = 0; i < scan.files.size(); ++i) {
        const YoloFolder::LabelFile &file = scan.files.at(i);
        auto image = std::make_shared<ImageInfo>();
        image->id = id++;
        image->fileName = file.baseName;
        image->filePath = scan.imagePaths.at(i);
        qCDebug(lcIo) << image->filePath;
        // The file that was listed, so that a "x.TXT" is read and saved as itself.
        image->yoloTxtFilePath = file.labelPath;
        image->bboxes = std::make_unique<BBoxList>();
        image->bboxes->appendRead(file.read);
        image->problems = file.problems;
        records.append(std::move(image));
    }
    return records;
}

void ImageList::setCheckClasses(const QSet<int> *classes)
{
    m_checkClasses.reset();
    if (classes)
        m_checkClasses = *classes;
}

void ImageList::checkRow(int row)
{
    const std::shared_ptr<ImageInfo> image = imageAt(row);
    if (!image || !image->bboxes)
        return;
    LabelCheck::Context context{image->width, image->height, checkClasses()};
    // A picture's label file comes into being with its first save.
    const bool hasLabelFile = !image->yoloTxtFilePath.isEmpty() && FileIo::fileExists(image->yoloTxtFilePath);
    QVector<LabelCheck::Problem> problems =
        LabelCheck::recheck(image->problems, image->bboxes->boxes(), hasLabelFile, context);
    if (problems == image->problems)
        return;
    image->problems = std::move(problems);
    const QModelIndex changed = index(row, 0);
    Q_EMIT dataChanged(changed, changed, {ProblemsRole});
}

void ImageList::boxesEdited(int row)
{
    if (!imageAt(row))
        return;
    const QModelIndex changed = index(row, 0);
    Q_EMIT dataChanged(changed, changed, {BBoxesRole});
    checkRow(row);
}

void ImageList::exportJson(const QString &json)
{
    FileIo::writeFile(json, ImageListJson::write(m_images));
}

void ImageList::exportYolo(const QString &dir)
{
    YoloFolder::exportTo(dir, m_images);
}

bool ImageList::yoloReloadRow(int row)
{
    const std::shared_ptr<ImageInfo> image = imageAt(row);
    // Rows from JSON or COCO have no label file: emptying them would lose every box.
    if (!image || image->yoloTxtFilePath.isEmpty())
        return false;
    // Nor does a label file that is gone or unreadable take the boxes with it; but a
    // picture that never had one goes back to no boxes.
    QByteArray bytes;
    const bool neverLabelled =
        std::any_of(image->problems.cbegin(), image->problems.cend(), [](const LabelCheck::Problem &problem) {
            return problem.kind == LabelCheck::Kind::ImageWithoutLabel;
        });
    if (!FileIo::readFile(image->yoloTxtFilePath, bytes) && !neverLabelled)
        return false;
    const YoloLabelFile::ReadResult read = YoloLabelFile::parse(bytes);
    // The lines not read whole are those of the file as it is now.
    auto &problems = image->problems;
    problems.erase(std::remove_if(problems.begin(), problems.end(),
                                  [](const LabelCheck::Problem &problem) {
                                      return problem.kind == LabelCheck::Kind::PartialLine ||
                                             problem.kind == LabelCheck::Kind::Unreadable;
                                  }),
                   problems.end());
    for (const YoloLabelFile::PartialLine &line : read.partial)
        problems.append({LabelCheck::Kind::PartialLine, line.box, line.line});
    image->bboxes->clear();
    image->bboxes->appendRead(read);
    const QModelIndex changed = index(row, 0);
    Q_EMIT dataChanged(changed, changed, {BBoxesRole});
    checkRow(row);
    return true;
}

QList<int> ImageList::unsavedRows() const
{
    QList<int> rows;
    for (int row = 0; row < m_images.size(); ++row) {
        if (m_images.at(row)->bboxes->isModified())
            rows.append(row);
    }
    return rows;
}

QStringList ImageList::lostOnSave() const
{
    QStringList lost;
    for (const int row : unsavedRows()) {
        const QString loss = m_images.at(row)->bboxes->lostOnSave(m_images.at(row)->yoloTxtFilePath);
        if (!loss.isEmpty())
            lost.append(loss);
    }
    return lost;
}

QStringList ImageList::saveAll(bool loseLines)
{
    QStringList failed;
    for (const int row : unsavedRows()) {
        const std::shared_ptr<ImageInfo> image = m_images.at(row);
        const QString refusal = image->bboxes->saveRefusal();
        if (image->yoloTxtFilePath.isEmpty())
            failed.append(image->fileName);
        else if (!refusal.isEmpty())
            failed.append(tr("%1: %2").arg(image->yoloTxtFilePath, refusal));
        else if (!image->bboxes->saveTxtFile(image->yoloTxtFilePath, loseLines))
            failed.append(image->yoloTxtFilePath);
    }
    return failed;
}

QString ImageList::filePathAt(int row) const
{
    const std::shared_ptr<ImageInfo> image = imageAt(row);
    return image ? image->filePath : QString();
}

QString ImageList::labelFilePathAt(int row) const
{
    const std::shared_ptr<ImageInfo> image = imageAt(row);
    return image ? image->yoloTxtFilePath : QString();
}

QSize ImageList::pictureSize(int row)
{
    const std::shared_ptr<ImageInfo> image = imageAt(row);
    if (!image)
        return QSize();
    if (image->width <= 0 || image->height <= 0) {
        const QSize size = ImageFolder::pictureSize(image->filePath);
        if (!size.isValid())
            return QSize();
        image->width = size.width();
        image->height = size.height();
        const QModelIndex changed = index(row, 0);
        Q_EMIT dataChanged(changed, changed, {WidthRole, HeightRole});
    }
    return QSize(image->width, image->height);
}

void ImageList::removeRow(int row)
{
    const std::shared_ptr<ImageInfo> image = imageAt(row);
    if (!image || !FileIo::removeFile(image->yoloTxtFilePath))
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_images.removeAt(row);
    m_indexValid = false;
    endRemoveRows();
    // Its cell, which holds its box list, is deleted later as well.
    m_released.append({image});
    m_releaseTimer.start();
}

bool ImageList::trashRow(int row)
{
    const std::shared_ptr<ImageInfo> image = imageAt(row);
    if (!image || image->yoloTxtFilePath.isEmpty())
        return false;
    QFile file(image->yoloTxtFilePath);
    if (!file.moveToTrash())
        return false;
    // Qt 5.15 reports success when it could not make the trash folder, having moved
    // the file into "files" of the working directory: no trash to take it back from.
    if (QDir::isRelativePath(file.fileName())) {
        QFile::rename(file.fileName(), image->yoloTxtFilePath);
        dropTrashInfo(file.fileName(), true);
        return false;
    }
    beginRemoveRows(QModelIndex(), row, row);
    m_images.removeAt(row);
    m_indexValid = false;
    endRemoveRows();
    m_trashed = {row, image, file.fileName()};
    Q_EMIT trashedChanged();
    return true;
}

bool ImageList::restoreTrashed()
{
    const Trashed trashed = m_trashed;
    if (!trashed.image)
        return false;
    const QString path = trashed.image->yoloTxtFilePath;
    // rename() never replaces a file made there since.
    if (!QFile::rename(trashed.inTrash, path))
        return false;
    dropTrashInfo(trashed.inTrash, false);
    const int row = std::min(trashed.row, int(m_images.size()));
    beginInsertRows(QModelIndex(), row, row);
    m_images.insert(row, trashed.image);
    m_indexValid = false;
    endInsertRows();
    m_trashed = {};
    Q_EMIT trashedChanged();
    return true;
}
