#ifndef BOXMERE_PREDICTIONMETRICS_H
#define BOXMERE_PREDICTIONMETRICS_H

#include "checks/detectionmetrics.h"

#include <QFutureWatcher>
#include <QObject>
#include <QTimer>
#include <QVariantList>

class ImageList;
class PredictionMatcher;

// The detection figures of every row's predictions against its label boxes, at the
// matcher's thresholds, computed off the GUI thread on request. While active (the
// window shows them) a change of a threshold computes them again. QML sees the app's
// instance as the singleton PredictionMetrics.
class PredictionMetrics : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    // Whether there are figures: none before the first computation, nor after the list
    // was replaced while they were not shown.
    Q_PROPERTY(bool computed READ computed NOTIFY resultsChanged)
    // The thresholds the figures shown were computed at.
    Q_PROPERTY(double confidence READ confidence NOTIFY resultsChanged)
    Q_PROPERTY(double iou READ iou NOTIFY resultsChanged)
    // Per class, by number: catId, labels, predictions, truePositives, falsePositives,
    // falseNegatives, precision, recall, ap50 and apCoco (-1 without label boxes).
    Q_PROPERTY(QVariantList classes READ classes NOTIFY resultsChanged)
    Q_PROPERTY(double map50 READ map50 NOTIFY resultsChanged)
    Q_PROPERTY(double mapCoco READ mapCoco NOTIFY resultsChanged)
    // The classes left out of the means: predicted but without label boxes.
    Q_PROPERTY(QVariantList classesWithoutLabels READ classesWithoutLabels NOTIFY resultsChanged)
    // Rows by label class, columns by predicted class, both in the order of
    // confusionClasses and then "background".
    Q_PROPERTY(QVariantList confusion READ confusion NOTIFY resultsChanged)
    Q_PROPERTY(QVariantList confusionClasses READ confusionClasses NOTIFY resultsChanged)

public:
    // The most points precisionRecall() gives for one class.
    static constexpr int CurvePoints = 300;

    PredictionMetrics(ImageList *list, PredictionMatcher *matcher);
    ~PredictionMetrics() override;

    bool busy() const { return m_running; }
    bool active() const { return m_active; }
    // Becoming active computes the figures.
    void setActive(bool active);
    bool computed() const { return m_computed; }
    double confidence() const { return m_confidence; }
    double iou() const { return m_iou; }
    QVariantList classes() const { return m_classes; }
    double map50() const { return m_figures.map50; }
    double mapCoco() const { return m_figures.mapCoco; }
    QVariantList classesWithoutLabels() const { return m_withoutLabels; }
    QVariantList confusion() const { return m_confusion; }
    QVariantList confusionClasses() const { return m_confusionClasses; }

    // Computes the figures again from the rows as they are now; one asked for while a
    // computation runs replaces it. A reset of the list drops the figures.
    Q_INVOKABLE void refresh();
    // The class's precision against recall down its predictions at IoU 0.5, at most
    // CurvePoints maps of recall, precision and interpolated (the precision the average
    // precision takes there), in the order of the list; empty for a class without label boxes.
    Q_INVOKABLE QVariantList precisionRecall(int catId) const;

Q_SIGNALS:
    void busyChanged();
    void activeChanged();
    void resultsChanged();

private:
    void start();
    void finished();
    void dropResults();

    ImageList *m_list;
    PredictionMatcher *m_matcher;
    QFutureWatcher<DetectionMetrics::Figures> m_watcher;
    QTimer m_debounce;
    bool m_active = false;
    bool m_running = false;
    bool m_pending = false; // a refresh asked for while one runs
    bool m_computed = false;
    int m_resets = 0;    // list resets so far
    int m_runResets = 0; // at the start of the computation under way
    double m_confidence = 0;
    double m_iou = 0;
    double m_runConfidence = 0;
    double m_runIou = 0;
    DetectionMetrics::Figures m_figures;
    QVariantList m_classes;
    QVariantList m_withoutLabels;
    QVariantList m_confusion;
    QVariantList m_confusionClasses;
};

#endif
