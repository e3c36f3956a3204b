#include "imagefilter.h"

#include "checks/csvreport.h"
#include "checks/datasetstats.h"
#include "checks/labelcheck.h"
#include "formats/fileio.h"
#include "images/imagelist.h"
#include "models/reviewstatus.h"

#include <QSettings>

#include <QVarLengthArray>

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <numeric>

ImageFilter::ImageFilter(ImageList *source, PredictionMatcher *matcher)
    : QAbstractListModel(nullptr), m_source(source), m_matcher(matcher)
{
    m_roleNames = source->roleNames();
    m_sourceRowRole = m_roleNames.size();
    m_roleNames.insert(m_sourceRowRole, "imgRow");
    m_statusRole = m_sourceRowRole + 1;
    m_roleNames.insert(m_statusRole, "imgStatus");

    connect(source, &QAbstractItemModel::modelReset, this, &ImageFilter::sourceReset);
    connect(source, &QAbstractItemModel::rowsInserted, this, &ImageFilter::sourceReset);
    connect(source, &QAbstractItemModel::layoutChanged, this, &ImageFilter::sourceReset);
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, &ImageFilter::sourceRowsAboutToBeRemoved);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &ImageFilter::sourceRowsRemoved);
    connect(source, &QAbstractItemModel::dataChanged, this, &ImageFilter::sourceDataChanged);
    if (matcher)
        connect(matcher, &PredictionMatcher::matchingChanged, this, &ImageFilter::matchingChanged);
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
    if (role == m_statusRole)
        return statusOf(m_rows.at(row));
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
    filtersChanged();
}

void ImageFilter::setClassFilter(int catId)
{
    if (catId == m_class)
        return;
    m_class = catId;
    filtersChanged();
}

void ImageFilter::setProblemFilter(const QString &kind)
{
    if (kind == m_problem)
        return;
    m_problem = kind;
    filtersChanged();
}

void ImageFilter::setShapeFilter(const QString &shape)
{
    if (shape == m_shape)
        return;
    m_shape = shape;
    filtersChanged();
}

void ImageFilter::setPredictionFilter(const QString &kind)
{
    if (kind == m_prediction)
        return;
    m_prediction = kind;
    filtersChanged();
}

void ImageFilter::setDuplicateFilter(bool on)
{
    if (on == m_duplicates)
        return;
    m_duplicates = on;
    filtersChanged();
}

void ImageFilter::setDuplicateGroups(const QHash<QString, int> &groupOf, bool searched)
{
    if (groupOf.isEmpty() && m_groupOf.isEmpty() && searched == m_searched)
        return;
    m_groupOf = groupOf;
    m_searched = searched;
    refilterRows();
}

void ImageFilter::keepDuplicates(QVector<int> &rows)
{
    if (m_groupOf.isEmpty()) {
        m_duplicateCount = m_searched ? 0 : -1;
        if (m_duplicates)
            rows.clear();
        return;
    }
    const QVector<std::shared_ptr<ImageInfo>> &images = m_source->images();
    QVector<QPair<int, int>> grouped; // group, row
    for (const int row : qAsConst(rows)) {
        const int group = m_groupOf.value(images.at(row)->filePath, -1);
        if (group >= 0)
            grouped.append({group, row});
    }
    m_duplicateCount = m_searched ? grouped.size() : -1;
    if (!m_duplicates)
        return;
    // The groups' order replaces any other.
    std::sort(grouped.begin(), grouped.end());
    rows.resize(grouped.size());
    for (int i = 0; i < grouped.size(); ++i)
        rows[i] = grouped[i].second;
}

void ImageFilter::setSortOrder(const QString &order)
{
    if (order == m_sort)
        return;
    m_sort = order;
    saveSort();
    orderChanged();
}

void ImageFilter::setSortReversed(bool reversed)
{
    if (reversed == m_sortReversed)
        return;
    m_sortReversed = reversed;
    saveSort();
    orderChanged();
}

namespace {

const QString SortOrdersKey = QStringLiteral("sortOrders");

} // namespace

