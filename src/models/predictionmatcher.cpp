#include "predictionmatcher.h"

#include "checks/detectionmetrics.h"
#include "images/imagelist.h"

#include <algorithm>
#include <cmath>

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

} // namespace

PredictionMatcher::PredictionMatcher(ImageList *list) : m_list(list)
{
    connect(list, &QAbstractItemModel::modelReset, this, &PredictionMatcher::updateAvailable);
    connect(list, &QAbstractItemModel::rowsRemoved, this, &PredictionMatcher::updateAvailable);
    connect(list, &QAbstractItemModel::rowsInserted, this, &PredictionMatcher::updateAvailable);
    updateAvailable();
}

void PredictionMatcher::setConfidence(double confidence)
{
    if (!takeThreshold(confidence, m_confidence))
        return;
    ++m_revision;
    Q_EMIT thresholdsChanged();
}

void PredictionMatcher::setIou(double iou)
{
    if (!takeThreshold(iou, m_iou))
        return;
    ++m_revision;
    Q_EMIT thresholdsChanged();
}

void PredictionMatcher::updateAvailable()
{
    const auto &rows = m_list->images();
    const bool available =
        std::any_of(rows.begin(), rows.end(), [](const auto &row) { return !row->predictions.isEmpty(); });
    if (available == m_available)
        return;
    m_available = available;
    Q_EMIT availableChanged();
}

QVariantList PredictionMatcher::marks(int imageRow) const
{
    const std::shared_ptr<ImageInfo> image = m_list->imageAt(imageRow);
    if (!image || image->predictions.isEmpty() || !image->bboxes)
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
