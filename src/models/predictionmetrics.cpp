#include "predictionmetrics.h"

#include "images/imagelist.h"
#include "models/predictionmatcher.h"

#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <vector>

namespace {

// The rows' boxes and predictions as they were when a computation was asked for. Box
// values are copied, since the editor changes boxes in place while the copy is read.
struct Snapshot
{
    std::vector<BoxInfo> boxes;
    std::vector<int> firstBox; // per row, and one past the last
    QVector<QVector<Prediction>> predictions;
    double iou = 0;
    double confidence = 0;
};

std::shared_ptr<Snapshot> takeSnapshot(const QVector<std::shared_ptr<ImageInfo>> &rows)
{
    auto snapshot = std::make_shared<Snapshot>();
    size_t boxes = 0;
    for (const std::shared_ptr<ImageInfo> &row : rows)
        boxes += row->bboxes ? size_t(row->bboxes->boxes().size()) : 0;
    snapshot->boxes.reserve(boxes);
    snapshot->firstBox.reserve(size_t(rows.size()) + 1);
    snapshot->predictions.reserve(rows.size());
    for (const std::shared_ptr<ImageInfo> &row : rows) {
        snapshot->firstBox.push_back(int(snapshot->boxes.size()));
        snapshot->predictions.append(row->predictions);
        if (!row->bboxes)
            continue;
        for (const std::shared_ptr<BoxInfo> &box : row->bboxes->boxes()) {
            BoxInfo &copy = snapshot->boxes.emplace_back();
            copy.catId = box->catId;
            copy.cx = box->cx;
            copy.cy = box->cy;
            copy.cw = box->cw;
            copy.ch = box->ch;
        }
    }
    snapshot->firstBox.push_back(int(snapshot->boxes.size()));
    return snapshot;
}

DetectionMetrics::Figures computeFrom(const std::shared_ptr<Snapshot> &snapshot)
{
    // The label lists point into the copy, which they keep alive, without a block each.
    const std::shared_ptr<std::vector<BoxInfo>> boxes(snapshot, &snapshot->boxes);
    QVector<DetectionMetrics::ImageData> images(snapshot->predictions.size());
    for (int row = 0; row < images.size(); ++row) {
        DetectionMetrics::ImageData &image = images[row];
        image.predictions = snapshot->predictions.at(row);
        const int first = snapshot->firstBox[size_t(row)], end = snapshot->firstBox[size_t(row) + 1];
        image.labels.reserve(end - first);
        for (int b = first; b < end; ++b)
            image.labels.append(std::shared_ptr<BoxInfo>(boxes, &(*boxes)[size_t(b)]));
    }
    return DetectionMetrics::compute(images, snapshot->iou, snapshot->confidence);
}

// The points a chart needs to keep the curve's shape: the top and the bottom of each
// run of one recall and, when those are still too many, the highest and the lowest
// point of each band of recall; always the first and the last point.
QVector<int> thinned(const QVector<QPointF> &points, int most)
{
    QVector<int> keep;
    for (int i = 0; i < points.size(); ++i) {
        const bool first = i == 0 || points[i].x() != points[i - 1].x();
        const bool last = i + 1 == points.size() || points[i + 1].x() != points[i].x();
        if (first || last)
            keep.append(i);
    }
    if (keep.size() <= most)
        return keep;
    const int bands = (most - 2) / 2;
    const double low = points[keep.first()].x(), span = points[keep.last()].x() - low;
    QVector<int> result{keep.first()};
    int band = -1, top = -1, bottom = -1;
    const auto close = [&] {
        if (top < 0)
            return;
        result.append(std::min(top, bottom));
        if (top != bottom)
            result.append(std::max(top, bottom));
    };
    for (int k = 1; k + 1 < keep.size(); ++k) {
        const int i = keep[k];
        const int b = span > 0 ? std::min(bands - 1, int((points[i].x() - low) / span * bands)) : 0;
        if (b != band) {
            close();
            band = b;
            top = bottom = i;
        } else if (points[i].y() > points[top].y()) {
            top = i;
        } else if (points[i].y() < points[bottom].y()) {
            bottom = i;
        }
    }
    close();
    result.append(keep.last());
    return result;
}

QVariantMap classMap(const DetectionMetrics::ClassFigures &c)
{
    return {{QStringLiteral("catId"), c.catId},
            {QStringLiteral("labels"), c.labels},
            {QStringLiteral("predictions"), c.predictions},
            {QStringLiteral("truePositives"), c.truePositives},
            {QStringLiteral("falsePositives"), c.falsePositives},
            {QStringLiteral("falseNegatives"), c.falseNegatives},
            {QStringLiteral("precision"), c.precision},
            {QStringLiteral("recall"), c.recall},
            {QStringLiteral("ap50"), c.ap50},
            {QStringLiteral("apCoco"), c.apCoco}};
}

} // namespace