void ImageFilter::useSortOf(const QString &dataset)
{
    m_sortDataset = dataset;
    const QVariantMap saved = QSettings().value(SortOrdersKey).toMap().value(dataset).toMap();
    const QString order = saved.value(QStringLiteral("order")).toString();
    const bool reversed = saved.value(QStringLiteral("reversed")).toBool();
    if (order == m_sort && reversed == m_sortReversed)
        return;
    m_sort = order;
    m_sortReversed = reversed;
    filtersChanged();
}

void ImageFilter::saveSort() const
{
    if (m_sortDataset.isEmpty())
        return;
    QSettings settings;
    QVariantMap orders = settings.value(SortOrdersKey).toMap();
    orders.insert(m_sortDataset,
                  QVariantMap{{QStringLiteral("order"), m_sort}, {QStringLiteral("reversed"), m_sortReversed}});
    settings.setValue(SortOrdersKey, orders);
}

void ImageFilter::setReviewStatus(ReviewStatus *review)
{
    m_review = review;
    connect(review, &ReviewStatus::rowChanged, this, &ImageFilter::reviewRowChanged);
    connect(review, &ReviewStatus::statusesChanged, this, &ImageFilter::reviewChanged);
    reviewChanged();
}

void ImageFilter::setStatusFilter(const QString &status)
{
    if (status == m_status)
        return;
    m_status = status;
    filtersChanged();
}

int ImageFilter::statusOf(int sourceRow) const
{
    return m_review ? int(m_review->status(sourceRow)) : int(StatusFile::Unreviewed);
}

// Like an edit, a new status leaves the row where it is until the filters change.
void ImageFilter::reviewRowChanged(int sourceRow)
{
    const int position = sourceRow >= 0 && sourceRow < m_position.size() ? m_position.at(sourceRow) : -1;
    if (position >= 0)
        Q_EMIT dataChanged(index(position), index(position), {m_statusRole});
    m_countsStale = true;
    m_recount.start();
}

void ImageFilter::reviewChanged()
{
    if (!m_status.isEmpty() || m_sort == QLatin1String(ByStatus))
        refilterRows();
    else if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0), index(m_rows.size() - 1), {m_statusRole});
    m_countsStale = true;
    m_recount.start();
}

int ImageFilter::nextUnreviewed(int row) const
{
    const int count = m_rows.size();
    for (int step = 1; step <= count; ++step) {
        const int next = ((row < 0 ? -1 : row) + step) % count;
        if (statusOf(m_rows.at(next)) == StatusFile::Unreviewed)
            return next;
    }
    return -1;
}

QVariantMap ImageFilter::confusionFilter() const
{
    if (!m_cellSet)
        return {};
    return {{QStringLiteral("labelClass"), m_cellLabel}, {QStringLiteral("predictedClass"), m_cellPredicted}};
}

void ImageFilter::setConfusionFilter(int labelClass, int predictedClass)
{
    if (m_cellSet && labelClass == m_cellLabel && predictedClass == m_cellPredicted)
        return;
    m_cellSet = true;
    m_cellLabel = labelClass;
    m_cellPredicted = predictedClass;
    if (m_matcher)
        m_matcher->setConfusionCell(labelClass, predictedClass);
    filtersChanged();
}

void ImageFilter::clearConfusionFilter()
{
    if (!m_cellSet)
        return;
    m_cellSet = false;
    if (m_matcher)
        m_matcher->clearConfusionCell();
    filtersChanged();
}

bool ImageFilter::byMatching() const
{
    return !m_prediction.isEmpty() || m_sort == QLatin1String(ByDisagreements) ||
           m_sort == QLatin1String(ByConfidence) || m_cellSet;
}

// The same rows in another order: the counts stand.
void ImageFilter::orderChanged()
{
    const bool stale = m_countsStale;
    refilterRows();
    m_countsStale = stale;
    Q_EMIT filterChanged();
}

void ImageFilter::filtersChanged()
{
    refilterRows();
    Q_EMIT filterChanged();
    recount();
    Q_EMIT countsChanged();
}

