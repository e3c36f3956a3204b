#include "boxes/yololabelfile.h"
#include "checks/detectionmetrics.h"
#include "images/imagelist.h"
#include "models/imagefilter.h"
#include "models/predictionmatcher.h"
#include "ui/editsession.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include "modelcheck.h"
#include "testfiles.h"

// An image opened and edited by a script.
struct Edit
{
    QString name, script;
    int steps, selected; // to undo, and the box selected after the script
    QByteArray saved;
    int prediction = -1; // selected after the script
    QString hint = {};
};
// An edit, then a label file or folder removed, then a reset or else a leave.
struct Leave
{
    QString name, script, removed;
    bool reset;
    QByteArray after; // the label file then
    QString error;    // or the question asked; none when the reset or leave succeeds
};
Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(Leave)

// The editing rules on generated pictures: a (200 by 100, a CRLF label file), b (400 by
// 200, two boxes), c (a score after the five fields), d (a picture that cannot be read)
// and p (200 by 100, polygons only: a rectangle, 20 to 100 by 20 to 60 pixels, and a
// triangle, (120, 20), (180, 20), (150, 80)).
class TestEditSession : public QObject
{
    Q_OBJECT

private:
    QString label(const QString &name) const { return m_dir->filePath("labels/" + name + ".txt"); }
    QByteArray file(const QString &name) const { return TestFiles::read(label(name)); }
    // Nothing is filtered: a shown row is a row of the image list, in the order the
    // folder gives.
    int rowOf(const QString &name) const
    {
        const auto &images = ImageList::instance()->images();
        const auto it = std::find_if(images.begin(), images.end(), [&](const auto &i) { return i->fileName == name; });
        return int(it - images.begin());
    }
    void open(const QString &name) { QVERIFY(m_session->open(rowOf(name))); }
    // The open list as the writer would put it.
    QByteArray boxes() const { return YoloLabelFile::format(m_session->boxes()->boxes()); }

