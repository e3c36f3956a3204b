#include "images/imagelist.h"
#include "models/predictionmatcher.h"
#include "models/predictionmetrics.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// "c cx cy w h" is a label box, with a sixth number, the score, a prediction; ";"
// between boxes, "|" between images.
QList<std::shared_ptr<ImageInfo>> rows(const QString &text)
{
    QList<std::shared_ptr<ImageInfo>> records;
    for (const QString &image : text.split('|')) {
        auto record = std::make_shared<ImageInfo>();
        record->id = records.size() + 1;
        record->bboxes = std::make_unique<BBoxList>();
        for (const QString &box : image.split(';', Qt::SkipEmptyParts)) {
            const QStringList v = box.split(' ', Qt::SkipEmptyParts);
            if (v.size() == 6)
                record->predictions.append({v[0].toInt(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble(),
                                            v[4].toDouble(), v[5].toDouble()});
            else
                record->bboxes->appendBox(v[0].toInt(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble(),
                                          v[4].toDouble());
        }
        records.append(record);
    }
    return records;
}

// Image a: a class 0 box found, a class 1 box taken for class 0 and found as itself
// only at 0.2; image b: a class 0 box missed and a class 2 prediction on nothing.
const QString Small = "0 .25 .25 .2 .2; 1 .75 .75 .2 .2; 0 .25 .25 .2 .2 .9; 0 .75 .75 .2 .2 .8; 1 .75 .75 .2 .2 .2"
                      "| 0 .5 .5 .2 .2; 2 .1 .1 .1 .1 .5";

// 500 images of one class 0 box, each found by one prediction and with one on nothing
// ranked right after it: a saw-toothed curve of 1000 points.
QString large()
{
    QStringList images;
    for (int i = 0; i < 500; ++i)
        images << QString("0 .5 .5 .2 .2; 0 .5 .5 .2 .2 %1; 0 .1 .1 .05 .05 %2")
                      .arg(1 - 2 * i / 2000.0, 0, 'g', 10)
                      .arg(1 - (2 * i + 1) / 2000.0, 0, 'g', 10);
    return images.join('|');
}

QString classesText(const QVariantList &classes)
{
    QStringList out;
    for (const QVariant &entry : classes) {
        const QVariantMap c = entry.toMap();
        QStringList fields;
        for (const char *key :
             {"labels", "predictions", "truePositives", "falsePositives", "falseNegatives", "precision", "recall"})
            fields << c.value(key).toString();
        out << c.value("catId").toString() + ':' + fields.join('/');
    }
    return out.join(' ');
}

QString confusionText(const QVariantList &confusion)
{
    QStringList out;
    for (const QVariant &row : confusion) {
        QStringList cells;
        for (const QVariant &cell : row.toList())
            cells << cell.toString();
        out << cells.join(' ');
    }
    return out.join('|');
}

} // namespace

class TestPredictionMetrics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_list = ImageList::instance();
        m_list->loadImages(rows(Small), true);
        m_matcher = std::make_unique<PredictionMatcher>(m_list);
        m_metrics = std::make_unique<PredictionMetrics>(m_list, m_matcher.get());
    }

    void cleanup()
    {
        m_metrics.reset();
        m_matcher.reset();
    }

    void figures_data()
    {
        QTest::addColumn<QString>("how"); // "refresh", "again" (a second refresh while one runs) or "active"
        QTest::addColumn<double>("confidence");
        QTest::addColumn<double>("iou");
        // Per class catId:labels/predictions/TP/FP/FN/precision/recall | the confusion matrix's rows.
        QTest::addColumn<QString>("classes");
        QTest::addColumn<QString>("confusion");
        QTest::newRow("defaults") << "refresh" << .25 << .5 << "0:2/2/1/1/1/0.5/0.5 1:1/0/0/0/1/0/0 2:0/1/0/1/0/0/0"
                                  << "1 0 0 1|1 0 0 0|0 0 0 0|0 0 1 0";
        QTest::newRow("low confidence") << "refresh" << .1 << .5
                                        << "0:2/2/1/1/1/0.5/0.5 1:1/1/1/0/0/1/1 2:0/1/0/1/0/0/0"
                                        << "1 0 0 1|1 1 0 0|0 0 0 0|0 0 1 0";
        QTest::newRow("nothing confident enough")
            << "refresh" << .95 << .5 << "0:2/0/0/0/2/0/0 1:1/0/0/0/1/0/0 2:0/0/0/0/0/0/0"
            << "0 0 0 2|0 0 0 1|0 0 0 0|0 0 0 0";
        QTest::newRow("asked again while computing")
            << "again" << .1 << .5 << "0:2/2/1/1/1/0.5/0.5 1:1/1/1/0/0/1/1 2:0/1/0/1/0/0/0"
            << "1 0 0 1|1 1 0 0|0 0 0 0|0 0 1 0";
        QTest::newRow("follows the thresholds while active")
            << "active" << .95 << .5 << "0:2/0/0/0/2/0/0 1:1/0/0/0/1/0/0 2:0/0/0/0/0/0/0"
            << "0 0 0 2|0 0 0 1|0 0 0 0|0 0 0 0";
    }

    // The figures at the thresholds in force when the last computation began; AP over every prediction.
    void figures()
    {
        QFETCH(QString, how);
        QFETCH(double, confidence);
        QFETCH(double, iou);
        QFETCH(QString, classes);
        QFETCH(QString, confusion);
        QSignalSpy busy(m_metrics.get(), &PredictionMetrics::busyChanged);
        QSignalSpy results(m_metrics.get(), &PredictionMetrics::resultsChanged);
        if (how == "active") {
            m_metrics->setActive(true);
            QVERIFY(m_metrics->busy());
            QVERIFY(results.wait());
        } else if (how == "again") {
            m_metrics->refresh();
        }
        m_matcher->setConfidence(confidence);
        m_matcher->setIou(iou);
        if (how != "active") {
            QCOMPARE(busy.count(), int(how == "again"));
            m_metrics->refresh();
        }
        QTRY_COMPARE(m_metrics->confidence(), confidence);
        QVERIFY(!m_metrics->busy());
        QCOMPARE(busy.count(), how == "active" ? 4 : 2);
        QCOMPARE(results.count(), how == "active" ? 2 : 1);
        QCOMPARE(m_metrics->iou(), iou);
        QCOMPARE(classesText(m_metrics->classes()), classes);
        QCOMPARE(confusionText(m_metrics->confusion()), confusion);
        QCOMPARE(m_metrics->confusionClasses(), QVariantList({0, 1, 2}));
        QCOMPARE(m_metrics->classesWithoutLabels(), QVariantList({2}));
        QCOMPARE(m_metrics->classes().at(0).toMap().value("ap50").toDouble(), 0.5);
        QCOMPARE(m_metrics->classes().at(2).toMap().value("apCoco").toDouble(), -1.0);
        QCOMPARE(m_metrics->map50(), 0.75);
        QCOMPARE(m_metrics->mapCoco(), (51 / 101.0 + 1) / 2);
        // A new list: while not shown, the figures go; while shown, they are computed again.
        m_list->loadImages(rows(Small), true);
        QCOMPARE(m_metrics->computed(), how == "active");
        QCOMPARE(m_metrics->classes().size(), how == "active" ? 3 : 0);
        QCOMPARE(m_metrics->busy(), false);
    }

    void precisionRecall_data()
    {
        QTest::addColumn<bool>("large");
        QTest::addColumn<int>("catId");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("ends"); // recall precision of the first and the last point
        QTest::newRow("two points") << false << 0 << 2 << "0.5 1 0.5 0.5";
        QTest::newRow("no label boxes") << false << 2 << 0 << "";
        QTest::newRow("thinned") << true << 0 << PredictionMetrics::CurvePoints << "0.002 1 1 0.5";
    }

    // Recall never falls along the curve, the interpolated precision never rises and is
    // never below the point's own.
    void precisionRecall()
    {
        QFETCH(bool, large);
        QFETCH(int, catId);
        QFETCH(int, points);
        QFETCH(QString, ends);
        if (large)
            m_list->loadImages(rows(::large()), true);
        QSignalSpy results(m_metrics.get(), &PredictionMetrics::resultsChanged);
        m_metrics->refresh();
        QVERIFY(results.wait());
        const QVariantList curve = m_metrics->precisionRecall(catId);
        QCOMPARE(curve.size(), points);
        QStringList shown;
        for (int i : {0, int(curve.size()) - 1})
            for (const char *key : {"recall", "precision"})
                if (!curve.isEmpty())
                    shown << curve.at(i).toMap().value(key).toString();
        QCOMPARE(shown.join(' '), ends);
        for (int i = 0; i < curve.size(); ++i) {
            const QVariantMap p = curve.at(i).toMap();
            QVERIFY(p.value("interpolated").toDouble() >= p.value("precision").toDouble());
            if (i == 0)
                continue;
            const QVariantMap q = curve.at(i - 1).toMap();
            QVERIFY(p.value("recall").toDouble() >= q.value("recall").toDouble());
            QVERIFY(p.value("interpolated").toDouble() <= q.value("interpolated").toDouble());
        }
    }

private:
    ImageList *m_list = nullptr;
    std::unique_ptr<PredictionMatcher> m_matcher;
    std::unique_ptr<PredictionMetrics> m_metrics;
};

QTEST_GUILESS_MAIN(TestPredictionMetrics)
#include "tst_predictionmetrics.moc"
