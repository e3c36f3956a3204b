#include "detectionmetrics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

namespace DetectionMetrics {

namespace {

// NaN has no place in an order: such a prediction goes last.
double rankOf(double score)
{
    return std::isnan(score) ? -std::numeric_limits<double>::infinity() : score;
}

struct Scratch
{
    std::vector<int> order;
    std::vector<Rect> rects;
    std::vector<int> classes;
};

// The matching of one image into caller-owned arrays, so that a pass over many images
// allocates nothing per image once the scratch has grown.
void matchInto(const QVector<std::shared_ptr<BoxInfo>> &labels, const QVector<Prediction> &predictions,
               double iouThreshold, double confThreshold, int *labelMatch, Outcome *outcome, int *predictionLabel,
               Scratch &scratch)
{
    const int nl = labels.size();
    std::vector<Rect> &rects = scratch.rects;
    std::vector<int> &order = scratch.order;
    rects.clear();
    scratch.classes.clear();
    for (int l = 0; l < nl; ++l) {
        const BoxInfo &b = *labels[l];
        rects.push_back(rectOf(b.cx, b.cy, b.cw, b.ch));
        scratch.classes.push_back(b.catId);
        labelMatch[l] = -1;
    }
    // Boxes that do not touch never match, even at a threshold of 0.
    const auto overlaps = [&](double v) { return v >= iouThreshold && v > 0; };
    // A prediction that overlaps no box of its class is wrong-class or extra whatever
    // the order; only the others need ranking by confidence.
    order.clear();
    for (int p = 0; p < predictions.size(); ++p) {
        const Prediction &pred = predictions[p];
        predictionLabel[p] = -1;
        outcome[p] = Outcome::BelowThreshold;
        if (!(pred.score >= confThreshold))
            continue;
        const Rect r = rectOf(pred.cx, pred.cy, pred.cw, pred.ch);
        bool own = false;
        int other = -1;
        double otherIou = 0;
        for (int l = 0; l < nl && !own; ++l) {
            const double v = iouOf(r, rects[size_t(l)]);
            if (!overlaps(v))
                continue;
            if (scratch.classes[size_t(l)] == pred.catId)
                own = true;
            else if (other < 0 || v > otherIou)
                other = l, otherIou = v;
        }
        if (own) {
            order.push_back(p);
        } else {
            outcome[p] = other >= 0 ? Outcome::WrongClass : Outcome::Extra;
            predictionLabel[p] = other;
        }
    }
    // Classes do not meet in the matching, so one order by confidence serves them all.
    // Ties keep the order given; std::stable_sort would allocate for every image.
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const double sa = predictions[a].score, sb = predictions[b].score;
        return sa > sb || (sa == sb && a < b);
    });
    for (int p : order) {
        const Prediction &pred = predictions[p];
        const Rect r = rectOf(pred.cx, pred.cy, pred.cw, pred.ch);
        int free = -1, taken = -1;
        double freeIou = 0, takenIou = 0;
        for (int l = 0; l < nl; ++l) {
            if (scratch.classes[size_t(l)] != pred.catId)
                continue;
            const double v = iouOf(r, rects[size_t(l)]);
            if (!overlaps(v))
                continue;
            if (labelMatch[l] < 0) {
                if (free < 0 || v > freeIou)
                    free = l, freeIou = v;
            } else if (taken < 0 || v > takenIou) {
                taken = l, takenIou = v;
            }
        }
        if (free >= 0) {
            outcome[p] = Outcome::TruePositive;
            labelMatch[free] = p;
        } else {
            outcome[p] = Outcome::Duplicate;
        }
        predictionLabel[p] = free >= 0 ? free : taken;
    }
}

// Class numbers to indices 0..n-1 in ascending order; a plain array when the numbers
// are close together, as they are in every real data set.
class ClassIndex
{
public:
    explicit ClassIndex(const QVector<ImageData> &images)
    {
        qint64 lo = std::numeric_limits<int>::max(), hi = std::numeric_limits<int>::min();
        forEachId(images, [&](int id) {
            lo = std::min<qint64>(lo, id);
            hi = std::max<qint64>(hi, id);
        });
        if (lo > hi)
            return;
        m_min = int(lo);
        if (hi - lo < (1 << 22)) {
            m_dense.assign(size_t(hi - lo + 1), -1);
            forEachId(images, [&](int id) { m_dense[size_t(id - m_min)] = 0; });
            for (size_t i = 0; i < m_dense.size(); ++i)
                if (m_dense[i] == 0) {
                    m_dense[i] = int(m_ids.size());
                    m_ids.push_back(int(i + size_t(m_min)));
                }
        } else {
            forEachId(images, [&](int id) { m_sparse.emplace(id, 0); });
            for (const auto &entry : m_sparse)
                m_ids.push_back(entry.first);
            std::sort(m_ids.begin(), m_ids.end());
            for (size_t i = 0; i < m_ids.size(); ++i)
                m_sparse[m_ids[i]] = int(i);
        }
    }