    // Edits the open image as the script says, "verb numbers; ...".
    void run(const QString &script)
    {
        EditSession &s = *m_session;
        using N = const QVector<double> &;
        const QHash<QString, std::function<void(N)>> verbs{
            {"add", [&](N n) { s.addBox(int(n[0]), QPointF(n[1], n[2]), QSizeF(n[3], n[4])); }},
            {"draw", [&](N n) { s.drawBox(QPointF(n[0], n[1]), QPointF(n[2], n[3]), QSizeF(n[4], n[5])); }},
            {"pick", [&](N n) { s.pickCategory(int(n[0])); }},
            {"select", [&](N n) { s.select(int(n[0])); }},
            {"relabel", [&](N n) { s.relabelSelected(int(n[0])); }},
            {"delete", [&](N) { s.deleteSelected(); }}, // the selected box
            {"remove", [&](N n) { s.deleteBox(int(n[0])); }},
            {"move", [&](N n) { s.moveSelected(int(n[0]), int(n[1]), QSizeF(n[2], n[3])); }},
            {"rect", [&](N n) { s.setBoxRect(int(n[0]), n[1], n[2], n[3], n[4]); }},
            {"drag", [&](N) { s.beginDrag(); }},
            {"drop", [&](N) { s.endDrag(); }},
            {"vertex", [&](N n) { s.moveVertex(int(n[0]), int(n[1]), QPointF(n[2], n[3]), QSizeF(n[4], n[5])); }},
            {"insert", [&](N n) { s.addVertexAt(int(n[0]), QPointF(n[1], n[2]), QSizeF(n[3], n[4]), n[5]); }},
            {"unvertex", [&](N n) { s.deleteVertex(int(n[0]), int(n[1])); }},
            {"corner", [&](N n) { s.selectVertex(int(n[0])); }},
            {"turn",
             [&](N n) {
                 const QVariant from = s.boxes()->data(s.boxes()->index(int(n[0])), BBoxList::PointsRole);
                 s.rotate(int(n[0]), from.toList(), QPointF(n[1], n[2]), QPointF(n[3], n[4]), QSizeF(n[5], n[6]));
             }},
            {"polygon", [&](N) { s.startDraft(); }},
            {"point", [&](N n) { s.addDraftPoint(QPointF(n[0], n[1]), QSizeF(n[2], n[3]), 5); }},
            {"close", [&](N) { s.finishDraft(); }},
            {"cancel", [&](N) { s.cancelDraft(); }},
            {"back", [&](N) { s.removeDraftPoint(); }},
            {"yes", [&](N) { s.addAskedAsPolygon(); }},
            {"predict", // a model's prediction for the open image: class, box, score
             [&](N n) {
                 ImageList *list = ImageList::instance();
                 list->imageAt(s.row())->predictions.append({int(n[0]), n[1], n[2], n[3], n[4], n[5]});
                 // As a load with predictions announces them.
                 Q_EMIT list->layoutAboutToBeChanged();
                 Q_EMIT list->layoutChanged();
                 m_matcher->summaries();
             }},
            {"choose", [&](N n) { s.selectPrediction(int(n[0])); }},
            {"confidence", [&](N n) { m_matcher->setConfidence(n[0]); }},
            {"click", [&](N n) { s.selectAt(QPointF(n[0], n[1]), QSizeF(n[2], n[3]), 3); }},
            {"accept", [&](N) { s.acceptPrediction(); }},
            {"replace", [&](N) { s.replaceWithPrediction(); }},
            {"unreadable",
             [&](N) { // as the loader marks a label file it could not read
                 YoloLabelFile::ReadResult read;
                 read.unreadable = true;
                 s.boxes()->appendRead(read);
             }},
        };
        for (const QString &step : script.split(';', Qt::SkipEmptyParts)) {
            QStringList words = step.split(' ', Qt::SkipEmptyParts);
            const QString verb = words.takeFirst();
            QVector<double> n(7);
            for (int i = 0; i < words.size(); ++i)
                n[i] = words[i].toDouble();
            verbs.value(verb, [&](N) { QFAIL(qPrintable("unknown edit " + verb)); })(n);
        }
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ImageFilter> m_shown;
    std::unique_ptr<PredictionMatcher> m_matcher;
    std::unique_ptr<EditSession> m_session;
    std::unique_ptr<ModelCheck> m_check;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        const QDir dir(m_dir->path());
        QVERIFY(TestFiles::write(dir.filePath("images/d.jpg"), "not a picture"));
        QVERIFY(QImage(200, 100, QImage::Format_RGB32).save(dir.filePath("images/a.png")));
        QVERIFY(QImage(400, 200, QImage::Format_RGB32).save(dir.filePath("images/b.png")));
        QVERIFY(QImage(50, 50, QImage::Format_RGB32).save(dir.filePath("images/c.png")));
        QVERIFY(TestFiles::write(label("a"), "1 0.5 0.5 0.2 0.4\r\n"));
        QVERIFY(TestFiles::write(label("b"), "1 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2"));
        QVERIFY(TestFiles::write(label("c"), "1 0.5 0.5 0.3 0.3 0.87"));
        QVERIFY(TestFiles::write(label("d"), "1 0.5 0.5 0.2 0.2"));
        QVERIFY(QImage(200, 100, QImage::Format_RGB32).save(dir.filePath("images/p.png")));
        QVERIFY(TestFiles::write(label("p"), "0 0.1 0.2 0.5 0.2 0.5 0.6 0.1 0.6\n1 0.6 0.2 0.9 0.2 0.75 0.8"));
        ImageList *images = ImageList::instance();
        m_check = std::make_unique<ModelCheck>(images);
        m_shown = std::make_unique<ImageFilter>(images);
        images->loadYolo(dir.filePath("labels"), dir.filePath("images"));
        QCOMPARE(m_shown->rowCount(), 5);
        m_matcher = std::make_unique<PredictionMatcher>(images);
        m_session = std::make_unique<EditSession>(images, m_shown.get(), m_matcher.get());
        m_session->setCategories({QVariantMap{{"catId", 1}}, QVariantMap{{"catId", 2}}});
    }

    void cleanup()
    {
        m_session.reset();
        m_matcher.reset();
        m_shown.reset();
        ModelCheck::verifyNone();
        m_check.reset();
    }

