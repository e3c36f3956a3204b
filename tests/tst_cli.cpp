#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

using TestFiles::read;
using TestFiles::Run;
using TestFiles::write;

namespace {

Run cli(const QStringList &arguments)
{
    return TestFiles::run(QStringList{BOXMERE_CLI} + arguments);
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
    }

    void run_data()
    {
        // "name=content"; a .png name makes a 10 by 10 picture, "name=scene ..." one by TestFiles::writeScene
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");      // all of standard output, or a part of it between "..."
        QTest::addColumn<QByteArray>("err");      // a part of standard error
        QTest::addColumn<QStringList>("written"); // "name=content" of files written, or a part between "..."
        // In the files, arguments and outputs, DIR stands for the temporary folder.
        auto row = [](const char *name, const QStringList &files, const QStringList &arguments, int exitCode,
                      const char *out, const char *err = "", const QStringList &written = {}) {
            QTest::newRow(name) << files << arguments << exitCode << QByteArray(out) << QByteArray(err) << written;
        };
        const QString classes = "labels/classes.txt=cat\ndog";
        row("help", {}, {"--help"}, 0, "Usage: boxmere-cli COMMAND...");
        row("version", {}, {"--version"}, 0, "boxmere-cli " BOXMERE_VERSION "\n");
        row("check problems",
            {classes, "labels/a.txt=0 0.5 0.5 0.2 0.2\n5 1.5 0.5 0.2 0.2",
             "labels/b.txt=", "images/a.jpg=", "images/b.png=", "images/c.jpg="},
            {"check", "DIR/labels"}, 1,
            "DIR/labels/a.txt: box 1: coordinate outside 0 to 1\n"
            "DIR/labels/a.txt: box 1: class not in the class list\n"
            "DIR/labels/b.txt: empty label file\n"
            "DIR/images/c.jpg: image without a label file\n"
            "4 problems in 2 of 2 label files, 1 images without a label file\n");
        row("stats",
            {classes, "labels/a.txt=0 0.5 0.5 0.2 0.4\n1 0.5 0.5 0.2 0.4\n1 0.2 0.2 0.1 0.1",
             "labels/b.txt=1 0.5 0.5 0.6 0.8", "labels/c.txt="},
            {"stats", "DIR/labels", "DIR/labels"}, 0,
            "images: 3\nboxes: 4\nboxes per class:\n  0 (cat): 1\n  1 (dog): 3\n"
            "images by number of boxes:\n  0: 1\n  1: 1\n  3: 1\n"
            "box width (fraction of the image): 5% 0.100, median 0.200, 95% 0.600\n"
            "box height (fraction of the image): 5% 0.100, median 0.400, 95% 0.800\n"
            "problems:\n  empty label file: 1\n  label file without an image: 3\n");
        row("stats as CSV",
            {classes, "labels/a.txt=0 0.5 0.5 0.2 0.4\n1 0.5 0.5 0.2 0.4\n1 0.2 0.2 0.1 0.1",
             "labels/b.txt=1 0.5 0.5 0.6 0.8", "labels/c.txt="},
            {"stats", "DIR/labels", "--csv"}, 0,
            "split,class_id,class,images,boxes,polygons,median_width,median_height\r\n,0,cat,1,1,0,0.2,0.4\r\n"
            ",1,dog,2,3,0,0.2,0.4\r\n");
        row("stats as CSV per split",
            {"data.yaml=names: [cat, dog]", "labels/train/a.txt=0 0.5 0.5 0.2 0.4\n1 0.5 0.5 0.1 0.1",
             "images/train/a.jpg=", "labels/val/b.txt=1 0.5 0.5 0.3 0.3", "images/val/b.jpg="},
            {"stats", "DIR", "--csv"}, 0,
            "split,class_id,class,images,boxes,polygons,median_width,median_height\r\ntrain,0,cat,1,1,0,0.2,0.4\r\n"
            "train,1,dog,1,1,0,0.1,0.1\r\nval,1,dog,1,1,0,0.3,0.3\r\n");
        // Statuses from the data set's file (a verified empty image has no "empty label file"),
        // problems, and the predictions' disagreements.
        row("report",
            {"labels/a.txt=0 0.5 0.5 0.2 0.2\n0 0.2 0.2 0.1 0.1", "labels/b.txt=", "labels/c.txt=0 1.5 0.5 0.2 0.2",
             "images/a.jpg=", "images/b.jpg=", "images/c.jpg=",
             "boxmere-review.tsv=accepted\tlabels/a.txt\nverified-empty\tlabels/b.txt\n",
             "p/a.txt=0 0.5 0.5 0.2 0.2 0.9\n0 0.8 0.8 0.1 0.1 0.5", "p/b.txt=1 0.5 0.5 0.2 0.2 0.3"},
            {"report", "DIR/labels", "--predictions", "DIR/p"}, 0,
            "image,label_file,status,boxes,problems,problem_kinds,missed,extra,wrong_class,duplicates\r\n"
            "DIR/images/a.jpg,DIR/labels/a.txt,accepted,2,0,,1,1,0,0\r\n"
            "DIR/images/b.jpg,DIR/labels/b.txt,verified-empty,0,0,,0,1,0,0\r\n"
            "DIR/images/c.jpg,DIR/labels/c.txt,unreviewed,1,1,out-of-range,1,0,0,0\r\n",
            "no class file: classes are not checked\n");
        const QStringList polygons{"labels/a.txt=0 0.1 0.1 0.4 0.1 0.4 0.4\n0 0.5 0.5 0.2 0.2\n",
                                   "labels/b.txt=1 0.1 0.1 0.9 0.1 0.9 0.9 0.1 0.9\n1 0.1 0.1 0.9 0.1 0.9 0.9 0.1 0.9\n"
                                   "1 0.1 0.1 0.4 0.4 0.4 0.1 0.1 0.3",
                                   "images/a.jpg=", "images/b.jpg="};
        row("check polygons", polygons + QStringList{"labels/c.txt=2 1.5 0.5 0.9 0.1 0.9 0.9", "images/c.jpg="},
            {"check", "DIR/labels"}, 1,
            "DIR/labels/a.txt: boxes and polygons mixed\n"
            "DIR/labels/b.txt: polygon 1: duplicate of polygon 0\n"
            "DIR/labels/b.txt: polygon 2: polygon that crosses itself\n"
            "DIR/labels/c.txt: polygon 0: coordinate outside 0 to 1\n"
            "4 problems in 3 of 3 label files, 0 images without a label file\n");
        row("stats of polygons", polygons, {"stats", "DIR/labels"}, 0,
            "images: 2\nboxes: 5\npolygons among them: 4\nboxes per class:\n  0: 2, 1 polygons\n  1: 3, 3 polygons\n"
            "points per polygon: 5% 3, median 4, 95% 4\nimages by number of boxes:\n  2: 1\n  3: 1\n"
            "box width (fraction of the image): 5% 0.200, median 0.300, 95% 0.800\n"
            "box height (fraction of the image): 5% 0.200, median 0.300, 95% 0.800\n"
            "problems:\n  polygon that crosses itself: 1\n  duplicate polygon: 1\n  boxes and polygons mixed: "
            "1\n");
        // Class 0: its label found at 0.9, an FP at 0.5 that lies on the dog: AP 1. Class 1: the dog
        // missed, two extra predictions (one without a confidence, so 1): AP 0. The means: 0.5. Below
        // the threshold, a box on the cat and a polygon count in the APs only.
        const QStringList compared{classes, "labels/a.txt=0 0.5 0.5 0.2 0.2\n1 0.2 0.2 0.1 0.1",
                                   "preds/a.txt=0 0.5 0.5 0.2 0.2 0.9\n1 0.8 0.8 0.1 0.1 0.8\n0 0.21 0.2 0.1 0.1 0.5\n"
                                   "1 0.9 0.1 0.05 0.05\nx\n0 0.5 0.5 0.2 0.2 nan\n0 0.5 0.5 0.2 0.2 0.1\n1 0.6 0.6 "
                                   "0.7 0.6 0.7 0.7 0.6 0.7 0.05",
                                   "preds/z.txt="};
        const QStringList compare{"compare", "DIR/labels", "DIR/preds"};
        row("compare", compared, compare, 0,
            "images: 2, IoU threshold 0.5, confidence threshold 0.25\n"
            "class    labels  predictions  TP  FP  FN  precision  recall   AP50  AP50-95\n"
            "0 (cat)       1            2   1   1   0      0.500   1.000  1.000    1.000\n"
            "1 (dog)       1            2   0   2   1      0.000   0.000  0.000    0.000\n"
            "mAP@0.5: 0.500\nmAP@0.5:0.95: 0.500\n",
            "2 lines of the prediction files are no prediction and were left out\n1 of 2 prediction files have no "
            "label file or image among the labels; their predictions count as extra");
        row("compare, missed", compared, compare + QStringList{"--list", "missed"}, 0, "DIR/labels/a.txt: box 1\n");
        row("compare, extra", compared, compare + QStringList{"--list", "extra"}, 0,
            "DIR/preds/a.txt: box 1\nDIR/preds/a.txt: box 3\n");
        row("compare, wrong class at IoU 0.9", compared, compare + QStringList{"--list", "wrong-class", "--iou", "0.9"},
            0, "");
        // The same from a COCO results file naming the picture; one result has no box, one no image.
        row("compare, COCO results",
            {classes, "labels/a.txt=0 0.5 0.5 0.2 0.2\n1 0.2 0.2 0.1 0.1", "images/a.png",
             R"(r.json=[{"image_id": "a", "category_id": 0, "bbox": [4, 4, 2, 2], "score": 0.9},
                {"image_id": "a", "category_id": 1, "bbox": [7, 7, 1, 1], "score": 0.8},
                {"image_id": "b", "category_id": 0, "bbox": [0, 0, 1, 1]}, {"image_id": "a"}])"},
            {"compare", "DIR/labels", "DIR/r.json"}, 0,
            "images: 1, IoU threshold 0.5, confidence threshold 0.25\n"
            "class    labels  predictions  TP  FP  FN  precision  recall   AP50  AP50-95\n"
            "0 (cat)       1            1   1   0   0      1.000   1.000  1.000    1.000\n"
            "1 (dog)       1            1   0   1   1      0.000   0.000  0.000    0.000\n"
            "mAP@0.5: 0.500\nmAP@0.5:0.95: 0.500\n",
            "1 results without a box and 1 of an image not found or without a size were left out");
        row("compare, bad threshold", compared, compare + QStringList{"--conf", "2"}, 2, "",
            "--conf takes a number from 0 to 1");
        // Two polygons of one annotation, an RLE mask and a plain box.
        const QString coco = R"(set.json={"images": [{"id": 1, "file_name": "a.jpg", "width": 200, "height": 100}],
            "annotations": [{"image_id": 1, "category_id": 0, "bbox": [0, 0, 1, 1],
                             "segmentation": [[20, 10, 100, 10, 100, 50], [150, 50, 200, 50, 200, 100, 150, 100]]},
                            {"image_id": 1, "category_id": 1, "segmentation": {"counts": [1, 2], "size": [100, 200]}},
                            {"image_id": 1, "category_id": 1, "bbox": [20, 20, 40, 20]}]})";
        row("COCO masks stop a conversion", {coco}, {"convert", "DIR/set.json", "DIR/out", "--to", "yolo"}, 2, "",
            "1 annotations are RLE masks, which are not supported; nothing written (--skip-rle leaves them out)");
        row("COCO polygons to label files", {coco},
            {"convert", "DIR/set.json", "DIR/out", "--to", "yolo", "--skip-rle"}, 0,
            "wrote 1 label files with 3 boxes to DIR/out; left out 1 RLE masks\n", "",
            {"out/a.txt=0 0.1 0.1 0.5 0.1 0.5 0.5\n0 0.75 0.5 1 0.5 1 1 0.75 1\n1 0.2 0.3 0.2 0.2"});
        row("COCO polygons to boxes", {coco},
            {"convert", "DIR/set.json", "DIR/out", "--to", "yolo", "--skip-rle", "--boxes"}, 0,
            "wrote 1 label files with 3 boxes to DIR/out; 2 polygons written as their bounding boxes; left out 1 RLE "
            "masks\n",
            "", {"out/a.txt=0 0.3 0.3 0.4 0.4\n0 0.875 0.75 0.25 0.5\n1 0.2 0.3 0.2 0.2"});
        row("polygon to COCO", {"labels/a.txt=3 0.1 0.1 0.5 0.1 0.5 0.5", "images/a.png"},
            {"convert", "DIR/labels", "DIR/out.json", "--to", "coco"}, 0, "...", "",
            {R"(out.json=..."bbox":[1,1,4,4],"segmentation":[[1,1,5,1,5,5]],"area":8,...)"});
        row("polygons to a list and back", {"labels/a.txt=3 0.1 0.1 0.5 0.1 0.5 0.5\n1 0.5 0.5 0.2 0.2"},
            {"convert", "DIR/labels", "DIR/list.json", "--to", "json"}, 0, "...", "",
            {"list.json=...\"points\": [\n                    0.1,\n                    0.1,\n..."});
        row("class file of any name, natural order",
            {"coco128.yaml=names: [cat]", "labels/img10.txt=5 0.5 0.5 0.2 0.2",
             "labels/img9.txt=", "images/img9.jpg=", "images/img10.jpg="},
            {"check", "DIR/labels"}, 1,
            "DIR/labels/img9.txt: empty label file\nDIR/labels/img10.txt: box 0: class not in the class list\n...");
        row("several class files", {"a.yaml=names: [x]", "b.yml=names: [y]", "labels/a.txt=", "images/a.jpg="},
            {"check", "DIR/labels"}, 1, "...", "several class files (DIR/a.yaml, DIR/b.yml)");
        row("check --json", {"labels/a.txt=0 0.5 0.5 0.2 0.2\n0 0.5 0.5 0.2 0.2", "images/a.jpg="},
            {"check", "--json", "DIR/labels"}, 1,
            "...\"duplicateOf\": 0,\n            \"file\": \"DIR/labels/a.txt\"...");
        row("no such folder", {}, {"check", "DIR/nowhere"}, 2, "", "does not exist");
        row("broken COCO file", {"broken.json={\"images\": ["}, {"check", "DIR/broken.json"}, 2, "", "not a COCO file");
        row("unknown command", {}, {"frob"}, 2, "", "unknown command frob");
        row("convert keeps lines it cannot write", {"labels/a.txt=0 0.5 0.5 0.2 0.2 0.93"},
            {"convert", "DIR/labels", "DIR/labels", "--to", "yolo"}, 2, "", "a.txt hold lines that would be lost");
        row("convert refuses to lose boxes",
            {"labels/a.txt=0 0.5 0.5 0.2 0.2", "labels/b.txt=0 0.5 0.5 0.2 0.2", "images/b.png"},
            {"convert", "DIR/labels", "DIR/out.json", "--to", "coco", "--images", "DIR/images"}, 2, "",
            "no size for 1 pictures (DIR/images/a.jpg)");
        // Train's c and f are alike within the split; a in train has a smaller, recompressed copy in val.
        row("duplicates across splits",
            {"images/train/a.jpg=scene 1", "images/train/b.jpg=scene 2", "images/train/c.png=scene 3",
             "images/train/f.jpg=scene 3 noise", "images/val/d.jpg=scene 1 half q40", "images/val/e.jpg=scene 4",
             "labels/train/a.txt=", "labels/val/d.txt="},
            {"duplicates", "DIR"}, 0,
            "DIR/images/train/a.jpg\nDIR/images/val/d.jpg\n\nDIR/images/train/c.png\nDIR/images/train/f.jpg\n\n"
            "warning: a.jpg in train has a near-duplicate in val: d.jpg\n"
            "4 of 6 pictures are near-duplicates, in 2 groups; 1 warning across splits\n");
        row("duplicates in a picture folder, JSON",
            {"pics/a.png=scene 5", "pics/b.jpg=scene 5 q30", "pics/c.jpg=scene 6", "pics/d.jpg=broken"},
            {"duplicates", "--json", "DIR/pics"}, 0,
            "...\"path\": \"DIR/pics/b.jpg\",\n                \"split\": \"\"\n            }\n        ]\n    ],\n"
            "    \"input\": \"DIR/pics\",\n    \"leaks\": [\n    ],\n    \"maxDistance\": 6,\n    \"pictures\": 4,\n"
            "    \"unreadable\": [\n        \"DIR/pics/d.jpg\"\n    ]\n}\n",
            "cannot read DIR/pics/d.jpg");
        row("duplicates, no folder", {}, {"duplicates", "DIR/nowhere"}, 2, "", "DIR/nowhere is no folder");
        row("duplicates, no pictures", {"x/a.md=text"}, {"duplicates", "DIR/x"}, 2, "", "no pictures in DIR/x");
    }

    // Whatever fails changes no file.
    void run()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QFETCH(QStringList, written);
        QMap<QString, QByteArray> before;
        for (const QString &file : files) {
            if (file.endsWith(".png")) {
                picture(file, 10, 10);
            } else if (file.contains("=scene ")) {
                QVERIFY(TestFiles::writeScene(path(file.section('=', 0, 0)), file.section('=', 1)));
            } else {
                const QString name = file.section('=', 0, 0);
                before[name] = file.section('=', 1).toUtf8();
                QVERIFY(write(path(name), before[name]));
            }
        }
        for (QString &argument : arguments)
            argument.replace("DIR", m_dir.path());
        const Run run = cli(arguments);
        QCOMPARE(run.exitCode, exitCode);
        out.replace("DIR", m_dir.path().toUtf8());
        if (out.startsWith("...") || out.endsWith("..."))
            QVERIFY2(run.out.contains(QByteArray(out).replace("...", "")), run.out);
        else
            QCOMPARE(run.out, out);
        QVERIFY2(run.err.contains(err.replace("DIR", m_dir.path().toUtf8())), run.err);
        for (const QString &file : written) {
            const QByteArray bytes = read(path(file.section('=', 0, 0))), expected = file.section('=', 1).toUtf8();
            if (expected.startsWith("..."))
                QVERIFY2(bytes.contains(QByteArray(expected).replace("...", "")), bytes);
            else
                QCOMPARE(bytes, expected);
        }
        if (exitCode == 0)
            return;
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(read(path(it.key())), it.value());
        QVERIFY(!QFile::exists(path("out.json")) && !QFile::exists(path("out")));
    }

    // Boxes at six significant digits, on pictures of awkward sizes, through COCO and an image list and back.
    void roundTripThroughCoco()
    {
        const QMap<QString, QByteArray> labels{{"a", "0 0.123457 0.876543 0.0123457 0.333333\n4 0.5 0.5 1 1\n"
                                                     "5 0.123457 0.876543 0.999999 1e-06 0 1 0.333333 0.142857"},
                                               {"b", "2 0.999999 1e-06 0.000123457 0.1\n3 0.1 0.2 0.3 0.4"},
                                               {"c", "1 0.333333 0.666667 0.142857 0.285714"}};
        const QList<QSize> sizes{{333, 517}, {1, 1}, {4000, 3}};
        for (auto it = labels.cbegin(); it != labels.cend(); ++it) {
            const QSize size = sizes[std::distance(labels.cbegin(), it)];
            picture("images/" + it.key() + ".png", size.width(), size.height());
            QVERIFY(write(path("labels/" + it.key() + ".txt"), it.value()));
        }
        const Run run = cli({"convert", path("labels"), path("set.json"), "--to", "coco", "--images", path("images")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, "wrote 3 images with 6 annotations to " + path("set.json").toUtf8() + "\n");
        QCOMPARE(
            cli({"convert", path("set.json"), path("list.json"), "--to", "json", "--images", path("images")}).exitCode,
            0);
        QCOMPARE(cli({"convert", path("list.json"), path("back"), "--to", "yolo"}).exitCode, 0);
        for (auto it = labels.cbegin(); it != labels.cend(); ++it)
            QCOMPARE(read(path("back/" + it.key() + ".txt")), it.value());
    }

    // A COCO file of polygons written by another tool, with the category 0 "_background_" first.
    void cocoExampleToYolo()
    {
        const QString example = qEnvironmentVariable("LABELME_EXAMPLES") + "/instance_segmentation/data_dataset_coco";
        const Run run = cli({"convert", example + "/annotations.json", path("yolo"), "--to", "yolo", "--boxes"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, "wrote 3 label files with 16 boxes to " + path("yolo").toUtf8() +
                              "; 16 polygons written as their bounding boxes\n");
        // The boxes of the polygons on a picture of 500 by 338; the second person is in two parts.
        QCOMPARE(read(path("yolo/2011_000003.txt")), QByteArray("15 0.505628 0.643006 0.244 0.650888\n"
                                                                "15 0.872628 0.627754 0.254 0.739645\n"
                                                                "15 0.736628 0.526142 0.01 0.0443787\n"
                                                                "5 0.757628 0.549811 0.036 0.156805"));
        QVERIFY(read(path("yolo/classes.txt")).startsWith("_background_\naeroplane\n"));
        // One corner in the example lies past its picture's edge.
        QCOMPARE(cli({"check", path("yolo"), example + "/JPEGImages"}).out,
                 path("yolo/2011_000006.txt").toUtf8() + ": box 3: box past the picture's edge\n"
                                                         "1 problems in 1 of 3 label files, 0 images without a label "
                                                         "file\n");
    }

private:
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    // A picture of the given size, so that its header gives the size.
    void picture(const QString &relative, int width, int height) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QVERIFY(image.save(path(relative)));
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