    int operator()(int id) const { return m_dense.empty() ? m_sparse.at(id) : m_dense[size_t(qint64(id) - m_min)]; }
    const std::vector<int> &ids() const { return m_ids; }

private:
    template <typename F> static void forEachId(const QVector<ImageData> &images, F f)
    {
        for (const ImageData &image : images) {
            for (const std::shared_ptr<BoxInfo> &box : image.labels)
                f(box->catId);
            for (const Prediction &p : image.predictions)
                f(p.catId);
        }
    }

    int m_min = 0;
    std::vector<int> m_dense;
    std::unordered_map<int, int> m_sparse;
    std::vector<int> m_ids;
};

constexpr int CocoThresholds = 10;
constexpr int VocBit = CocoThresholds;

// COCO's thresholds 0.50:0.05:0.95, computed as its evaluation computes them, so that
// a box on a threshold falls the same side.
std::array<double, CocoThresholds> cocoIouThresholds()
{
    std::array<double, CocoThresholds> t{};
    const double step = (0.95 - 0.5) / (CocoThresholds - 1);
    for (int i = 0; i < CocoThresholds; ++i)
        t[size_t(i)] = std::min(i + 1 < CocoThresholds ? i * step + 0.5 : 0.95, 1 - 1e-10);
    return t;
}

struct Ranked
{
    double score;
    int prediction; // in the flat list: image order, then the order in the image
};

// Every prediction's matching for the average precisions, and each class's predictions
// over the whole data set by confidence.
struct Ranking
{
    // Per prediction, whether it is a true positive at each COCO threshold (bits 0..9:
    // the best-IoU free label box) and for VOC at 0.5 (bit 10: the best-IoU label box,
    // which must be free).
    std::vector<uint16_t> hits;
    std::vector<Ranked> ranked;   // grouped by class, each group by confidence
    std::vector<int> firstRanked; // per class, and one past the last
    std::vector<int> labelsPerClass;
};

// A prediction's outcome depends only on the predictions of its image and class ranked
// above it, so the matching runs image by image, where the boxes lie close in memory.
Ranking rank(const QVector<ImageData> &images, const ClassIndex &index)
{
    static const std::array<double, CocoThresholds> thresholds = cocoIouThresholds();
    const size_t classes = index.ids().size();
    Ranking f;
    f.labelsPerClass.assign(classes, 0);
    std::vector<int> next(classes + 1, 0);
    size_t predictions = 0;
    for (const ImageData &image : images)
        predictions += size_t(image.predictions.size());
    f.hits.resize(predictions);
    std::vector<Rect> rects;
    std::vector<int> labelClass, order;
    std::vector<uint16_t> taken;
    int flat = 0;
    for (const ImageData &image : images) {
        rects.clear();
        labelClass.clear();
        for (const std::shared_ptr<BoxInfo> &b : image.labels) {
            rects.push_back(rectOf(b->cx, b->cy, b->cw, b->ch));
            labelClass.push_back(index(b->catId));
            ++f.labelsPerClass[size_t(labelClass.back())];
        }
        taken.assign(rects.size(), 0);
        const QVector<Prediction> &preds = image.predictions;
        order.resize(size_t(preds.size()));
        for (int p = 0; p < preds.size(); ++p)
            order[size_t(p)] = p;
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const double sa = rankOf(preds[a].score), sb = rankOf(preds[b].score);
            return sa > sb || (sa == sb && a < b);
        });
        for (int p : order) {
            const int cls = index(preds[p].catId);
            ++next[size_t(cls) + 1];
            const Rect pr = rectOf(preds[p].cx, preds[p].cy, preds[p].cw, preds[p].ch);
            std::array<int, CocoThresholds> best;
            std::array<double, CocoThresholds> bestIou = thresholds;
            best.fill(-1);
            int vocBest = -1;
            double vocIou = -std::numeric_limits<double>::infinity();
            for (size_t l = 0; l < rects.size(); ++l) {
                if (labelClass[l] != cls)
                    continue;
                const double v = iouOf(pr, rects[l]);
                if (v > vocIou)
                    vocBest = int(l), vocIou = v;
                // COCO's own loop: among free boxes at or above the threshold, the last of the best.
                for (int t = 0; t < CocoThresholds; ++t)
                    if (!(taken[l] & (1u << t)) && v >= bestIou[size_t(t)])
                        best[size_t(t)] = int(l), bestIou[size_t(t)] = v;
            }
            uint16_t hit = 0;
            for (int t = 0; t < CocoThresholds; ++t)
                if (best[size_t(t)] >= 0) {
                    taken[size_t(best[size_t(t)])] |= uint16_t(1u << t);
                    hit |= uint16_t(1u << t);
                }
            if (vocBest >= 0 && vocIou >= 0.5 && !(taken[size_t(vocBest)] & (1u << VocBit))) {
                taken[size_t(vocBest)] |= uint16_t(1u << VocBit);
                hit |= uint16_t(1u << VocBit);
            }
            f.hits[size_t(flat + p)] = hit;
        }
        flat += preds.size();
    }
    for (size_t k = 0; k < classes; ++k)
        next[k + 1] += next[k];
    f.firstRanked = next;
    f.ranked.resize(predictions);
    flat = 0;
    for (const ImageData &image : images)
        for (const Prediction &p : image.predictions) {
            f.ranked[size_t(next[size_t(index(p.catId))]++)] = {rankOf(p.score), flat};
            ++flat;
        }
    // Ties in confidence keep the order of images and of lines, as a stable sort would.
    for (size_t k = 0; k < classes; ++k)
        std::sort(f.ranked.begin() + f.firstRanked[k], f.ranked.begin() + f.firstRanked[k + 1],
                  [](const Ranked &a, const Ranked &b) {
                      return a.score > b.score || (a.score == b.score && a.prediction < b.prediction);
                  });
    return f;
}