    // Opening leaves a file that holds the boxes alone, bytes and time stamp, rewrites
    // one that holds others, forgets the undo steps and makes no label file; a load
    // closes the image.
    void opening()
    {
        const QDateTime stamp = QDateTime::currentDateTime().addDays(-1);
        for (const char *name : {"a", "b"}) {
            QFile f(label(name));
            QVERIFY(f.open(QIODevice::Append) && f.setFileTime(stamp, QFileDevice::FileModificationTime));
            f.close();
            open(name);
            QCOMPARE(QFileInfo(label(name)).lastModified(), stamp);
        }
        QCOMPARE(file("a"), "1 0.5 0.5 0.2 0.4\r\n");
        m_session->boxes()->deleteRow(0);
        open("b");
        QCOMPARE(file("b"), "2 0.75 0.75 0.2 0.2");
        QVERIFY(QFile::remove(label("a")));
        open("a");
        BBoxList *list = m_session->boxes();
        list->appendRow(1, 0.5, 0.5);
        QVERIFY(list->undo());
        // Straight from one image to the next, without closing in between.
        QSignalSpy rowSpy(m_session.get(), &EditSession::rowChanged);
        open("a");
        QCOMPARE(rowSpy.count(), 1);
        QVERIFY(m_session->boxes() == list && !list->canRedo() && !m_session->canSave());
        QCOMPARE(file("a"), "<missing>");
        QCOMPARE(m_session->saveNote(), QString());
        QVERIFY(m_session->save());
        QCOMPARE(file("a"), "1 0.5 0.5 0.2 0.4");
        QCOMPARE(m_session->saveNote(), QString("Saved a.txt"));
        list->appendRow(1, 0.5, 0.5);
        QCOMPARE(m_session->saveNote(), QString());
        m_session->select(0);
        ImageList::instance()->loadYolo(m_dir->filePath("labels"), m_dir->filePath("images"));
        QVERIFY(m_session->row() == -1 && m_session->selected() == -1 && !m_session->boxes());
    }

