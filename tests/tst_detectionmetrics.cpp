#include "checks/detectionmetrics.h"

#include <QtTest>

using namespace DetectionMetrics;

namespace {

// "c cx cy w h" is a label box, with a sixth number, the score, a prediction; ";"
// between boxes, "|" between images. Boxes share cy and h, so that an IoU is that of
// their x ranges: two boxes 0.2 wide and 0.04 apart overlap by 0.16/0.24 = 2/3.
QVector<ImageData> parse(const QString &text)
{
    QVector<ImageData> images;
    for (const QString &image : text.split('|')) {
        images.append(ImageData());
        for (const QString &box : image.split(';', Qt::SkipEmptyParts)) {
            const QStringList v = box.split(' ', Qt::SkipEmptyParts);
            if (v.size() == 6)
                images.last().predictions.append({v[0].toInt(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble(),
                                                  v[4].toDouble(), v[5].toDouble()});
            else
                images.last().labels.append(std::make_shared<BoxInfo>(
                    BoxInfo{v[0].toInt(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble(), v[4].toDouble()}));
        }
    }
    return images;
}

} // namespace

class TestDetectionMetrics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matchImage_data()
    {
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<double>("iou");
        // Per prediction its outcome and the label box it points at; then per label box its prediction.
        QTest::addColumn<QString>("expected");
        QTest::newRow("higher confidence takes the box")
            << "0 .5 .5 .2 .2; 0 .5 .5 .2 .2 .6; 0 .51 .5 .2 .2 .9" << .5 << "D0 T0 | 1";
        QTest::newRow("tie in confidence keeps the order")
            << "0 .5 .5 .2 .2; 0 .51 .5 .2 .2 .8; 0 .5 .5 .2 .2 .8" << .5 << "T0 D0 | 0";
        QTest::newRow("next best free box is still a match")
            << "0 .5 .5 .2 .2; 0 .54 .5 .2 .2; 0 .5 .5 .2 .2 .9; 0 .5 .5 .2 .2 .8" << .5 << "T0 T1 | 0 1";
        QTest::newRow("stricter IoU: no second match")
            << "0 .5 .5 .2 .2; 0 .54 .5 .2 .2; 0 .5 .5 .2 .2 .9; 0 .5 .5 .2 .2 .8" << .7 << "T0 D0 | 0 -1";
        QTest::newRow("own class before another")
            << "1 .5 .5 .2 .2; 0 .54 .5 .2 .2; 0 .5 .5 .2 .2 .9" << .5 << "T1 | -1 0";
        QTest::newRow("wrong class, extra, below the threshold")
            << "1 .5 .5 .2 .2; 0 .5 .5 .2 .2 .9; 0 .9 .9 .1 .1 .5; 1 .5 .5 .2 .2 .2" << .5 << "W0 E- B- | -1";
        QTest::newRow("boxes apart at IoU 0") << "0 .2 .2 .1 .1; 0 .8 .8 .1 .1 .9" << 0.0 << "E- | -1";
    }
    void matchImage()
    {
        QFETCH(QString, boxes);
        QFETCH(double, iou);
        QFETCH(QString, expected);
        const ImageData image = parse(boxes).first();
        const ImageMatch m = DetectionMetrics::matchImage(image.labels, image.predictions, iou, 0.25);
        QStringList out;
        for (int p = 0; p < m.outcome.size(); ++p)
            out << QString("TEWDB"[int(m.outcome[p])]) +
                       (m.predictionLabel[p] < 0 ? "-" : QString::number(m.predictionLabel[p]));
        out << "|";
        for (int l : m.labelMatch)
            out << QString::number(l);
        QCOMPARE(out.join(' '), expected);
        QCOMPARE(m.missed(), int(m.labelMatch.count(-1)));
        QCOMPARE(m.count(Outcome::TruePositive), int(expected.count('T')));
    }

    void compute_data()
    {
        QTest::addColumn<QString>("boxes");
        // Per class "catId: labels predictions TP FP FN".
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QVector<double>>("ap50");
        QTest::addColumn<QVector<double>>("apCoco");
        QTest::addColumn<QString>("confusion");
        QTest::addColumn<QVector<int>>("withoutLabels");
        // Scores .9 TP, .8 extra, .7 TP, .6 on the first box again, .5 TP, all exact.
        // Precision 1, 1/2, 2/3, 1/2, 3/5 at recall 1/3, 1/3, 2/3, 2/3, 1; monotone 1, 2/3, 2/3, 3/5, 3/5.
        // VOC: 1/3 * 1 + 1/3 * 2/3 + 1/3 * 3/5 = 34/45. COCO, the same at every IoU: recall points
        // 0..0.33 take 1, 0.34..0.66 take 2/3, 0.67..1 take 3/5: (34 + 33 * 2/3 + 34 * 3/5) / 101.
        QTest::newRow("three labels, five predictions")
            << "0 .2 .5 .2 .2; 0 .6 .5 .2 .2; 0 .2 .5 .2 .2 .9; 0 .9 .5 .1 .1 .8; 0 .6 .5 .2 .2 .7; 0 .2 .5 .2 .2 .6"
               "| 0 .5 .5 .2 .2; 0 .5 .5 .2 .2 .5"
            << "0: 3 5 3 2 0" << QVector<double>{34.0 / 45} << QVector<double>{76.4 / 101} << "3 0/2 0"
            << QVector<int>{};
        // Equal scores: the extra comes first, being in the first image. Precision 0, 1/2 at recall 0, 1;
        // monotone 1/2, 1/2. VOC 1 * 1/2; COCO every recall point takes 1/2.
        QTest::newRow("tie in confidence")
            << "0 .5 .5 .2 .2 .9 | 0 .5 .5 .2 .2; 0 .5 .5 .2 .2 .9"
            << "0: 1 2 1 1 0" << QVector<double>{.5} << QVector<double>{.5} << "1 0/1 0" << QVector<int>{};
        // Every prediction exact, one after full recall lowering nothing.
        QTest::newRow("exact") << "0 .5 .5 .2 .2; 1 .2 .2 .1 .1; 0 .5 .5 .2 .2 .3; 1 .2 .2 .1 .1 .9; 1 .2 .2 .1 .1 .1"
                               << "0: 1 1 1 0 0, 1: 1 1 1 0 0" << QVector<double>{1, 1} << QVector<double>{1, 1}
                               << "1 0 0/0 1 0/0 0 0" << QVector<int>{};
        // Class 1: one TP of IoU 2/3 at recall 1/3, a box under a class 0 prediction, a box missed.
        // VOC 1/3. COCO: a match at IoU .50 to .65 only, recall points 0..0.33 take 1: 4/10 * 34/101.
        // Classes 0 and 2 have no label boxes and stay out of the means.
        QTest::newRow("wrong class, missed, classes without labels")
            << "1 .5 .5 .2 .2; 1 .54 .5 .2 .2 .8 | 1 .5 .5 .2 .2; 0 .5 .5 .2 .2 .9; 2 .1 .1 .1 .1 .7 | 1 .2 .2 .1 .1"
            << "0: 0 1 0 1 0, 1: 3 1 1 0 2, 2: 0 1 0 1 0" << QVector<double>{-1, 1.0 / 3, -1}
            << QVector<double>{-1, 13.6 / 101, -1} << "0 0 0 0/1 1 0 1/0 0 0 0/0 0 1 0" << QVector<int>{0, 2};
    }
    void compute()
    {
        QFETCH(QString, boxes);
        QFETCH(QString, counts);
        QFETCH(QVector<double>, ap50);
        QFETCH(QVector<double>, apCoco);
        QFETCH(QString, confusion);
        QFETCH(QVector<int>, withoutLabels);
        const Figures f = DetectionMetrics::compute(parse(boxes), 0.5, 0.25);
        QStringList classes, rows;
        double map50 = 0, mapCoco = 0;
        for (int k = 0; k < f.classes.size(); ++k) {
            const ClassFigures &c = f.classes[k];
            classes << QString("%1: %2 %3 %4 %5 %6")
                           .arg(c.catId)
                           .arg(c.labels)
                           .arg(c.predictions)
                           .arg(c.truePositives)
                           .arg(c.falsePositives)
                           .arg(c.falseNegatives);
            QCOMPARE(c.ap50, ap50[k]);
            QCOMPARE(c.apCoco, apCoco[k]);
            QCOMPARE(c.precision, c.predictions ? double(c.truePositives) / c.predictions : 0.0);
            QCOMPARE(c.recall, c.labels ? double(c.truePositives) / c.labels : 0.0);
            map50 += qMax(0.0, c.ap50) / (f.classes.size() - withoutLabels.size());
            mapCoco += qMax(0.0, c.apCoco) / (f.classes.size() - withoutLabels.size());
        }
        for (const QVector<int> &row : f.confusion) {
            QStringList cells;
            for (int n : row)
                cells << QString::number(n);
            rows << cells.join(' ');
        }
        QCOMPARE(classes.join(", "), counts);
        QCOMPARE(rows.join('/'), confusion);
        QCOMPARE(f.classesWithoutLabels, withoutLabels);
        QCOMPARE(f.map50, map50);
        QCOMPARE(f.mapCoco, mapCoco);
        // The curve: one point per prediction of a class with label boxes, down the list.
        if (f.classes[0].labels > 0)
            QCOMPARE(f.classes[0].precisionRecall.size(), f.classes[0].predictions);
    }
};

QTEST_APPLESS_MAIN(TestDetectionMetrics)
#include "tst_detectionmetrics.moc"