// New thresholds change what the prediction filters and orders see: the rows follow at
// once, the counts when the slider rests.
void ImageFilter::matchingChanged()
{
    if (byMatching())
        refilterRows();
    m_countsStale = true;
    m_recount.start();
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
    return shownStatistics().toVariant();
}

bool ImageFilter::saveStatistics(const QString &file, const QVariantList &categories, const QString &split) const
{
    QHash<int, QString> names;
    for (const QVariant &category : categories) {
        const QVariantMap map = category.toMap();
        names.insert(map.value(QStringLiteral("catId")).toInt(), map.value(QStringLiteral("catName")).toString());
    }
    const DatasetStats stats = shownStatistics();
    return FileIo::writeFile(file,
                             CsvReport::csv({{split, &stats}}, [&names](int catId) { return names.value(catId); }));
}

bool ImageFilter::saveReport(const QString &file) const
{
    const QVector<std::shared_ptr<ImageInfo>> &images = m_source->images();
    const bool predictions = m_matcher && m_matcher->available();
    const QVector<PredictionMatcher::Summary> *summaries = predictions ? &m_matcher->summaries() : nullptr;
    QVector<CsvReport::ReviewRow> rows;
    rows.reserve(m_rows.size());
    for (const int row : m_rows) {
        if (row >= images.size())
            continue;
        const ImageInfo &image = *images.at(row);
        CsvReport::ReviewRow report;
        report.image = image.filePath;
        report.labelFile = image.yoloTxtFilePath;
        report.status = StatusFile::key(StatusFile::Status(statusOf(row)));
        report.boxes = image.bboxes ? image.bboxes->rowCount() : 0;
        for (const LabelCheck::Problem &problem : image.problems)
            report.problems.append(LabelCheck::key(problem.kind));
        if (summaries && row < summaries->size()) {
            const PredictionMatcher::Summary &summary = summaries->at(row);
            report.missed = summary.missed;
            report.extra = summary.extra;
            report.wrongClass = summary.wrongClass;
            report.duplicates = summary.duplicates;
        }
        rows.append(report);
    }
    return FileIo::writeFile(file, CsvReport::reviewCsv(rows));
}

DatasetStats ImageFilter::shownStatistics() const
{
    DatasetStats stats;
    const QVector<std::shared_ptr<ImageInfo>> &images = m_source->images();
    for (const int row : m_rows) {
        if (row >= images.size())
            continue;
        const ImageInfo &image = *images.at(row);
        if (!image.bboxes)
            continue;
        if (statusOf(row) != StatusFile::VerifiedEmpty) {
            stats.add(image.bboxes->boxes(), image.problems);
            continue;
        }
        QVector<LabelCheck::Problem> problems = image.problems;
        problems.erase(
            std::remove_if(problems.begin(), problems.end(),
                           [](const LabelCheck::Problem &p) { return p.kind == LabelCheck::Kind::EmptyFile; }),
            problems.end());
        stats.add(image.bboxes->boxes(), problems);
    }
    return stats;
}

namespace {

using Mask = quint32;
static_assert(LabelCheck::KindCount <= 32, "a problem kind per bit");
using Summary = PredictionMatcher::Summary;

// The kinds of disagreement, a bit each, in the order of the prediction counts.
constexpr int DisagreementKinds = 4;
const char *const disagreementKeys[DisagreementKinds] = {ImageFilter::Missed, ImageFilter::Extra,
                                                         ImageFilter::WrongClass, ImageFilter::Duplicate};

Mask disagreementsOf(const Summary &s)
{
    return Mask(s.missed > 0) | Mask(s.extra > 0) << 1 | Mask(s.wrongClass > 0) << 2 | Mask(s.duplicates > 0) << 3;
}

Mask wantedDisagreements(const QString &kind)
{
    if (kind == QLatin1String(ImageFilter::AnyDisagreement))
        return (Mask(1) << DisagreementKinds) - 1;
    for (int k = 0; k < DisagreementKinds; ++k) {
        if (kind == QLatin1String(disagreementKeys[k]))
            return Mask(1) << k;
    }
    return 0;
}

// What the filters look at in a row: its classes, its kinds of problem and its shapes.
struct RowKeys
{
    QVarLengthArray<int, 16> classes;
    Mask kinds = 0;
    bool boxes = false;
    bool polygons = false;