    void edit_data()
    {
        QTest::addColumn<Edit>("edit");
        const QByteArray two("1 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2"), second(two.mid(20));
        const auto row = [](const char *tag, const Edit &edit) { QTest::newRow(tag) << edit; };
        row("add under the pointer", {"b", "add 2 100 50 400 200", 1, -1, two + "\n2 0.25 0.25 0.1 0.1"});
        row("add beside the picture", {"b", "add 1 -30 250 400 200", 1, -1, two + "\n1 0.05 0.95 0.1 0.1"});
        row("add near the corner", {"b", "add 1 390 4 400 200", 1, -1, two + "\n1 0.95 0.05 0.1 0.1"});
        row("add without a picture", {"b", "add 1 10 10 0 0", 0, -1, two});
        row("draw backwards", {"b", "pick 2; draw 300 150 100 50 400 200", 1, -1, two + "\n2 0.5 0.5 0.5 0.5"});
        row("draw, category gone", {"b", "pick 7; draw 0 0 40 20 400 200", 1, -1, two + "\n1 0.05 0.05 0.1 0.1"});
        row("draw without area", {"b", "draw 10 10 10 50 400 200", 0, -1, two});
        row("relabel, nothing selected", {"b", "relabel 2", 0, -1, two});
        row("relabel selected", {"b", "select 0; relabel 2", 1, 0, "2 0.25 0.25 0.1 0.1\n" + second});
        row("delete selected", {"b", "select 0; delete; delete", 1, -1, second});
        row("selection follows its box", {"b", "select 1; remove 0", 1, 0, second});
        row("move by pixels", {"b", "select 0; move 1 0; move 0 10", 2, 0, "1 0.2525 0.3 0.1 0.1\n" + second});
        row("move stops at the border",
            {"b", "select 0;" + QString("move -10 0;").repeated(30), 9, 0, "1 0.05 0.25 0.1 0.1\n" + second});
        row("move no further out",
            {"b", "select 0; rect 0 0.02 0.25 0.1 0.1; move -1 0; move 1 0", 2, 0, "1 0.0225 0.25 0.1 0.1\n" + second});
        row("move, picture size unknown", {"d", "select 0; move 1 0 100 100", 1, 0, "1 0.51 0.5 0.2 0.2"});
        row("a drag is one step", {"b", "drag; rect 1 0.3 0.3 0.1 0.1; rect 1 0.4 0.4 0.2 0.1; drop", 1, -1,
                                   "1 0.25 0.25 0.1 0.1\n2 0.4 0.4 0.2 0.1"});
        const QByteArray r("0 0.1 0.2 0.5 0.2 0.5 0.6 0.1 0.6"), t("1 0.6 0.2 0.9 0.2 0.75 0.8"), rt(r + "\n" + t);
        row("drag a corner", {"p", "select 1; drag; vertex 1 2 155 85 200 100; vertex 1 2 160 90 200 100; drop", 1, 1,
                              r + "\n1 0.6 0.2 0.9 0.2 0.8 0.9"});
        row("a corner stays in the picture",
            {"p", "vertex 1 0 -50 250 200 100", 1, -1, r + "\n1 0 1 0.9 0.2 0.75 0.8"});
        row("a corner on a side",
            {"p", "select 1; insert 1 150 22 200 100 5", 1, 1, r + "\n1 0.6 0.2 0.75 0.2 0.9 0.2 0.75 0.8"});
        row("no side within reach", {"p", "insert 1 150 50 200 100 5; insert 1 120.5 19 200 100 5", 0, -1, rt});
        row("three corners stay",
            {"p", "unvertex 0 0; unvertex 0 0; unvertex 1 0", 1, -1, "0 0.5 0.2 0.5 0.6 0.1 0.6\n" + t});
        row("Delete takes the corner, then the polygon", {"p", "select 0; corner 2; delete; delete", 2, -1, t});
        row("a rectangle turns and stays one",
            {"p", "turn 0 60 10 90 40 200 100", 1, -1, "0 0.4 0 0.4 0.8 0.2 0.8 0.2 0\n" + t});
        row("arrows move a polygon", {"p", "select 1; move 2 0", 1, 1, r + "\n1 0.61 0.2 0.91 0.2 0.76 0.8"});
        row("relabel a polygon", {"p", "select 1; relabel 2", 1, 1, r + "\n2 0.6 0.2 0.9 0.2 0.75 0.8"});
        row("draw a polygon by clicks", {"p",
                                         "polygon; point 10 10 200 100; point 50 10 200 100; point 50 10 200 100; "
                                         "point 90 90 200 100; back; point 30 50 200 100; close",
                                         1, -1, rt + "\n1 0.05 0.1 0.25 0.1 0.15 0.5"});
        row("a click on the first corner closes it",
            {"p", "polygon; point 10 10 200 100; point 50 10 200 100; point 30 50 200 100; point 12 11 200 100", 1, -1,
             rt + "\n1 0.05 0.1 0.25 0.1 0.15 0.5"});
        row("cancel, or close two corners",
            {"p", "polygon; point 1 1 200 100; point 9 9 200 100; close; cancel; close", 0, -1, rt});
        row("a box in a file of polygons asks", {"p", "draw 0 0 40 20 200 100; add 1 100 50 200 100", 0, -1, rt});
        row("and is added as four corners",
            {"p", "draw 0 0 40 20 200 100; yes; yes", 1, -1, rt + "\n1 0 0 0.2 0 0.2 0.2 0 0.2"});
        // A prediction, selected by a click on its outline (also inside a box) or within
        // it, is taken over as a box, or gives the label box it overlaps its box and class.
        const QString over0("predict 1 0.3 0.25 0.1 0.1 0.9;"), over1("predict 1 0.76 0.75 0.2 0.2 0.9;");
        row("accept", {"b", over0 + "click 100 50 400 200; accept", 1, 2, two + "\n1 0.3 0.25 0.1 0.1"});
        row("accept a match",
            {"b", "predict 1 0.25 0.25 0.1 0.1 0.9; choose 0; accept", 1, 2, two + "\n1 0.25 0.25 0.1 0.1", -1,
             "Added a box where a label box of its class already is"});
        row("a click inside a box", {"b", over0 + "click 85 50 400 200", 0, 0, two});
        row("a click inside a prediction", {"b", over0 + "click 130 50 400 200", 0, -1, two, 0});
        row("a click on nothing", {"b", over0 + "choose 0; click 200 150 400 200", 0, -1, two});
        row("accept, none selected",
            {"b", over0 + "select 0; accept", 0, 0, two, -1, "Select a prediction first: click its dashed outline"});
        row("below the confidence", {"b", "predict 1 0.3 0.25 0.1 0.1 0.2; choose 0; accept", 0, -1, two, -1,
                                     "Select a prediction first: click its dashed outline"});
        row("no longer drawn, no longer selected",
            {"b", "predict 1 0.3 0.25 0.1 0.1 0.5; choose 0; confidence 0.4; confidence 0.6", 0, -1, two});
        row("accept into polygons", {"p", "predict 2 0.5 0.5 0.2 0.2 1; choose 0; accept; yes", 1, 2,
                                     rt + "\n2 0.4 0.4 0.6 0.4 0.6 0.6 0.4 0.6"});
        row("replace box and class",
            {"b", over1 + "choose 0; replace", 1, 1, "1 0.25 0.25 0.1 0.1\n1 0.76 0.75 0.2 0.2"});
        row("replace the box of a match",
            {"b", "predict 1 0.26 0.25 0.1 0.1 0.9; choose 0; replace", 1, 0, "1 0.26 0.25 0.1 0.1\n" + second});
        row("replace a polygon",
            {"p", "predict 2 0.75 0.5 0.4 0.6 1; choose 0; replace", 1, 1, r + "\n2 0.55 0.2 0.95 0.2 0.75 0.8"});
        row("nothing to replace", {"b", "predict 1 0.5 0.1 0.05 0.05 1; choose 0; replace", 0, -1, two, 0,
                                   "No label box to replace: none overlaps this prediction enough"});
        row("the label agrees", {"b", "predict 2 0.75 0.75 0.2 0.2 1; choose 0; replace", 0, 1, two, -1,
                                 "The label box already agrees with the prediction"});
    }

