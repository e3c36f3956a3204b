#include "predictionmatcher.h"

#include "checks/detectionmetrics.h"
#include "images/imagelist.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <system_error>
#include <thread>
#include <vector>

namespace {

QVariantMap mark(const char *kind, int catId, double cx, double cy, double cw, double ch, double score)
{
    return {{QStringLiteral("kind"), QLatin1String(kind)},
            {QStringLiteral("catId"), catId},
            {QStringLiteral("cx"), cx},
            {QStringLiteral("cy"), cy},
            {QStringLiteral("cw"), cw},
            {QStringLiteral("ch"), ch},
            {QStringLiteral("score"), score}};
}

const char *kindName(DetectionMetrics::Outcome outcome)
{
    switch (outcome) {
    case DetectionMetrics::Outcome::TruePositive:
        return "match";
    case DetectionMetrics::Outcome::Extra:
        return "extra";
    case DetectionMetrics::Outcome::WrongClass:
        return "class";
    case DetectionMetrics::Outcome::Duplicate:
        return "dup";
    case DetectionMetrics::Outcome::BelowThreshold:
        break;
    }
    return "";
}

// A slider's value, kept within 0 to 1; anything else leaves the threshold as it was.
bool takeThreshold(double value, double &threshold)
{
    if (!std::isfinite(value))
        return false;
    value = std::clamp(value, 0.0, 1.0);
    if (value == threshold)
        return false;
    threshold = value;
    return true;
}

struct Matching
{
    double iou;
    double confidence;
    bool available;
    bool cellSet;
    int cellLabel;
    int cellPredicted;
};

// The row's predictions by confidence, highest first, ties in file order and NaN last.
void sortPredictions(const QVector<Prediction> &predictions, int *order)
{
    const auto rank = [&](int p) {
        const double score = predictions[p].score;
        return std::isnan(score) ? -std::numeric_limits<double>::infinity() : score;
    };
    std::iota(order, order + predictions.size(), 0);
    std::stable_sort(order, order + predictions.size(), [&](int a, int b) { return rank(a) > rank(b); });
}

struct Scratch
{
    std::vector<int> order;
    QVarLengthArray<DetectionMetrics::Rect, 32> rects;
    QVarLengthArray<char, 32> matched;
    QVarLengthArray<char, 32> pointedAt;
};

// DetectionMetrics::matchImage's matching, told in counts, in one pass down the
// predictions in the order kept for the row: a slider moves this over every row.
// Predictions that overlap no label box of their class are wrong-class or extra in any
// order, so ranking the others alone, as matchImage does, comes to the same.
PredictionMatcher::Summary summarise(const ImageInfo &image, const int *order, const Matching &m, Scratch &scratch)
{
    PredictionMatcher::Summary s;
    // Without predictions anywhere nothing is missed; with them, an image the model
    // found nothing in has every label box missed.
    if (!m.available || !image.bboxes)
        return s;
    const auto cell = [&](int labelClass, int predictedClass) {
        s.inCell = s.inCell || (m.cellSet && labelClass == m.cellLabel && predictedClass == m.cellPredicted);
    };
    const QVector<std::shared_ptr<BoxInfo>> &labels = image.bboxes->boxes();
    const int nl = labels.size();
    scratch.rects.resize(nl);
    scratch.matched.resize(nl);
    scratch.pointedAt.resize(nl);
    for (int l = 0; l < nl; ++l) {
        const BoxInfo &box = *labels[l];
        scratch.rects[l] = DetectionMetrics::rectOf(box.cx, box.cy, box.cw, box.ch);
        scratch.matched[l] = scratch.pointedAt[l] = 0;
    }
    for (int k = 0; k < image.predictions.size(); ++k) {
        const Prediction &prediction = image.predictions[order[k]];
        if (!(prediction.score >= m.confidence))
            break; // the rest are lower
        const DetectionMetrics::Rect r =
            DetectionMetrics::rectOf(prediction.cx, prediction.cy, prediction.cw, prediction.ch);
        bool own = false;
        int free = -1, other = -1;
        double freeIou = 0, otherIou = 0;
        for (int l = 0; l < nl; ++l) {
            const double v = DetectionMetrics::iouOf(r, scratch.rects[l]);
            // Boxes that do not touch never match, even at a threshold of 0.
            if (!(v >= m.iou && v > 0))
                continue;
            if (labels[l]->catId != prediction.catId) {
                if (other < 0 || v > otherIou)
                    other = l, otherIou = v;
            } else {
                own = true;
                if (!scratch.matched[l] && (free < 0 || v > freeIou))
                    free = l, freeIou = v;
            }
        }
        if (own && free >= 0) {
            scratch.matched[free] = 1;
            s.matched = true;
            s.lowestMatch = float(prediction.score);
            cell(prediction.catId, prediction.catId);
        } else if (own) {
            ++s.duplicates;
            cell(PredictionMatcher::Background, prediction.catId);
        } else if (other >= 0) {
            ++s.wrongClass;
            scratch.pointedAt[other] = 1;
            cell(labels[other]->catId, prediction.catId);
        } else {
            ++s.extra;
            cell(PredictionMatcher::Background, prediction.catId);
        }
    }
    // A missed label box that a wrong-class prediction points at is counted in that
    // prediction's cell, not in the background column.
    for (int l = 0; l < nl; ++l) {
        if (scratch.matched[l])
            continue;
        ++s.missed;
        if (!scratch.pointedAt[l])
            cell(labels[l]->catId, PredictionMatcher::Background);
    }
    return s;
}

// Rows first to first + count - 1, their orders sorted first when `sort` is set.
void summariseRows(const std::shared_ptr<ImageInfo> *images, PredictionMatcher::Summary *out, const int *orderStart,
                   int *order, int first, int count, bool sort, const Matching &m)
{
    Scratch scratch;
    const int end = first + count;
    for (int i = first; i < end; ++i) {
        // Each row is a chain of objects on the heap: asking for those of the rows
        // ahead lets the memory fetch them while this one is matched.
        if (i + 8 < end)
            __builtin_prefetch(images[i + 8].get());
        if (i + 4 < end) {
            const ImageInfo &ahead = *images[i + 4];
            __builtin_prefetch(ahead.bboxes.get());
            __builtin_prefetch(ahead.predictions.constData());
        }
        if (i + 2 < end && images[i + 2]->bboxes) {
            for (const std::shared_ptr<BoxInfo> &box : images[i + 2]->bboxes->boxes())
                __builtin_prefetch(box.get());
        }
        // A row's slot holds the number of its predictions, then their order.
        const QVector<Prediction> &predictions = images[i]->predictions;
        int *slot = order + orderStart[i];
        if (sort) {
            slot[0] = predictions.size();
            sortPredictions(predictions, slot + 1);
        }
        const int *ranked = slot + 1;
        if (slot[0] != predictions.size()) {
            // Changed since the list was read: not a way the window takes, but safe.
            scratch.order.resize(size_t(predictions.size()));
            sortPredictions(predictions, scratch.order.data());
            ranked = scratch.order.data();
        }
        out[i] = summarise(*images[i], ranked, m, scratch);
    }
}

} // namespace