PredictionMetrics::PredictionMetrics(ImageList *list, PredictionMatcher *matcher) : m_list(list), m_matcher(matcher)
{
    // A slider sends a change at every step; the figures follow once it rests.
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(250);
    connect(&m_debounce, &QTimer::timeout, this, &PredictionMetrics::refresh);
    connect(matcher, &PredictionMatcher::thresholdsChanged, this, [this] {
        if (m_active)
            m_debounce.start();
    });
    // Figures of rows that are gone are not shown, not even until the next computation.
    connect(list, &QAbstractItemModel::modelReset, this, [this] {
        ++m_resets;
        if (m_active)
            m_debounce.start();
        else
            dropResults();
    });
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &PredictionMetrics::finished);
}

PredictionMetrics::~PredictionMetrics()
{
    // A computation still under way works on its own copy; its result is dropped.
    m_watcher.disconnect(this);
}

void PredictionMetrics::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (!active)
        m_debounce.stop();
    Q_EMIT activeChanged();
    if (active)
        refresh();
}

void PredictionMetrics::refresh()
{
    m_debounce.stop();
    if (m_running) {
        m_pending = true;
        return;
    }
    m_running = true;
    start();
    Q_EMIT busyChanged();
}

void PredictionMetrics::start()
{
    m_runResets = m_resets;
    const std::shared_ptr<Snapshot> snapshot = takeSnapshot(m_list->images());
    snapshot->iou = m_runIou = m_matcher->iou();
    snapshot->confidence = m_runConfidence = m_matcher->confidence();
    m_watcher.setFuture(QtConcurrent::run([snapshot] { return computeFrom(snapshot); }));
}

void PredictionMetrics::finished()
{
    if (m_pending) {
        // Asked for again while this one ran: its figures are already out of date.
        m_pending = false;
        start();
        return;
    }
    m_running = false;
    if (m_runResets != m_resets) {
        Q_EMIT busyChanged();
        return;
    }
    m_figures = m_watcher.result();
    m_confidence = m_runConfidence;
    m_iou = m_runIou;
    m_computed = true;
    m_classes.clear();
    m_confusionClasses.clear();
    for (const DetectionMetrics::ClassFigures &c : qAsConst(m_figures.classes)) {
        m_classes.append(classMap(c));
        m_confusionClasses.append(c.catId);
    }
    m_withoutLabels.clear();
    for (int catId : qAsConst(m_figures.classesWithoutLabels))
        m_withoutLabels.append(catId);
    m_confusion.clear();
    for (const QVector<int> &row : qAsConst(m_figures.confusion)) {
        QVariantList cells;
        cells.reserve(row.size());
        for (int count : row)
            cells.append(count);
        m_confusion.append(QVariant(cells));
    }
    Q_EMIT resultsChanged();
    Q_EMIT busyChanged();
}

void PredictionMetrics::dropResults()
{
    if (!m_computed)
        return;
    m_computed = false;
    m_figures = {};
    m_classes.clear();
    m_withoutLabels.clear();
    m_confusion.clear();
    m_confusionClasses.clear();
    Q_EMIT resultsChanged();
}

QVariantList PredictionMetrics::precisionRecall(int catId) const
{
    const auto found = std::find_if(m_figures.classes.cbegin(), m_figures.classes.cend(),
                                    [catId](const DetectionMetrics::ClassFigures &c) { return c.catId == catId; });
    if (found == m_figures.classes.cend())
        return {};
    const QVector<QPointF> &points = found->precisionRecall;
    // Each point's precision as the average precision takes it: the most at any higher recall.
    std::vector<double> interpolated(size_t(points.size()));
    double most = 0;
    for (int i = points.size(); i-- > 0;)
        interpolated[size_t(i)] = most = std::max(most, points[i].y());
    QVariantList curve;
    for (int i : thinned(points, CurvePoints))
        curve.append(QVariantMap{{QStringLiteral("recall"), points[i].x()},
                                 {QStringLiteral("precision"), points[i].y()},
                                 {QStringLiteral("interpolated"), interpolated[size_t(i)]}});
    return curve;
}
