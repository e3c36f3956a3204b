#include "imagelist.h"

#include "app/utils.h"

#include <QQmlEngine>

ImageList *ImageList::s_instance = nullptr;

ImageList::ImageList() : QAbstractListModel(nullptr)
{
    m_roleNames = {
        {BaseFileNameRole, "imgBaseFileName"},
        {FilePathRole, "imgFilePath"},
        {WidthRole, "imgWidth"},
        {HeightRole, "imgHeight"},
        {BBoxesRole, "imgBBoxes"},
        {YoloTxtFilePathRole, "yoloTxtFilePath"},
    };
    s_instance = this;
}

ImageList::~ImageList()
{
    s_instance = nullptr;
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
    const int id = record->id;
    m_images.append(record);
    m_imagesById.insert(id, std::move(record));
}

void ImageList::loadImages(QList<std::shared_ptr<ImageInfo>> records, bool replace)
{
    beginLoad(replace);
    for (auto &record : records)
        addImage(std::move(record));
    endLoad();
}

std::shared_ptr<ImageInfo> ImageList::imageAt(int row) const
{
    if (row < 0 || row >= m_images.size())
        return nullptr;
    return m_images.at(row);
}

std::shared_ptr<ImageInfo> ImageList::imageById(int id) const
{
    return m_imagesById.value(id);
}

void ImageList::removeRow(int row)
{
    const std::shared_ptr<ImageInfo> image = imageAt(row);
    if (!image || !Utils::instance()->removeFile(image->yoloTxtFilePath))
        return;
    beginRemoveRows(QModelIndex(), row, row);
    // The id index may point at a later record with the same id; drop only our own entry.
    const auto it = m_imagesById.constFind(image->id);
    if (it != m_imagesById.constEnd() && it.value() == image)
        m_imagesById.erase(it);
    m_images.removeAt(row);
    endRemoveRows();
}

void ImageList::beginLoad(bool clearing)
{
    beginResetModel();
    if (clearing) {
        m_images = {};
        m_imagesById = {};
    }
}

void ImageList::endLoad()
{
    endResetModel();
}