    // Each step undoes on its own, back to the file as opened, and redoes; only a save
    // writes the file; the checks follow the edits.
    void edit()
    {
        QFETCH(Edit, edit);
        open(edit.name);
        const QByteArray opened = file(edit.name);
        run(edit.script);
        const auto image = ImageList::instance()->imageAt(m_session->row());
        if (edit.steps > 0 && !image->predictions.isEmpty()) {
            // What the grid filters and sorts by follows the edits at once.
            const auto match = DetectionMetrics::matchImage(image->bboxes->boxes(), image->predictions,
                                                            m_matcher->iou(), m_matcher->confidence());
            const PredictionMatcher::Summary &summary = m_matcher->summaries().at(m_session->row());
            QCOMPARE(QVector<int>({summary.missed, summary.extra, summary.wrongClass}),
                     QVector<int>({match.missed(), match.count(DetectionMetrics::Outcome::Extra),
                                   match.count(DetectionMetrics::Outcome::WrongClass)}));
        }
        QCOMPARE(m_session->selected(), edit.selected);
        QCOMPARE(m_session->selectedPrediction(), edit.prediction);
        QCOMPARE(m_session->hint(), edit.hint);
        QCOMPARE(m_session->canSave(), edit.steps > 0);
        QCOMPARE(file(edit.name), opened);
        const int problems = ImageList::instance()->imageAt(m_session->row())->problems.size();
        ImageList::instance()->checkRow(m_session->row());
        QCOMPARE(ImageList::instance()->imageAt(m_session->row())->problems.size(), problems);
        QVERIFY(m_session->save());
        QCOMPARE(file(edit.name), edit.saved);
        QVERIFY(!m_session->canSave());
        for (int i = 0; i < edit.steps; ++i)
            QVERIFY(m_session->undo());
        QVERIFY(!m_session->undo());
        QCOMPARE(boxes(), opened);
        QCOMPARE(m_session->redo(), edit.steps > 0);
    }

