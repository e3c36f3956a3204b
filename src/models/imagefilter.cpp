#include "imagefilter.h"

#include "checks/datasetstats.h"
#include "checks/labelcheck.h"
#include "images/imagelist.h"

#include <QVarLengthArray>

#include <algorithm>
#include <map>
#include <numeric>

ImageFilter::ImageFilter(ImageList *source) : QAbstractListModel(nullptr), m_source(source)
{
    m_roleNames = source->roleNames();
    m_sourceRowRole = m_roleNames.size();
    m_roleNames.insert(m_sourceRowRole, "imgRow");

    connect(source, &QAbstractItemModel::modelReset, this, &ImageFilter::sourceReset);
    connect(source, &QAbstractItemModel::rowsInserted, this, &ImageFilter::sourceReset);
    connect(source, &QAbstractItemModel::layoutChanged, this, &ImageFilter::sourceReset);
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, &ImageFilter::sourceRowsAboutToBeRemoved);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &ImageFilter::sourceRowsRemoved);
    connect(source, &QAbstractItemModel::dataChanged, this, &ImageFilter::sourceDataChanged);
    // Edits change counts one row at a time, often many times a second: count once after them.
    m_recount.setSingleShot(true);
    m_recount.setInterval(100);
    connect(&m_recount, &QTimer::timeout, this, [this] {
        recount();
        Q_EMIT countsChanged();
    });
    refilterRows();
}

ImageFilter::~ImageFilter() = default;

int ImageFilter::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant ImageFilter::data(const QModelIndex &index, int role) const
{
    const int row = index.row();
    if (row < 0 || row >= m_rows.size())
        return QVariant();
    if (role == m_sourceRowRole)
        return m_rows.at(row);
    return m_source->data(m_source->index(m_rows.at(row)), role);
}

QHash<int, QByteArray> ImageFilter::roleNames() const
{
    return m_roleNames;
}

void ImageFilter::setNameFilter(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    refilterRows();
    Q_EMIT filterChanged();
    recount();
    Q_EMIT countsChanged();
}

void ImageFilter::setClassFilter(int catId)
{
    if (catId == m_class)
        return;
    m_class = catId;
    refilterRows();
    Q_EMIT filterChanged();
    recount();
    Q_EMIT countsChanged();
}

void ImageFilter::setProblemFilter(const QString &kind)
{
    if (kind == m_problem)
        return;
    m_problem = kind;
    refilterRows();
    Q_EMIT filterChanged();
    recount();
    Q_EMIT countsChanged();
}

void ImageFilter::setShapeFilter(const QString &shape)
{
    if (shape == m_shape)
        return;
    m_shape = shape;
    refilterRows();
    Q_EMIT filterChanged();
    recount();
    Q_EMIT countsChanged();
}

int ImageFilter::total() const
{
    return m_source->rowCount();
}

int ImageFilter::sourceRow(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : -1;
}

QVariantMap ImageFilter::statistics() const
{
    DatasetStats stats;
    const QVector<std::shared_ptr<ImageInfo>> &images = m_source->images();
    for (const int row : m_rows) {
        if (row >= images.size())
            break;
        const ImageInfo &image = *images.at(row);
        if (image.bboxes)
            stats.add(image.bboxes->boxes(), image.problems);
    }
    return stats.toVariant();
}

namespace {

using Mask = quint32;
static_assert(LabelCheck::KindCount <= 32, "a problem kind per bit");

// What the filters look at in a row: its classes, its kinds of problem and its shapes.
struct RowKeys
{
    QVarLengthArray<int, 16> classes;
    Mask kinds = 0;
    bool boxes = false;
    bool polygons = false;

    explicit RowKeys(const ImageInfo &image)
    {
        if (image.bboxes) {
            for (const std::shared_ptr<BoxInfo> &box : image.bboxes->boxes()) {
                if (std::find(classes.begin(), classes.end(), box->catId) == classes.end())
                    classes.append(box->catId);
                (box->isPolygon() ? polygons : boxes) = true;
            }
        }
        for (const LabelCheck::Problem &problem : image.problems)
            kinds |= Mask(1) << int(problem.kind);
    }

    bool hasClass(int catId) const { return std::find(classes.begin(), classes.end(), catId) != classes.end(); }
    // True for no shape filter.
    bool hasShape(const QString &shape) const
    {
        return shape.isEmpty() || (shape == QLatin1String(ImageFilter::BoxShape) && boxes) ||
               (shape == QLatin1String(ImageFilter::PolygonShape) && polygons);
    }
};

Mask wantedKinds(const QString &problem)
{
    if (problem == QLatin1String(ImageFilter::AnyProblem))
        return ~Mask(0);
    LabelCheck::Kind kind;
    return !problem.isEmpty() && LabelCheck::fromKey(problem, kind) ? Mask(1) << int(kind) : 0;
}

} // namespace

QVariantList ImageFilter::classCounts() const
{
    countIfStale();
    return m_classCounts;
}

QVariantList ImageFilter::problemCounts() const
{
    countIfStale();
    return m_problemCounts;
}

QVariantList ImageFilter::shapeCounts() const
{
    countIfStale();
    return m_shapeCounts;
}

void ImageFilter::countIfStale() const
{
    if (!m_countsStale)
        return;
    recount();
    // Counted ahead of the timer for one reader: the others hear of it too.
    QMetaObject::invokeMethod(const_cast<ImageFilter *>(this), &ImageFilter::countsChanged, Qt::QueuedConnection);
}

