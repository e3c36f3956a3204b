#include "bboxlist.h"

#include "app/logging.h"
#include "boxes/yololabelfile.h"
#include "formats/fileio.h"

#include <QDebug>
#include <QFileInfo>
#include <QQmlEngine>

#include <cmath>
#include <cstring>

namespace {

// What a line not read whole holds that a box or polygon line cannot.
enum LineKind
{
    ExtraFields,
    NotANumber,
    LineKinds
};

LineKind kindOf(const YoloLabelFile::PartialLine &partial)
{
    return partial.fault == YoloLabelFile::PartialLine::NotANumber ? NotANumber : ExtraFields;
}

// The very same values, NaN and the sign of zero included.
bool sameBits(const BoxInfo &a, const BoxInfo &b)
{
    return a.catId == b.catId && std::memcmp(&a.cx, &b.cx, sizeof a.cx) == 0 &&
           std::memcmp(&a.cy, &b.cy, sizeof a.cy) == 0 && std::memcmp(&a.cw, &b.cw, sizeof a.cw) == 0 &&
           std::memcmp(&a.ch, &b.ch, sizeof a.ch) == 0 && a.points.size() == b.points.size() &&
           std::memcmp(a.points.constData(), b.points.constData(), sizeof(double) * size_t(a.points.size())) == 0;
}

bool isFinite(const BoxInfo &box)
{
    if (!(std::isfinite(box.cx) && std::isfinite(box.cy) && std::isfinite(box.cw) && std::isfinite(box.ch)))
        return false;
    for (double v : box.points) {
        if (!std::isfinite(v))
            return false;
    }
    return true;
}

// Moves and scales a polygon's corners from its bounding box to another.
QVector<double> fitPoints(const BoxInfo &box, double cx, double cy, double cw, double ch)
{
    QVector<double> xy = box.points;
    const double sx = box.cw != 0 ? cw / box.cw : 1, sy = box.ch != 0 ? ch / box.ch : 1;
    for (int i = 0; i + 1 < xy.size(); i += 2) {
        xy[i] = cx + (xy[i] - box.cx) * sx;
        xy[i + 1] = cy + (xy[i + 1] - box.cy) * sy;
    }
    return xy;
}

} // namespace

struct BBoxList::Losses
{
    int edited[LineKinds] = {};
    int deleted[LineKinds] = {};
    QVector<int> lines; // the lines counted
    bool notFinite = false;

    bool any() const
    {
        for (int kind = 0; kind < LineKinds; ++kind) {
            if (edited[kind] || deleted[kind])
                return true;
        }
        return false;
    }
};