PredictionMatcher::PredictionMatcher(ImageList *list) : m_list(list)
{
    // The summaries follow the list lazily, for whoever reads them after it changed.
    const auto stale = [this] {
        m_stale = m_orderStale = true;
        updateAvailable();
    };
    connect(list, &QAbstractItemModel::modelReset, this, stale);
    connect(list, &QAbstractItemModel::rowsInserted, this, stale);
    connect(list, &QAbstractItemModel::layoutChanged, this, stale);
    connect(list, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex &parent, int first, int last) {
        if (!parent.isValid())
            sourceRowsRemoved(first, last);
    });
    connect(list, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                sourceDataChanged(topLeft.row(), bottomRight.row());
            });
    updateAvailable();
}

void PredictionMatcher::setConfidence(double confidence)
{
    if (takeThreshold(confidence, m_confidence))
        thresholdChanged();
}

void PredictionMatcher::setIou(double iou)
{
    if (takeThreshold(iou, m_iou))
        thresholdChanged();
}

void PredictionMatcher::thresholdChanged()
{
    ++m_revision;
    if (m_available)
        matchAll();
    Q_EMIT thresholdsChanged();
    Q_EMIT matchingChanged();
}

void PredictionMatcher::setConfusionCell(int labelClass, int predictedClass)
{
    m_cellSet = true;
    m_cellLabel = labelClass;
    m_cellPredicted = predictedClass;
    m_stale = true;
}

void PredictionMatcher::clearConfusionCell()
{
    m_cellSet = false;
    m_stale = true;
}

const QVector<PredictionMatcher::Summary> &PredictionMatcher::summaries() const
{
    if (m_stale || m_summaries.size() != m_list->rowCount())
        matchAll();
    return m_summaries;
}