void ImageFilter::refilterRows()
{
    const QVector<std::shared_ptr<ImageInfo>> &images = m_source->images();
    const bool byName = !m_name.isEmpty();
    const bool byClass = m_class != AnyClass;
    const bool byProblem = !m_problem.isEmpty();
    const Mask wanted = wantedKinds(m_problem);
    QVector<int> accepted(images.size());
    if (!byName && !byClass && !byProblem && m_shape.isEmpty()) {
        std::iota(accepted.begin(), accepted.end(), 0);
    } else {
        accepted.clear();
        for (int i = 0; i < images.size(); ++i) {
            const ImageInfo &image = *images.at(i);
            if (byName && !image.fileName.contains(m_name, Qt::CaseInsensitive))
                continue;
            const RowKeys keys(image);
            if ((!byClass || keys.hasClass(m_class)) && (!byProblem || (keys.kinds & wanted)) && keys.hasShape(m_shape))
                accepted.append(i);
        }
    }
    beginResetModel();
    m_rows = std::move(accepted);
    endResetModel();
    m_countsStale = true;
    Q_EMIT shownChanged();
}

void ImageFilter::sourceReset()
{
    refilterRows();
    m_recount.start();
}

void ImageFilter::recount() const
{
    m_recount.stop();
    const bool byClass = m_class != AnyClass;
    const bool byProblem = !m_problem.isEmpty();
    const Mask wanted = wantedKinds(m_problem);
    std::map<int, int> classRows;
    int kindRows[LabelCheck::KindCount] = {};
    int anyRows = 0;
    int boxRows = 0, polygonRows = 0;
    for (const std::shared_ptr<ImageInfo> &image : m_source->images()) {
        if (!m_name.isEmpty() && !image->fileName.contains(m_name, Qt::CaseInsensitive))
            continue;
        const RowKeys keys(*image);
        const bool passesClass = !byClass || keys.hasClass(m_class);
        const bool passesProblem = !byProblem || (keys.kinds & wanted);
        const bool passesShape = keys.hasShape(m_shape);
        if (passesProblem && passesShape) {
            for (const int catId : keys.classes)
                ++classRows[catId];
        }
        if (passesClass && passesShape) {
            anyRows += keys.kinds ? 1 : 0;
            for (int k = 0; k < LabelCheck::KindCount; ++k)
                kindRows[k] += (keys.kinds >> k) & 1;
        }
        if (passesClass && passesProblem) {
            boxRows += keys.boxes ? 1 : 0;
            polygonRows += keys.polygons ? 1 : 0;
        }
    }

    m_classCounts.clear();
    for (const auto &[catId, count] : classRows)
        m_classCounts.append(QVariantMap{{QStringLiteral("catId"), catId}, {QStringLiteral("rows"), count}});
    m_problemCounts.clear();
    m_problemCounts.append(QVariantMap{{QStringLiteral("kind"), QLatin1String(AnyProblem)},
                                       {QStringLiteral("name"), tr("any problem")},
                                       {QStringLiteral("rows"), anyRows}});
    for (int k = 0; k < LabelCheck::KindCount; ++k) {
        const auto kind = LabelCheck::Kind(k);
        m_problemCounts.append(QVariantMap{{QStringLiteral("kind"), LabelCheck::key(kind)},
                                           {QStringLiteral("name"), LabelCheck::description(kind)},
                                           {QStringLiteral("rows"), kindRows[k]}});
    }
    m_shapeCounts = {QVariantMap{{QStringLiteral("shape"), QLatin1String(BoxShape)},
                                 {QStringLiteral("name"), tr("with boxes")},
                                 {QStringLiteral("rows"), boxRows}},
                     QVariantMap{{QStringLiteral("shape"), QLatin1String(PolygonShape)},
                                 {QStringLiteral("name"), tr("with polygons")},
                                 {QStringLiteral("rows"), polygonRows}}};
    m_countsStale = false;
}

void ImageFilter::sourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    const auto begin = std::lower_bound(m_rows.cbegin(), m_rows.cend(), first);
    const auto end = std::upper_bound(m_rows.cbegin(), m_rows.cend(), last);
    m_removing = begin != end;
    if (m_removing)
        beginRemoveRows(QModelIndex(), int(begin - m_rows.cbegin()), int(end - m_rows.cbegin()) - 1);
}

void ImageFilter::sourceRowsRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    const int removed = last - first + 1;
    const auto begin = std::lower_bound(m_rows.begin(), m_rows.end(), first);
    const auto end = std::upper_bound(m_rows.begin(), m_rows.end(), last);
    const auto kept = m_rows.erase(begin, end);
    for (auto it = kept; it != m_rows.end(); ++it)
        *it -= removed;
    if (m_removing) {
        m_removing = false;
        endRemoveRows();
    }
    m_countsStale = true;
    Q_EMIT shownChanged();
    m_recount.start();
}

void ImageFilter::sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                    const QVector<int> &roles)
{
    const auto begin = std::lower_bound(m_rows.cbegin(), m_rows.cend(), topLeft.row());
    const auto end = std::upper_bound(m_rows.cbegin(), m_rows.cend(), bottomRight.row());
    if (begin != end)
        Q_EMIT dataChanged(index(int(begin - m_rows.cbegin())), index(int(end - m_rows.cbegin()) - 1), roles);
    // A changed row stays shown until the filters change, so that an image being
    // edited does not vanish under the pointer; only the counts follow at once.
    m_countsStale = true;
    m_recount.start();
}
