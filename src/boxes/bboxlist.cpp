#include "bboxlist.h"

#include "app/logging.h"
#include "boxes/yololabelfile.h"
#include "formats/fileio.h"

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
    aboutToEdit();
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
    qCDebug(lcIo) << Q_FUNC_INFO;
    qCDebug(lcIo) << txtFile;
    if (!FileIo::writeFile(txtFile, YoloLabelFile::format(m_boxes)))
        return false;
    // The file now holds what the list holds, and nothing else.
    m_lastReadWhole = true;
    setModified(false);
    return true;
}

void BBoxList::loadTxtFile(const QString &txtFile)
{
    QByteArray bytes;
    FileIo::readFile(txtFile, bytes);
    appendRead(YoloLabelFile::parse(bytes));
}

void BBoxList::appendRead(const YoloLabelFile::ReadResult &read)
{
    beginResetModel();
    m_boxes.append(read.boxes);
    m_lastReadWhole = read.whole;
    endResetModel();
    setModified(false);
    clearHistory();
}

void BBoxList::clear()
{
    beginResetModel();
    m_boxes = {};
    endResetModel();
    setModified(false);
    clearHistory();
}

void BBoxList::appendRow(int catId, double cx, double cy)
{
    appendRect(catId, cx, cy, 0.1, 0.1);
}

void BBoxList::appendRect(int catId, double cx, double cy, double cw, double ch)
{
    aboutToEdit();
    appendBox(catId, cx, cy, cw, ch);
}

bool BBoxList::relabelRow(int index, int catId)
{
    const std::shared_ptr<BoxInfo> box = boxAt(index);
    if (!box)
        return false;
    aboutToEdit();
    box->catId = catId;
    const QModelIndex changed = this->index(index, 0);
    Q_EMIT dataChanged(changed, changed, {CatIdRole});
    return true;
}

bool BBoxList::setRect(int index, double cx, double cy, double cw, double ch)
{
    const std::shared_ptr<BoxInfo> box = boxAt(index);
    if (!box)
        return false;
    aboutToEdit();
    *box = BoxInfo{box->catId, cx, cy, cw, ch};
    const QModelIndex changed = this->index(index, 0);
    Q_EMIT dataChanged(changed, changed, {CxRole, CyRole, CwRole, ChRole});
    return true;
}

bool BBoxList::undo()
{
    if (!m_history.canUndo())
        return false;
    restore(m_history.undo(state()));
    return true;
}

bool BBoxList::redo()
{
    if (!m_history.canRedo())
        return false;
    restore(m_history.redo(state()));
    return true;
}

void BBoxList::clearHistory()
{
    const bool had = m_history.canUndo() || m_history.canRedo();
    m_history.clear();
    if (had)
        Q_EMIT historyChanged();
}

void BBoxList::aboutToEdit()
{
    const BoxHistory::State before = state();
    // The first edit after a load or a save starts from what the file holds.
    if (!m_modified)
        m_savedState = before;
    m_history.record(before);
    setModified(true);
    Q_EMIT historyChanged();
}

void BBoxList::setModified(bool modified)
{
    if (m_modified == modified)
        return;
    m_modified = modified;
    Q_EMIT modifiedChanged();
}

BoxHistory::State BBoxList::state() const
{
    BoxHistory::State boxes;
    boxes.reserve(m_boxes.size());
    for (const auto &box : m_boxes)
        boxes.append(*box);
    return boxes;
}

void BBoxList::restore(const BoxHistory::State &state)
{
    // Undone back to what the file holds, the list has nothing left to save.
    setModified(state != m_savedState);
    Q_EMIT historyChanged();
    // The same number of boxes (a move, a resize, a relabel) changes rows in place, so
    // that views keep their items and the selection; otherwise one reset.
    if (state.size() == m_boxes.size()) {
        for (int row = 0; row < state.size(); ++row)
            *m_boxes[row] = state[row];
        if (!state.isEmpty())
            Q_EMIT dataChanged(index(0, 0), index(state.size() - 1, 0), {CatIdRole, CxRole, CyRole, CwRole, ChRole});
        return;
    }
    beginResetModel();
    m_boxes.clear();
    m_boxes.reserve(state.size());
    for (const BoxInfo &box : state)
        m_boxes.append(std::make_shared<BoxInfo>(box));
    endResetModel();
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
    aboutToEdit();
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