// Precision down the list for one bit of `hits`; recall is tp / labels.
void precisionDown(const std::vector<uint16_t> &hits, int bit, std::vector<double> &precision,
                   std::vector<int> &truePositives)
{
    precision.resize(hits.size());
    truePositives.resize(hits.size());
    int tp = 0;
    for (size_t n = 0; n < hits.size(); ++n) {
        tp += (hits[n] >> bit) & 1;
        truePositives[n] = tp;
        precision[n] = double(tp) / double(n + 1);
    }
}

// The VOC devkit's all-point AP: precision made monotone from the right, the area
// under it summed at every change of recall.
double vocAp(std::vector<double> &precision, const std::vector<int> &truePositives, int labels)
{
    for (size_t n = precision.size(); n-- > 1;)
        precision[n - 1] = std::max(precision[n - 1], precision[n]);
    double ap = 0, recall = 0;
    for (size_t n = 0; n < precision.size(); ++n) {
        const double r = double(truePositives[n]) / labels;
        if (r != recall)
            ap += (r - recall) * precision[n];
        recall = r;
    }
    return ap;
}

// COCO's 101-point AP: at each recall point the monotone precision at the first place
// down the list with that recall, 0 where the recall is never reached.
double cocoAp(std::vector<double> &precision, const std::vector<int> &truePositives, int labels)
{
    for (size_t n = precision.size(); n-- > 1;)
        precision[n - 1] = std::max(precision[n - 1], precision[n]);
    double sum = 0;
    size_t n = 0;
    for (int i = 0; i <= 100; ++i) {
        const double point = i * 0.01;
        while (n < precision.size() && double(truePositives[n]) / labels < point)
            ++n;
        if (n == precision.size())
            break;
        sum += precision[n];
    }
    return sum / 101;
}

} // namespace

int ImageMatch::missed() const
{
    return int(std::count(labelMatch.cbegin(), labelMatch.cend(), -1));
}

int ImageMatch::count(Outcome kind) const
{
    return int(std::count(outcome.cbegin(), outcome.cend(), kind));
}

double iou(const BoxInfo &label, const Prediction &prediction)
{
    return iouOf(rectOf(label.cx, label.cy, label.cw, label.ch),
                 rectOf(prediction.cx, prediction.cy, prediction.cw, prediction.ch));
}

ImageMatch matchImage(const QVector<std::shared_ptr<BoxInfo>> &labels, const QVector<Prediction> &predictions,
                      double iouThreshold, double confThreshold)
{
    ImageMatch m;
    matchImage(labels, predictions, iouThreshold, confThreshold, m);
    return m;
}