void PredictionMatcher::matchRows(int first, int last) const
{
    const Matching matching{m_iou, m_confidence, m_available, m_cellSet, m_cellLabel, m_cellPredicted};
    summariseRows(m_list->images().constData(), m_summaries.data(), m_orderStart.constData(), m_order.data(), first,
                  last - first + 1, false, matching);
}

void PredictionMatcher::matchAll() const
{
    const QVector<std::shared_ptr<ImageInfo>> &images = m_list->images();
    const int rows = images.size();
    m_summaries.resize(rows);
    m_stale = false;
    Summary *out = m_summaries.data();
    if (!m_available) {
        std::fill(out, out + rows, Summary());
        m_orderStale = true;
        return;
    }
    // Predictions are only ever read: their order is worked out once per load.
    const bool sort = m_orderStale || m_orderStart.size() != rows;
    if (sort) {
        m_orderStart.resize(rows);
        size_t predictions = 0;
        for (int i = 0; i < rows; ++i) {
            m_orderStart[i] = int(predictions);
            predictions += size_t(images[i]->predictions.size()) + 1;
        }
        m_order.assign(predictions, 0);
        m_orderStale = false;
    }
    const Matching matching{m_iou, m_confidence, m_available, m_cellSet, m_cellLabel, m_cellPredicted};
    // A slider moves this over every row: large lists are shared out between the cores.
    const int threads = rows < 20000 ? 1 : int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    const int chunk = (rows + threads - 1) / threads;
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t) {
        const int first = t * chunk, count = std::min(chunk, rows - first);
        if (count <= 0)
            continue;
        try {
            workers.emplace_back(summariseRows, images.constData(), out, m_orderStart.constData(), m_order.data(),
                                 first, count, sort, matching);
        } catch (const std::system_error &) {
            // No thread to be had: this one does the share.
            summariseRows(images.constData(), out, m_orderStart.constData(), m_order.data(), first, count, sort,
                          matching);
        }
    }
    summariseRows(images.constData(), out, m_orderStart.constData(), m_order.data(), 0, std::min(chunk, rows), sort,
                  matching);
    for (std::thread &worker : workers)
        worker.join();
}

void PredictionMatcher::sourceRowsRemoved(int first, int last)
{
    if (!m_stale && !m_orderStale && last < m_summaries.size() && last < m_orderStart.size()) {
        m_summaries.remove(first, last - first + 1);
        m_orderStart.remove(first, last - first + 1);
    } else {
        m_stale = m_orderStale = true;
    }
    updateAvailable();
}

void PredictionMatcher::sourceDataChanged(int first, int last)
{
    // Without predictions every summary stays empty; the rest is worked out when read.
    if (m_stale || !m_available)
        return;
    const int rows = m_list->rowCount();
    if (m_orderStale || m_summaries.size() != rows || m_orderStart.size() != rows || first < 0 || last >= rows)
        m_stale = true;
    else
        matchRows(first, last);
}

void PredictionMatcher::updateAvailable()
{
    const auto &rows = m_list->images();
    const bool available =
        std::any_of(rows.begin(), rows.end(), [](const auto &row) { return !row->predictions.isEmpty(); });
    if (available == m_available)
        return;
    m_available = available;
    m_stale = true;
    Q_EMIT availableChanged();
}

QVariantList PredictionMatcher::marks(int imageRow) const
{
    const std::shared_ptr<ImageInfo> image = m_list->imageAt(imageRow);
    if (!image || !m_available || !image->bboxes)
        return {};
    const QVector<std::shared_ptr<BoxInfo>> &labels = image->bboxes->boxes();
    const DetectionMetrics::ImageMatch match =
        DetectionMetrics::matchImage(labels, image->predictions, m_iou, m_confidence);
    QVariantList list;
    for (int i = 0; i < image->predictions.size(); ++i) {
        const char *kind = kindName(match.outcome.at(i));
        const Prediction &p = image->predictions.at(i);
        if (*kind)
            list.append(mark(kind, p.catId, p.cx, p.cy, p.cw, p.ch, p.score));
    }
    for (int i = 0; i < labels.size(); ++i) {
        const BoxInfo &box = *labels.at(i);
        if (match.labelMatch.at(i) < 0)
            list.append(mark("missed", box.catId, box.cx, box.cy, box.cw, box.ch, -1));
    }
    return list;
}