    void leaveAndReset_data()
    {
        QTest::addColumn<Leave>("leave");
        const QByteArray b("1 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2"), missing("<missing>");
        const QString add("add 1 5 5 10 10");
        const auto row = [](const char *tag, const Leave &leave) { QTest::newRow(tag) << leave; };
        row("leave unchanged", {"b", "", "labels", false, missing, ""});
        row("leave changed", {"b", add, "", false, b + "\n1 0.5 0.5 0.1 0.1", ""});
        row("leave, save fails", {"b", add, "labels", false, missing, "Could not save %1"});
        row("leave, line not read whole kept", {"c", add, "", false, "1 0.5 0.5 0.3 0.3 0.87\n1 0.5 0.5 0.1 0.1", ""});
        row("leave, line not read whole edited", {"c", "rect 0 0.5 0.5 0.2 0.2", "", false, "1 0.5 0.5 0.3 0.3 0.87",
                                                  "c.txt: 1 line with extra fields will be written as a plain box."});
        row("leave, file unreadable",
            {"b", "unreadable; " + add, "", false, b, "Could not save %1: the file could not be read"});
        row("reset", {"b", add, "", true, b, ""});
        row("reset, file gone: boxes kept", {"b", add, "labels/b.txt", true, missing, "Could not read %1"});
    }

    void leaveAndReset()
    {
        QFETCH(Leave, leave);
        open(leave.name);
        run(leave.script);
        const QByteArray edited = boxes();
        const QString removed = m_dir->filePath(leave.removed);
        if (!leave.removed.isEmpty())
            QVERIFY(QFile::remove(removed) || QDir(removed).removeRecursively());
        const bool failed = !leave.error.isEmpty();
        QCOMPARE(leave.reset ? m_session->reset() : m_session->saveBeforeLeaving(), !failed);
        QCOMPARE(file(leave.name), leave.after);
        const QString asked = m_session->saveQuestion();
        QCOMPARE(asked.isEmpty() ? m_session->saveError() : asked,
                 leave.error.contains("%1") ? leave.error.arg(label(leave.name)) : leave.error);
        QCOMPARE(m_session->canSave(), failed);
        if (failed)
            QCOMPARE(boxes(), edited);
        else if (leave.reset)
            QVERIFY(!m_session->boxes()->canUndo());
        m_session->close();
        QCOMPARE(m_session->saveError(), QString());
    }

    void press_data()
    {
        QTest::addColumn<double>("side"); // of box 1, centred on b
        QTest::addColumn<int>("box");
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<bool>("modifier");
        QTest::addColumn<bool>("draws");
        QTest::addColumn<int>("clicked");
        QTest::newRow("small box") << 0.8 << 0 << QPointF(100, 50) << false << false << 0;
        QTest::newRow("small box, modifier") << 0.8 << 0 << QPointF(100, 50) << true << true << 0;
        QTest::newRow("large box") << 0.8 << 1 << QPointF(200, 100) << false << true << 1;
        QTest::newRow("large box, near its edge") << 0.8 << 1 << QPointF(50, 100) << false << false << 1;
        QTest::newRow("a quarter is not large") << 0.5 << 1 << QPointF(200, 100) << false << false << 1;
        QTest::newRow("outside every box") << 0.8 << 1 << QPointF(20, 10) << false << false << -1;
        // On p: inside the triangle, in its bounding box but not in it, and just
        // outside its side, within reach.
        QTest::newRow("in a polygon") << 0.0 << 1 << QPointF(150, 30) << false << false << 1;
        QTest::newRow("around a polygon") << 0.0 << 1 << QPointF(125, 70) << false << true << -1;
        QTest::newRow("on its outline") << 0.0 << 1 << QPointF(133, 50) << false << false << 1;
    }

    // A left press inside a box takes hold of it, but draws in the middle of a large
    // one or with the modifier; a click then selects the smallest box under it. Box 0
    // of b (80 to 120 by 40 to 60 pixels of 400 by 200) lies inside box 1 of side 0.8.
    // A polygon holds what is inside it or within reach of its outline.
    void press()
    {
        QFETCH(double, side);
        QFETCH(int, box);
        QFETCH(QPointF, at);
        QFETCH(bool, modifier);
        QFETCH(bool, draws);
        QFETCH(int, clicked);
        const QSizeF size = side > 0 ? QSizeF(400, 200) : QSizeF(200, 100);
        open(side > 0 ? "b" : "p");
        if (side > 0)
            m_session->setBoxRect(1, 0.5, 0.5, side, side);
        QCOMPARE(m_session->pressDraws(box, at, size, 12, modifier), draws);
        QCOMPARE(m_session->boxAt(at, size, 3), clicked);
        // Only a rectangle turns, by a handle beyond its first side.
        QCOMPARE(m_session->rotationHandle(0, size, 24), side > 0 ? QVariant() : QVariant(QPointF(60, -4)));
        QCOMPARE(m_session->rotationHandle(1, size, 24), QVariant());
    }

