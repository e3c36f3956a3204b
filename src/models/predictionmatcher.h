#ifndef BOXMERE_PREDICTIONMATCHER_H
#define BOXMERE_PREDICTIONMATCHER_H

#include <QObject>
#include <QVariantList>
#include <QVector>

#include <climits>
#include <vector>

class ImageList;

// The two thresholds a model's predictions are matched to the label boxes at, changed
// live, and per row what the window draws and filters of that matching. QML sees the
// app's instance as the singleton PredictionMatcher.
class PredictionMatcher : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double confidence READ confidence WRITE setConfidence NOTIFY thresholdsChanged)
    Q_PROPERTY(double iou READ iou WRITE setIou NOTIFY thresholdsChanged)
    // Counts up with every change of a threshold, for bindings that call marks().
    Q_PROPERTY(int revision READ revision NOTIFY thresholdsChanged)
    // Whether any row holds predictions.
    Q_PROPERTY(bool available READ available NOTIFY availableChanged)

public:
    // The label class or predicted class of a confusion cell that stands for no box.
    static constexpr int Background = INT_MIN + 1;

    // One row's matching at the thresholds, in short.
    struct Summary
    {
        int missed = 0;
        int extra = 0;
        int wrongClass = 0;
        int duplicates = 0;
        bool matched = false;  // any true positive
        float lowestMatch = 0; // the lowest confidence of a true positive, when matched
        bool inCell = false;   // puts a count into the confusion cell set
        int disagreements() const { return missed + extra + wrongClass + duplicates; }
    };

    explicit PredictionMatcher(ImageList *list);

    double confidence() const { return m_confidence; }
    void setConfidence(double confidence);
    double iou() const { return m_iou; }
    void setIou(double iou);
    int revision() const { return m_revision; }
    bool available() const { return m_available; }

    // The row's predictions at or above the confidence threshold and its missed label
    // boxes, one map each: kind ("match", "extra", "class", "dup" or "missed"), catId,
    // cx, cy, cw, ch (a polygon's bounding box) and score (-1 for a label box). Once any
    // row holds predictions, a row without them has every label box missed.
    Q_INVOKABLE QVariantList marks(int imageRow) const;

    // Per image-list row, at the thresholds; worked out again when the list changed, and
    // for a row when the list announces a change of it.
    const QVector<Summary> &summaries() const;
    // The cell of the confusion matrix that Summary::inCell looks at: label class by
    // predicted class, either of them Background. Matches every row again.
    void setConfusionCell(int labelClass, int predictedClass);
    void clearConfusionCell();

Q_SIGNALS:
    void thresholdsChanged();
    void availableChanged();
    // The summaries changed with the thresholds.
    void matchingChanged();

private:
    void updateAvailable();
    void thresholdChanged();
    void matchRows(int first, int last) const;
    void matchAll() const;
    void sourceRowsRemoved(int first, int last);
    void sourceDataChanged(int first, int last);

    ImageList *m_list;
    double m_confidence = 0.25;
    double m_iou = 0.5;
    int m_revision = 0;
    bool m_available = false;
    bool m_cellSet = false;
    int m_cellLabel = 0;
    int m_cellPredicted = 0;
    mutable QVector<Summary> m_summaries;
    mutable bool m_stale = true;
    // Per row, where its predictions' number and their order by confidence start in m_order.
    mutable QVector<int> m_orderStart;
    mutable std::vector<int> m_order;
    mutable bool m_orderStale = true;
};

#endif
