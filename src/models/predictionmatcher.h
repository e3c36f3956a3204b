#ifndef BOXMERE_PREDICTIONMATCHER_H
#define BOXMERE_PREDICTIONMATCHER_H

#include <QObject>
#include <QVariantList>

class ImageList;

// The two thresholds a model's predictions are matched to the label boxes at, changed
// live, and per row what the window draws of that matching. QML sees the app's
// instance as the singleton PredictionMatcher.
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
    explicit PredictionMatcher(ImageList *list);

    double confidence() const { return m_confidence; }
    void setConfidence(double confidence);
    double iou() const { return m_iou; }
    void setIou(double iou);
    int revision() const { return m_revision; }
    bool available() const { return m_available; }

    // The row's predictions at or above the confidence threshold and its missed label
    // boxes, one map each: kind ("match", "extra", "class", "dup" or "missed"), catId,
    // cx, cy, cw, ch (a polygon's bounding box) and score (-1 for a label box).
    Q_INVOKABLE QVariantList marks(int imageRow) const;

Q_SIGNALS:
    void thresholdsChanged();
    void availableChanged();

private:
    void updateAvailable();

    ImageList *m_list;
    double m_confidence = 0.25;
    double m_iou = 0.5;
    int m_revision = 0;
    bool m_available = false;
};

#endif