BBoxList::BBoxList() : QAbstractListModel(nullptr)
{
    // One shared table: a load creates a list per image, and copies of an implicitly
    // shared hash cost no allocation.
    static const QHash<int, QByteArray> roles{{CatIdRole, "catId"}, {CxRole, "cx"}, {CyRole, "cy"},
                                              {CwRole, "cw"},       {ChRole, "ch"}, {PointsRole, "points"}};
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
    case PointsRole:
        return toVariantList(box->points);
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
    if (box->isPolygon()) {
        BoxInfo moved = *box;
        *(field - &box->cx + &moved.cx) = value.toDouble();
        box->setPoints(fitPoints(*box, moved.cx, moved.cy, moved.cw, moved.ch));
        const QModelIndex changed = this->index(row, 0);
        Q_EMIT dataChanged(changed, changed, {CxRole, CyRole, CwRole, ChRole, PointsRole});
        return true;
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

QByteArray BBoxList::toText(Losses &losses, const QByteArray &onDisk) const
{
    QByteArray out;
    bool first = true;
    const auto put = [&out, &first](const QByteArray &line) {
        if (!first)
            out += '\n';
        first = false;
        out += line;
    };
    const auto putBox = [&](const BoxInfo &box) {
        losses.notFinite |= !isFinite(box);
        QByteArray line;
        YoloLabelFile::appendLine(line, box);
        put(line);
    };
    int row = 0;
    if (!m_text.isEmpty()) {
        const YoloLabelFile::ReadResult read = YoloLabelFile::parse(m_text);
        QList<QByteArray> lines = m_text.split('\n');
        const bool lineFeedAtEnd = lines.size() > 1 && lines.last().isEmpty();
        if (lineFeedAtEnd)
            lines.removeLast();
        QVector<const BoxInfo *> readBox(lines.size() + 1, nullptr);
        for (const auto &box : read.boxes)
            readBox[box->line] = box.get();
        QVector<int> kind(lines.size() + 1, -1);
        for (const YoloLabelFile::PartialLine &partial : read.partial)
            kind[partial.line] = kindOf(partial);
        for (int line = 1; line <= lines.size(); ++line) {
            const QByteArray &text = lines.at(line - 1);
            if (!readBox[line]) {
                put(text); // a blank line, or one too short to give a box
                continue;
            }
            // A line a save already wrote as a plain box, or left out, has nothing left to lose.
            const int k = m_settled.contains(line) ? -1 : kind[line];
            const bool present = row < m_boxes.size() && m_boxes[row]->line == line;
            const bool untouched = present && sameBits(*m_boxes[row], *readBox[line]);
            if (present) {
                if (untouched)
                    put(text);
                else
                    putBox(*m_boxes[row]);
                ++row;
            }
            if (k >= 0 && !untouched) {
                ++(present ? losses.edited : losses.deleted)[k];
                losses.lines.append(line);
            }
        }
        // Boxes added since go before the file's last line feed.
        for (; row < m_boxes.size(); ++row)
            putBox(*m_boxes[row]);
        if (lineFeedAtEnd && !first)
            out += '\n';
        return out;
    }

    // A file read whole: a box that still holds the values of one of its lines is
    // written as that line was, digits, spaces and line end included.
    const YoloLabelFile::ReadResult disk = YoloLabelFile::parse(onDisk);
    QList<QByteArray> lines = onDisk.split('\n');
    const bool lineFeedAtEnd = lines.size() > 1 && lines.last().isEmpty();
    QVector<bool> partial(lines.size() + 1, false);
    for (const YoloLabelFile::PartialLine &line : disk.partial)
        partial[line.line] = true;
    QVector<bool> taken(disk.boxes.size(), false);
    const bool crlf = !lines.isEmpty() && lines.first().endsWith('\r');
    int next = 0;
    for (; row < m_boxes.size(); ++row) {
        const BoxInfo &box = *m_boxes[row];
        int match = -1;
        for (int i = 0; i < disk.boxes.size() && match < 0; ++i) {
            const int j = (next + i) % disk.boxes.size();
            if (!taken[j] && !partial[disk.boxes[j]->line] && sameBits(*disk.boxes[j], box))
                match = j;
        }
        if (match >= 0) {
            taken[match] = true;
            next = match + 1;
            put(lines.at(disk.boxes[match]->line - 1));
        } else {
            putBox(box);
            if (crlf)
                out += '\r';
        }
    }
    if (lineFeedAtEnd && !first)
        out += '\n';
    return out;
}

QString BBoxList::lostOnSave(const QString &txtFile) const
{
    Losses losses;
    toText(losses);
    static const char *const what[LineKinds] = {QT_TR_NOOP("extra fields"), QT_TR_NOOP("text that is not a number")};
    QStringList parts;
    for (int kind = 0; kind < LineKinds; ++kind) {
        const QString held = tr(what[kind]);
        if (const int n = losses.edited[kind])
            parts << (n == 1 ? tr("1 line with %1 will be written as a plain box").arg(held)
                             : tr("%1 lines with %2 will be written as plain boxes").arg(n).arg(held));
        if (const int n = losses.deleted[kind])
            parts << (n == 1 ? tr("1 deleted line with %1 will be dropped").arg(held)
                             : tr("%1 deleted lines with %2 will be dropped").arg(n).arg(held));
    }
    return parts.isEmpty() ? QString()
                           : tr("%1: %2.").arg(QFileInfo(txtFile).fileName(), parts.join(QLatin1String("; ")));
}

QString BBoxList::saveRefusal() const
{
    if (m_unreadable)
        return tr("the file could not be read");
    Losses losses;
    toText(losses);
    return losses.notFinite ? tr("a box holds a number that is not finite") : QString();
}

bool BBoxList::fileDiffers(const QString &txtFile) const
{
    QByteArray bytes;
    if (!FileIo::readFile(txtFile, bytes))
        return false;
    const YoloLabelFile::ReadResult read = YoloLabelFile::parse(bytes);
    if (!read.whole || read.boxes.size() != m_boxes.size())
        return true;
    for (int row = 0; row < m_boxes.size(); ++row) {
        if (!sameBits(*read.boxes[row], *m_boxes[row]))
            return true;
    }
    return false;
}

bool BBoxList::saveTxtFile(const QString &txtFile, bool loseLines)
{
    qCDebug(lcIo) << Q_FUNC_INFO;
    qCDebug(lcIo) << txtFile;
    Losses losses;
    QByteArray onDisk;
    if (m_text.isEmpty() && !FileIo::readFile(txtFile, onDisk))
        onDisk.clear();
    const QByteArray bytes = m_unreadable ? QByteArray() : toText(losses, onDisk);
    if (m_unreadable || losses.notFinite) {
        qCWarning(lcIo) << "Not saved:" << txtFile << saveRefusal();
        return false;
    }
    if ((losses.any() && !loseLines) || !FileIo::writeFile(txtFile, bytes))
        return false;
    // The text read stays, so that an undo after this save gets its lines back.
    for (const int line : qAsConst(losses.lines))
        m_settled.insert(line);
    m_savedWhole = m_text.isEmpty() || YoloLabelFile::parse(bytes).whole;
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
    m_text = read.text;
    m_settled.clear();
    m_savedWhole = read.whole;
    m_unreadable = read.unreadable;
    endResetModel();
    setModified(false);
    clearHistory();
}

void BBoxList::clear()
{
    beginResetModel();
    m_boxes = {};
    m_text.clear();
    m_settled.clear();
    m_savedWhole = true;
    m_unreadable = false;
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
    if (box->isPolygon())
        box->setPoints(fitPoints(*box, cx, cy, cw, ch));
    else
        *box = BoxInfo{box->catId, cx, cy, cw, ch, box->line};
    const QModelIndex changed = this->index(index, 0);
    Q_EMIT dataChanged(changed, changed, {CxRole, CyRole, CwRole, ChRole, PointsRole});
    return true;
}

bool BBoxList::setPoints(int index, const QVector<double> &points)
{
    const std::shared_ptr<BoxInfo> box = boxAt(index);
    if (!box || points.size() < 6 || points.size() % 2)
        return false;
    aboutToEdit();
    box->setPoints(points);
    const QModelIndex changed = this->index(index, 0);
    Q_EMIT dataChanged(changed, changed, {CxRole, CyRole, CwRole, ChRole, PointsRole});
    return true;
}

bool BBoxList::addPolygon(int catId, const QVector<double> &points)
{
    if (points.size() < 6 || points.size() % 2)
        return false;
    aboutToEdit();
    appendPolygon(catId, points);
    return true;
}

void BBoxList::appendPolygon(int catId, const QVector<double> &points)
{
    const int n = m_boxes.size();
    beginInsertRows(QModelIndex(), n, n);
    auto box = std::make_shared<BoxInfo>();
    box->catId = catId;
    box->setPoints(points);
    m_boxes.append(std::move(box));
    endInsertRows();
}

QVariantList BBoxList::toVariantList(const QVector<double> &points)
{
    QVariantList xy;
    xy.reserve(points.size());
    for (double v : points)
        xy.append(v);
    return xy;
}

QVector<double> BBoxList::fromVariantList(const QVariantList &points)
{
    QVector<double> xy;
    xy.reserve(points.size());
    for (const QVariant &v : points)
        xy.append(v.toDouble());
    return xy;
}

int BBoxList::polygonCount() const
{
    return int(std::count_if(m_boxes.cbegin(), m_boxes.cend(), [](const auto &box) { return box->isPolygon(); }));
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
            Q_EMIT dataChanged(index(0, 0), index(state.size() - 1, 0),
                               {CatIdRole, CxRole, CyRole, CwRole, ChRole, PointsRole});
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
        QVariantMap object{{QStringLiteral("catId"), box->catId},
                           {QStringLiteral("cx"), box->cx},
                           {QStringLiteral("cy"), box->cy},
                           {QStringLiteral("cw"), box->cw},
                           {QStringLiteral("ch"), box->ch}};
        if (box->isPolygon())
            object.insert(QStringLiteral("points"), toVariantList(box->points));
        boxes.append(object);
    }
    return QJsonArray::fromVariantList(boxes);
}

std::shared_ptr<BoxInfo> BBoxList::boxAt(int row) const
{
    if (row < 0 || row >= m_boxes.size())
        return nullptr;
    return m_boxes.at(row);
}