void matchImage(const QVector<std::shared_ptr<BoxInfo>> &labels, const QVector<Prediction> &predictions,
                double iouThreshold, double confThreshold, ImageMatch &match)
{
    match.labelMatch.resize(labels.size());
    match.outcome.resize(predictions.size());
    match.predictionLabel.resize(predictions.size());
    // The grid matches every image again when a threshold moves.
    thread_local Scratch scratch;
    matchInto(labels, predictions, iouThreshold, confThreshold, match.labelMatch.data(), match.outcome.data(),
              match.predictionLabel.data(), scratch);
}

Figures compute(const QVector<ImageData> &images, double iouThreshold, double confThreshold)
{
    const ClassIndex index(images);
    const int classes = int(index.ids().size());
    Figures figures;
    figures.classes.resize(classes);
    std::vector<int> confusion(size_t(classes + 1) * size_t(classes + 1), 0);
    const auto cell = [&](int row, int column) -> int & { return confusion[size_t(row * (classes + 1) + column)]; };
    for (int k = 0; k < classes; ++k)
        figures.classes[k].catId = index.ids()[size_t(k)];

    // The matching at the window's thresholds.
    std::vector<int> labelMatch, predictionLabel;
    std::vector<Outcome> outcome;
    Scratch scratch;
    std::vector<char> pointedAt;
    for (const ImageData &image : images) {
        const size_t nl = size_t(image.labels.size()), np = size_t(image.predictions.size());
        labelMatch.resize(nl);
        pointedAt.assign(nl, 0);
        outcome.resize(np);
        predictionLabel.resize(np);
        matchInto(image.labels, image.predictions, iouThreshold, confThreshold, labelMatch.data(), outcome.data(),
                  predictionLabel.data(), scratch);
        for (size_t p = 0; p < np; ++p) {
            const int k = index(image.predictions[int(p)].catId);
            ClassFigures &c = figures.classes[k];
            switch (outcome[p]) {
            case Outcome::BelowThreshold:
                continue;
            case Outcome::TruePositive:
                ++c.truePositives;
                ++cell(k, k);
                break;
            case Outcome::WrongClass:
                ++c.falsePositives;
                pointedAt[size_t(predictionLabel[p])] = 1;
                ++cell(index(image.labels[predictionLabel[p]]->catId), k);
                break;
            case Outcome::Extra:
            case Outcome::Duplicate:
                ++c.falsePositives;
                ++cell(classes, k);
                break;
            }
            ++c.predictions;
        }
        for (size_t l = 0; l < nl; ++l) {
            const int k = index(image.labels[int(l)]->catId);
            ++figures.classes[k].labels;
            if (labelMatch[l] < 0) {
                ++figures.classes[k].falseNegatives;
                if (!pointedAt[l])
                    ++cell(k, classes);
            }
        }
    }

    figures.confusion.resize(classes + 1);
    for (int row = 0; row <= classes; ++row)
        for (int column = 0; column <= classes; ++column)
            figures.confusion[row].append(cell(row, column));

    // Average precision over every prediction, whatever its confidence. (COCO's own tool
    // keeps only the 100 most confident per image and class.)
    const Ranking ranking = rank(images, index);
    std::vector<uint16_t> hits;
    std::vector<double> precision;
    std::vector<int> truePositives;
    int withLabels = 0;
    for (int k = 0; k < classes; ++k) {
        ClassFigures &c = figures.classes[k];
        if (c.predictions > 0)
            c.precision = double(c.truePositives) / c.predictions;
        const int labels = ranking.labelsPerClass[size_t(k)];
        if (labels == 0) {
            figures.classesWithoutLabels.append(c.catId);
            continue;
        }
        c.recall = double(c.truePositives) / labels;
        hits.clear();
        for (int n = ranking.firstRanked[size_t(k)]; n < ranking.firstRanked[size_t(k) + 1]; ++n)
            hits.push_back(ranking.hits[size_t(ranking.ranked[size_t(n)].prediction)]);
        precisionDown(hits, VocBit, precision, truePositives);
        c.precisionRecall.resize(int(precision.size()));
        for (size_t n = 0; n < precision.size(); ++n)
            c.precisionRecall[int(n)] = QPointF(double(truePositives[n]) / labels, precision[n]);
        c.ap50 = vocAp(precision, truePositives, labels);
        double coco = 0;
        for (int t = 0; t < CocoThresholds; ++t) {
            precisionDown(hits, t, precision, truePositives);
            coco += cocoAp(precision, truePositives, labels);
        }
        c.apCoco = coco / CocoThresholds;
        figures.map50 += c.ap50;
        figures.mapCoco += c.apCoco;
        ++withLabels;
    }
    if (withLabels > 0) {
        figures.map50 /= withLabels;
        figures.mapCoco /= withLabels;
    }
    return figures;
}

} // namespace DetectionMetrics