    void disagreements_data()
    {
        QTest::addColumn<QString>("script"); // on b
        QTest::addColumn<int>("direction");
        QTest::addColumn<double>("confidence");
        QTest::addColumn<QString>("order"); // in b, then in c where that lies beyond
        QTest::newRow("from the start") << "" << 1 << 0.25 << "p1 p2 b1";
        QTest::newRow("from a box") << "select 0" << 1 << 0.25 << "p2 b1";
        QTest::newRow("back from a prediction") << "choose 2" << -1 << 0.25 << "p1";
        QTest::newRow("back from the end") << "" << -1 << 0.25 << "b1 p2 p1";
        QTest::newRow("lower confidence") << "" << 1 << 0.05 << "p1 p2 b1 p3";
        QTest::newRow("accepted, no longer extra") << "choose 1; accept" << 1 << 0.25 << "p2 b1";
    }

    // N steps through the disagreements in reading order, label boxes first where they
    // start at the same point, then on through the rows shown that have any; an image
    // without predictions has none. b: box 0 is matched by p0 (0.9) and p2 (0.7, a
    // duplicate), p1 is extra, box 1 missed, p3 extra under 0.25; c: p0 of the wrong
    // class on its box 0, which is missed.
    void disagreements()
    {
        QFETCH(QString, script);
        QFETCH(int, direction);
        QFETCH(double, confidence);
        QFETCH(QString, order);
        const auto image = [](int row) { return ImageList::instance()->imageAt(row); };
        image(rowOf("b"))->predictions = {{1, 0.25, 0.25, 0.1, 0.1, 0.9},
                                          {1, 0.5, 0.1, 0.1, 0.1, 0.8},
                                          {1, 0.26, 0.25, 0.1, 0.1, 0.7},
                                          {2, 0.5, 0.9, 0.1, 0.1, 0.1}};
        image(rowOf("c"))->predictions = {{2, 0.5, 0.5, 0.3, 0.3, 0.5}};
        m_matcher->setConfidence(confidence);
        open("b");
        run(script);
        QStringList seen;
        for (int row; (row = m_session->stepDisagreement(direction)) >= 0 && seen.size() < 10;) {
            if (row != m_session->shownRow()) {
                QVERIFY(m_session->saveBeforeLeaving() && m_session->open(row));
                continue;
            }
            const int p = m_session->selectedPrediction();
            const QString name = image(m_session->row())->fileName;
            seen << (name == "b" ? "" : name + ":") + (p >= 0 ? "p" : "b") +
                        QString::number(p >= 0 ? p : m_session->selected());
        }
        // Only c lies beyond b with predictions, on one side or the other.
        if ((rowOf("c") - rowOf("b")) * direction > 0)
            order += direction > 0 ? " c:b0 c:p0" : " c:p0 c:b0";
        QCOMPARE(seen.join(' '), order);
        QCOMPARE(m_session->hint(), direction > 0 ? "No disagreements after this one in the images shown"
                                                  : "No disagreements before this one in the images shown");
    }

    // Next and previous stay within the rows shown.
    void stepTarget()
    {
        QCOMPARE(m_session->stepTarget(1), -1); // nothing open
        QVERIFY(m_session->open(0));
        QCOMPARE(m_session->stepTarget(-1), -1);
        QCOMPARE(m_session->stepTarget(1), 1);
        QVERIFY(m_session->open(4));
        QCOMPARE(m_session->stepTarget(-3), 1);
        QCOMPARE(m_session->stepTarget(1), -1);
    }
};

QTEST_GUILESS_MAIN(TestEditSession)
#include "tst_editsession.moc"
