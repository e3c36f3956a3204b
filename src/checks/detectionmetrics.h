#ifndef BOXMERE_DETECTIONMETRICS_H
#define BOXMERE_DETECTIONMETRICS_H

#include "boxes/boxinfo.h"
#include "boxes/prediction.h"

#include <QPointF>
#include <QVector>

#include <algorithm>
#include <memory>

// A model's predictions against the label boxes: which agree and which do not, and
// the standard detection figures (precision, recall, VOC and COCO average precision,
// a confusion matrix). Boxes are compared by IoU of their (bounding) boxes.
namespace DetectionMetrics {

enum class Outcome
{
    TruePositive,   // matched to a label box of its class
    Extra,          // no label box of any class overlaps it enough
    WrongClass,     // overlaps a label box of another class enough, none of its own
    Duplicate,      // its label box is already matched by a higher-confidence prediction
    BelowThreshold, // under the confidence threshold: not matched at all
};

// The IoU of the two boxes (a polygon's: its bounding box); 0 when they do not overlap.
double iou(const BoxInfo &label, const Prediction &prediction);

// A box as its corners and area, for the inner loops of matching, which compare every
// label box with every prediction: whoever matches boxes compares them alike, to the bit.
struct Rect
{
    double x0, y0, x1, y1, area;
};

inline Rect rectOf(double cx, double cy, double cw, double ch)
{
    return {cx - cw / 2, cy - ch / 2, cx + cw / 2, cy + ch / 2, std::max(0.0, cw) * std::max(0.0, ch)};
}

inline double iouOf(const Rect &a, const Rect &b)
{
    const double w = std::min(a.x1, b.x1) - std::max(a.x0, b.x0);
    const double h = std::min(a.y1, b.y1) - std::max(a.y0, b.y0);
    if (!(w > 0 && h > 0))
        return 0.0;
    const double inter = w * h;
    const double uni = a.area + b.area - inter;
    return uni > 0 ? inter / uni : 0.0;
}

// One image's matching at the window's thresholds.
struct ImageMatch
{
    QVector<int> labelMatch;      // per label box: the prediction matched to it, or -1 (missed)
    QVector<Outcome> outcome;     // per prediction
    QVector<int> predictionLabel; // per prediction: the label box it matched or overlaps, or -1
    int missed() const;
    int count(Outcome kind) const;
};

// Per class, predictions at or above confThreshold, highest confidence first (ties in
// the order given), each matched to the label box of its class with the highest IoU
// not yet matched, when that IoU is at or above iouThreshold. Boxes that do not touch
// never match, even at a threshold of 0.
ImageMatch matchImage(const QVector<std::shared_ptr<BoxInfo>> &labels, const QVector<Prediction> &predictions,
                      double iouThreshold, double confThreshold);
// The same into `match`, whose storage is reused: a pass over every image that keeps
// one ImageMatch allocates nothing once it has grown.
void matchImage(const QVector<std::shared_ptr<BoxInfo>> &labels, const QVector<Prediction> &predictions,
                double iouThreshold, double confThreshold, ImageMatch &match);

struct ClassFigures
{
    int catId = 0;
    int labels = 0;
    int predictions = 0; // at or above the confidence threshold
    int truePositives = 0;
    int falsePositives = 0;
    int falseNegatives = 0;
    double precision = 0; // at the thresholds; 0 without predictions
    double recall = 0;    // at the thresholds; 0 without labels
    double ap50 = -1;     // VOC all-point AP at IoU 0.5 over every prediction; -1 without label boxes
    double apCoco = -1;   // COCO 101-point AP averaged over IoU 0.50:0.05:0.95; -1 without label boxes
    // (recall, precision) down the list at IoU 0.5, one point per prediction; empty without label boxes
    QVector<QPointF> precisionRecall;
};

struct Figures
{
    QVector<ClassFigures> classes; // every class of a label box or a prediction, by number
    double map50 = 0;              // mean of ap50 over the classes with label boxes
    double mapCoco = 0;            // mean of apCoco over the same classes
    QVector<int> classesWithoutLabels;
    // Rows: the label's class, then "background" (a prediction without a label box);
    // columns: the predicted class, then "background" (a missed label box). Counted
    // from the matching at the window's thresholds, classes in the order of `classes`.
    QVector<QVector<int>> confusion;
};

struct ImageData
{
    QVector<std::shared_ptr<BoxInfo>> labels;
    QVector<Prediction> predictions;
};

Figures compute(const QVector<ImageData> &images, double iouThreshold, double confThreshold);

} // namespace DetectionMetrics

#endif