    // A verified empty image rightly has no boxes: its file is not "empty" as a fault.
    RowKeys(const ImageInfo &image, int status)
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
        if (status == StatusFile::VerifiedEmpty)
            kinds &= ~(Mask(1) << int(LabelCheck::Kind::EmptyFile));
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

QVariantList ImageFilter::predictionCounts() const
{
    countIfStale();
    return m_predictionCounts;
}

QVariantList ImageFilter::statusCounts() const
{
    countIfStale();
    return m_statusCounts;
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
    const bool byKeys = byClass || byProblem || !m_shape.isEmpty();
    const bool byPrediction = !m_prediction.isEmpty();
    const Mask wanted = wantedKinds(m_problem);
    const Mask wantedDisagreement = wantedDisagreements(m_prediction);
    const Summary *summaries = m_matcher && byMatching() ? m_matcher->summaries().constData() : nullptr;
    StatusFile::Status wantedStatus = StatusFile::Unreviewed;
    const bool byStatus = !m_status.isEmpty();
    if (byStatus && !StatusFile::fromKey(m_status, wantedStatus))
        wantedStatus = StatusFile::Status(-1);
    QVector<int> accepted(images.size());
    if (!byName && !byKeys && !byPrediction && !m_cellSet && !byStatus) {
        std::iota(accepted.begin(), accepted.end(), 0);
    } else {
        accepted.clear();
        for (int i = 0; i < images.size(); ++i) {
            const ImageInfo &image = *images.at(i);
            if (byName && !image.fileName.contains(m_name, Qt::CaseInsensitive))
                continue;
            if (byStatus && statusOf(i) != wantedStatus)
                continue;
            if ((byPrediction && !(summaries && (disagreementsOf(summaries[i]) & wantedDisagreement))) ||
                (m_cellSet && !(summaries && summaries[i].inCell)))
                continue;
            if (byKeys) {
                const RowKeys keys(image, statusOf(i));
                if ((byClass && !keys.hasClass(m_class)) || (byProblem && !(keys.kinds & wanted)) ||
                    !keys.hasShape(m_shape))
                    continue;
            }
            accepted.append(i);
        }
    }
    sortRows(accepted, summaries);
    keepDuplicates(accepted);
    beginResetModel();
    m_rows = std::move(accepted);
    updatePositions();
    endResetModel();
    m_countsStale = true;
    Q_EMIT shownChanged();
}

// Each order is a key per row, sorted on stably so that ties keep file order.
void ImageFilter::sortRows(QVector<int> &rows, const Summary *summaries) const
{
    const QVector<std::shared_ptr<ImageInfo>> &images = m_source->images();
    constexpr double Last = std::numeric_limits<double>::infinity();
    std::function<double(int)> keyOf;
    if (m_sort == QLatin1String(ByDisagreements) && summaries) {
        keyOf = [summaries](int i) { return -double(summaries[i].disagreements()); };
    } else if (m_sort == QLatin1String(ByConfidence) && summaries) {
        keyOf = [summaries](int i) { return summaries[i].matched ? double(summaries[i].lowestMatch) : Last; };
    } else if (m_sort == QLatin1String(ByName)) {
        if (m_nameRank.size() != images.size()) {
            QVector<QStringView> names;
            names.reserve(images.size());
            for (const std::shared_ptr<ImageInfo> &image : images)
                names.append(image->fileName);
            const QVector<int> order = FileIo::naturalOrder(names);
            m_nameRank.resize(images.size());
            for (int i = 0; i < order.size(); ++i)
                m_nameRank[order.at(i)] = i;
        }
        keyOf = [this](int i) { return double(m_nameRank.at(i)); };
    } else if (m_sort == QLatin1String(ByProblems)) {
        keyOf = [this, &images](int i) {
            const QVector<LabelCheck::Problem> &problems = images.at(i)->problems;
            const bool verifiedEmpty = statusOf(i) == StatusFile::VerifiedEmpty;
            return -double(
                std::count_if(problems.begin(), problems.end(), [verifiedEmpty](const LabelCheck::Problem &p) {
                    return !verifiedEmpty || p.kind != LabelCheck::Kind::EmptyFile;
                }));
        };
    } else if (m_sort == QLatin1String(ByBoxes)) {
        keyOf = [&images](int i) {
            const BBoxList *boxes = images.at(i)->bboxes.get();
            return boxes ? -double(boxes->boxes().size()) : 0.0;
        };
    } else if (m_sort == QLatin1String(ByStatus)) {
        // What needs looking at comes first.
        static constexpr double rank[StatusFile::StatusCount] = {1, 2, 0, 3};
        keyOf = [this](int i) { return rank[statusOf(i)]; };
    } else if (m_sort == QLatin1String(BySmallestBox)) {
        keyOf = [&images](int i) {
            double smallest = Last;
            if (const BBoxList *boxes = images.at(i)->bboxes.get()) {
                for (const std::shared_ptr<BoxInfo> &box : boxes->boxes()) {
                    const double area = double(box->cw) * double(box->ch);
                    // A comparison with a NaN would break the sort.
                    if (area < smallest)
                        smallest = area;
                }
            }
            return smallest;
        };
    }
    if (!keyOf) {
        if (m_sortReversed)
            std::reverse(rows.begin(), rows.end());
        return;
    }
    QVector<double> keys(images.size());
    for (const int row : qAsConst(rows))
        keys[row] = keyOf(row);
    const double *k = keys.constData();
    if (m_sortReversed)
        std::stable_sort(rows.begin(), rows.end(), [k](int a, int b) { return k[b] < k[a]; });
    else
        std::stable_sort(rows.begin(), rows.end(), [k](int a, int b) { return k[a] < k[b]; });
}

void ImageFilter::updatePositions()
{
    m_position.fill(-1, m_source->rowCount());
    for (int i = 0; i < m_rows.size(); ++i)
        m_position[m_rows.at(i)] = i;
}

void ImageFilter::sourceReset()
{
    m_nameRank.clear();
    refilterRows();
    m_recount.start();
}

void ImageFilter::recount() const
{
    m_recount.stop();
    const bool byClass = m_class != AnyClass;
    const bool byProblem = !m_problem.isEmpty();
    const bool byPrediction = !m_prediction.isEmpty();
    const Mask wanted = wantedKinds(m_problem);
    const Mask wantedDisagreement = wantedDisagreements(m_prediction);
    const Summary *summaries = m_matcher ? m_matcher->summaries().constData() : nullptr;
    const QVector<std::shared_ptr<ImageInfo>> &images = m_source->images();
    std::map<int, int> classRows;
    int kindRows[LabelCheck::KindCount] = {};
    int anyRows = 0;
    int boxRows = 0, polygonRows = 0;
    int disagreementRows[DisagreementKinds] = {};
    int anyDisagreementRows = 0;
    int statusRows[StatusFile::StatusCount] = {};
    StatusFile::Status wantedStatus = StatusFile::Unreviewed;
    const bool byStatus = !m_status.isEmpty();
    if (byStatus && !StatusFile::fromKey(m_status, wantedStatus))
        wantedStatus = StatusFile::Status(-1);
    for (int i = 0; i < images.size(); ++i) {
        const ImageInfo &image = *images.at(i);
        if (!m_name.isEmpty() && !image.fileName.contains(m_name, Qt::CaseInsensitive))
            continue;
        if (m_cellSet && !(summaries && summaries[i].inCell))
            continue;
        const int status = statusOf(i);
        const RowKeys keys(image, status);
        const Mask disagreements = summaries ? disagreementsOf(summaries[i]) : 0;
        const bool passesClass = !byClass || keys.hasClass(m_class);
        const bool passesProblem = !byProblem || (keys.kinds & wanted);
        const bool passesShape = keys.hasShape(m_shape);
        const bool passesPrediction = !byPrediction || (disagreements & wantedDisagreement);
        if (passesClass && passesProblem && passesShape && passesPrediction)
            ++statusRows[status];
        if (byStatus && status != wantedStatus)
            continue;
        if (passesProblem && passesShape && passesPrediction) {
            for (const int catId : keys.classes)
                ++classRows[catId];
        }
        if (passesClass && passesShape && passesPrediction) {
            anyRows += keys.kinds ? 1 : 0;
            for (int k = 0; k < LabelCheck::KindCount; ++k)
                kindRows[k] += (keys.kinds >> k) & 1;
        }
        if (passesClass && passesProblem && passesPrediction) {
            boxRows += keys.boxes ? 1 : 0;
            polygonRows += keys.polygons ? 1 : 0;
        }
        if (passesClass && passesProblem && passesShape) {
            anyDisagreementRows += disagreements ? 1 : 0;
            for (int k = 0; k < DisagreementKinds; ++k)
                disagreementRows[k] += (disagreements >> k) & 1;
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
    const QString disagreementNames[DisagreementKinds] = {tr("missed boxes"), tr("extra boxes"), tr("wrong class"),
                                                          tr("duplicates")};
    m_predictionCounts = {QVariantMap{{QStringLiteral("kind"), QLatin1String(AnyDisagreement)},
                                      {QStringLiteral("name"), tr("any disagreement")},
                                      {QStringLiteral("rows"), anyDisagreementRows}}};
    for (int k = 0; k < DisagreementKinds; ++k)
        m_predictionCounts.append(QVariantMap{{QStringLiteral("kind"), QLatin1String(disagreementKeys[k])},
                                              {QStringLiteral("name"), disagreementNames[k]},
                                              {QStringLiteral("rows"), disagreementRows[k]}});
    const QString statusNames[StatusFile::StatusCount] = {tr("unreviewed"), tr("accepted"), tr("needs fix"),
                                                          tr("verified empty")};
    m_statusCounts.clear();
    for (int k = 0; k < StatusFile::StatusCount; ++k)
        m_statusCounts.append(QVariantMap{{QStringLiteral("status"), StatusFile::key(StatusFile::Status(k))},
                                          {QStringLiteral("name"), statusNames[k]},
                                          {QStringLiteral("rows"), statusRows[k]}});
    m_countsStale = false;
}

void ImageFilter::sourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    int lowest = INT_MAX, highest = -1, going = 0;
    for (int row = first; row <= last && row < m_position.size(); ++row) {
        const int position = m_position.at(row);
        if (position >= 0) {
            lowest = std::min(lowest, position);
            highest = std::max(highest, position);
            ++going;
        }
    }
    // Under a sort the rows going need not be together here.
    m_removingRows = going > 0 && highest - lowest + 1 == going;
    m_removingAll = going > 0 && !m_removingRows;
    if (m_removingRows)
        beginRemoveRows(QModelIndex(), lowest, highest);
    else if (m_removingAll)
        beginResetModel();
}

void ImageFilter::sourceRowsRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    const int removed = last - first + 1;
    m_nameRank.clear();
    m_rows.erase(std::remove_if(m_rows.begin(), m_rows.end(), [=](int row) { return row >= first && row <= last; }),
                 m_rows.end());
    for (int &row : m_rows)
        row -= row > last ? removed : 0;
    updatePositions();
    if (m_removingRows)
        endRemoveRows();
    else if (m_removingAll)
        endResetModel();
    m_removingRows = m_removingAll = false;
    m_countsStale = true;
    Q_EMIT shownChanged();
    m_recount.start();
}

void ImageFilter::sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                    const QVector<int> &roles)
{
    int lowest = INT_MAX, highest = -1;
    for (int row = std::max(0, topLeft.row()); row <= bottomRight.row() && row < m_position.size(); ++row) {
        const int position = m_position.at(row);
        if (position >= 0) {
            lowest = std::min(lowest, position);
            highest = std::max(highest, position);
        }
    }
    if (highest >= 0)
        Q_EMIT dataChanged(index(lowest), index(highest), roles);
    // A changed row stays shown until the filters change, so that an image being
    // edited does not vanish under the pointer; only the counts follow at once.
    m_countsStale = true;
    m_recount.start();
}
