#include "bboxlist.h"

#include "app/utils.h"
#include "yololabelfile.h"

#include <QDebug>
#include <QQmlEngine>

BBoxList::BBoxList() : QAbstractListModel(nullptr)
{
    // One shared table: a load creates a list per image, and copies of an implicitly
    // shared hash cost no allocation.
    static const QHash<int, QByteArray> roles{
        {CatIdRole, "catId"}, {CxRole, "cx"}, {CyRole, "cy"}, {CwRole, "cw"}, {ChRole, "ch"}};
    m_roleNames = roles;
    QQmlEngine::setObjectOwnership(this, QQmlEngine::CppOwnership);
}

BBoxList::~BBoxList() = default;

int BBoxList::rowCount(const QModelIndex &parent) const
{
    // A list has no children: rows under a valid parent would make tree views recurse.
    return parent.isValid() ? 0 : m_boxes.size();
}

QVariant BBoxList::data(const QModelIndex &index, int role) const
{
    const std::shared_ptr<BoxInfo> box = boxAt(index.row());
    if (!box)
        return QVariant();
    switch (role) {
    case CatIdRole:
        return box->catId;
    case CxRole:
        return box->cx;
    case CyRole:
        return box->cy;
    case CwRole:
        return box->cw;
    case ChRole:
        return box->ch;
    default:
        return QVariant();
    }
}

bool BBoxList::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const int row = index.row();
    const std::shared_ptr<BoxInfo> box = boxAt(row);
    if (!box)
        return false;
    double *field = nullptr;
    switch (role) {
    case CxRole:
        field = &box->cx;
        break;
    case CyRole:
        field = &box->cy;
        break;
    case CwRole:
        field = &box->cw;
        break;
    case ChRole:
        field = &box->ch;
        break;
    default:
        return false;
    }
    *field = value.toDouble();
    const QModelIndex changed = this->index(row, 0);
    Q_EMIT dataChanged(changed, changed, {role});
    return true;
}

QHash<int, QByteArray> BBoxList::roleNames() const
{
    return m_roleNames;
}

bool BBoxList::saveTxtFile(const QString &txtFile)
{
    qDebug() << Q_FUNC_INFO;
    qDebug() << txtFile;
    return Utils::instance()->writeFile(txtFile, YoloLabelFile::format(m_boxes));
}

void BBoxList::loadTxtFile(const QString &txtFile)
{
    QByteArray bytes;
    Utils::instance()->readFile(txtFile, bytes);
    appendRead(YoloLabelFile::parse(bytes));
}

void BBoxList::appendRead(const YoloLabelFile::ReadResult &read)
{
    beginResetModel();
    m_boxes.append(read.boxes);
    m_lastReadWhole = read.whole;
    endResetModel();
}

void BBoxList::clear()
{
    beginResetModel();
    m_boxes = {};
    endResetModel();
}

void BBoxList::appendRow(int catId, double cx, double cy)
{
    appendBox(catId, cx, cy, 0.1, 0.1);
}

void BBoxList::appendBox(int catId, double cx, double cy, double cw, double ch)
{
    const int n = m_boxes.size();
    beginInsertRows(QModelIndex(), n, n);
    auto box = std::make_shared<BoxInfo>();
    *box = BoxInfo{catId, cx, cy, cw, ch};
    m_boxes.append(std::move(box));
    endInsertRows();
}

void BBoxList::deleteRow(int index)
{
    if (index < 0 || index >= m_boxes.size())
        return;
    beginRemoveRows(QModelIndex(), index, index);
    m_boxes.removeAt(index);
    endRemoveRows();
}

QJsonArray BBoxList::toJsonArray() const
{
    QVariantList boxes;
    boxes.reserve(m_boxes.size());
    for (const auto &box : m_boxes) {
        boxes.append(QVariantMap{{QStringLiteral("catId"), box->catId},
                                 {QStringLiteral("cx"), box->cx},
                                 {QStringLiteral("cy"), box->cy},
                                 {QStringLiteral("cw"), box->cw},
                                 {QStringLiteral("ch"), box->ch}});
    }
    return QJsonArray::fromVariantList(boxes);
}

std::shared_ptr<BoxInfo> BBoxList::boxAt(int row) const
{
    if (row < 0 || row >= m_boxes.size())
        return nullptr;
    return m_boxes.at(row);
}
