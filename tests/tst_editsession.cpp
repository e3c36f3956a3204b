#include "boxes/yololabelfile.h"
#include "images/imagelist.h"
#include "models/imagefilter.h"
#include "ui/editsession.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "modelcheck.h"
#include "testfiles.h"

// The editing rules on a folder of generated pictures: a (200 by 100) with a CRLF
// label file, b (400 by 200) with two boxes, c whose line holds a score after the
// five fields, and d whose picture cannot be read.
class TestEditSession : public QObject
{
    Q_OBJECT

private:
    QString label(const QString &name) const { return m_dir->filePath("labels/" + name + ".txt"); }
    QByteArray file(const QString &name) const { return TestFiles::read(label(name)); }
    int shownRowOf(const QString &name) const
    {
        for (int row = 0; row < m_shown->rowCount(); ++row) {
            if (ImageList::instance()->imageAt(m_shown->sourceRow(row))->fileName == name)
                return row;
        }
        return -1;
    }
    void open(const QString &name) { QVERIFY(m_session->open(shownRowOf(name))); }
    // The open list as the writer would put it.
    QByteArray boxes() const { return YoloLabelFile::format(m_session->boxes()->boxes()); }

    // Edits written as "verb numbers; ...": add C X Y W H, draw X0 Y0 X1 Y1 W H, pick C,
    // select N, relabel C, delete (the selected box), remove N, move DX DY [W H],
    // rect N CX CY CW CH, and drag ... drop around a drag.
    void run(const QString &script)
    {
        EditSession &s = *m_session;
        for (const QString &step : script.split(';', Qt::SkipEmptyParts)) {
            QStringList words = step.split(' ', Qt::SkipEmptyParts);
            const QString verb = words.takeFirst();
            QVector<double> n(6);
            for (int i = 0; i < words.size(); ++i)
                n[i] = words[i].toDouble();
            if (verb == "add")
                s.addBox(int(n[0]), {n[1], n[2]}, {n[3], n[4]});
            else if (verb == "draw")
                s.drawBox({n[0], n[1]}, {n[2], n[3]}, {n[4], n[5]});
            else if (verb == "pick")
                s.pickCategory(int(n[0]));
            else if (verb == "select")
                s.select(int(n[0]));
            else if (verb == "relabel")
                s.relabelSelected(int(n[0]));
            else if (verb == "delete")
                s.deleteSelected();
            else if (verb == "remove")
                s.deleteBox(int(n[0]));
            else if (verb == "move")
                s.moveSelected(int(n[0]), int(n[1]), {n[2], n[3]});
            else if (verb == "rect")
                s.setBoxRect(int(n[0]), n[1], n[2], n[3], n[4]);
            else if (verb == "drag")
                s.beginDrag();
            else if (verb == "drop")
                s.endDrag();
            else
                QFAIL(qPrintable("unknown edit " + verb));
        }
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ImageFilter> m_shown;
    std::unique_ptr<EditSession> m_session;
    std::unique_ptr<ModelCheck> m_check;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        const QDir dir(m_dir->path());
        dir.mkpath("images");
        QVERIFY(QImage(200, 100, QImage::Format_RGB32).save(dir.filePath("images/a.png")));
        QVERIFY(QImage(400, 200, QImage::Format_RGB32).save(dir.filePath("images/b.png")));
        QVERIFY(QImage(50, 50, QImage::Format_RGB32).save(dir.filePath("images/c.png")));
        QVERIFY(TestFiles::write(dir.filePath("images/d.jpg"), "not a picture"));
        QVERIFY(TestFiles::write(label("a"), "1 0.5 0.5 0.2 0.4\r\n"));
        QVERIFY(TestFiles::write(label("b"), "1 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2"));
        QVERIFY(TestFiles::write(label("c"), "1 0.5 0.5 0.3 0.3 0.87"));
        QVERIFY(TestFiles::write(label("d"), "1 0.5 0.5 0.2 0.2"));
        ImageList *images = ImageList::instance();
        m_check = std::make_unique<ModelCheck>(images);
        m_shown = std::make_unique<ImageFilter>(images);
        images->loadYolo(dir.filePath("labels"), dir.filePath("images"));
        QCOMPARE(m_shown->rowCount(), 4);
        m_session = std::make_unique<EditSession>(images, m_shown.get());
        m_session->setCategories({QVariantMap{{"catId", 1}}, QVariantMap{{"catId", 2}}});
    }

    void cleanup()
    {
        m_session.reset();
        m_shown.reset();
        ModelCheck::verifyNone();
        m_check.reset();
    }

    void opening_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("removeFirst");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("rewritten in the tool's layout") << "a" << false << QByteArray("1 0.5 0.5 0.2 0.4");
        QTest::newRow("lines not read whole kept") << "c" << false << QByteArray("1 0.5 0.5 0.3 0.3 0.87");
        QTest::newRow("no label file: none made") << "a" << true << QByteArray("<missing>");
    }

    void opening()
    {
        QFETCH(QString, name);
        QFETCH(bool, removeFirst);
        QFETCH(QByteArray, after);
        if (removeFirst)
            QVERIFY(QFile::remove(label(name)));
        BBoxList *list = ImageList::instance()->imageAt(m_shown->sourceRow(shownRowOf(name)))->bboxes.get();
        list->appendRow(1, 0.5, 0.5);
        QVERIFY(list->undo());
        QSignalSpy rowSpy(m_session.get(), &EditSession::rowChanged);
        open(name);
        QCOMPARE(rowSpy.count(), 1);
        QCOMPARE(m_session->boxes(), list);
        QCOMPARE(file(name), after);
        QVERIFY(!list->canRedo());
        QVERIFY(!m_session->canSave());
        QCOMPARE(m_session->saveError(), QString());
        m_session->select(0);
        m_session->close();
        QCOMPARE(m_session->selected(), -1);
        QCOMPARE(m_session->row(), -1);
        QCOMPARE(m_session->boxes(), nullptr);
    }

    void edit_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QByteArray>("saved");
        const QByteArray two("1 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2");
        const auto row = [](const char *tag, const char *name, const QString &script, int steps, int selected,
                            const QByteArray &saved) {
            QTest::newRow(tag) << name << script << steps << selected << saved;
        };
        row("add under the pointer", "b", "add 2 100 50 400 200", 1, -1, two + "\n2 0.25 0.25 0.1 0.1");
        row("add beside the picture", "b", "add 1 -30 250 400 200", 1, -1, two + "\n1 0 1 0.1 0.1");
        row("add without a picture", "b", "add 1 10 10 0 0", 0, -1, two);
        row("draw backwards", "b", "pick 2; draw 300 150 100 50 400 200", 1, -1, two + "\n2 0.5 0.5 0.5 0.5");
        row("draw, picked category gone", "b", "pick 7; draw 0 0 40 20 400 200", 1, -1, two + "\n1 0.05 0.05 0.1 0.1");
        row("draw without area", "b", "draw 10 10 10 50 400 200", 0, -1, two);
        row("relabel, nothing selected", "b", "relabel 2", 0, -1, two);
        row("relabel selected", "b", "select 0; relabel 2", 1, 0, "2 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2");
        row("delete selected", "b", "select 0; delete; delete", 1, -1, "2 0.75 0.75 0.2 0.2");
        row("selection follows its box", "b", "select 1; remove 0", 1, 0, "2 0.75 0.75 0.2 0.2");
        row("move by pixels", "b", "select 0; move 1 0; move 0 10", 2, 0, "1 0.2525 0.3 0.1 0.1\n2 0.75 0.75 0.2 0.2");
        row("move stops at the border", "b", "select 0;" + QString("move -10 0;").repeated(30), 9, 0,
            "1 0.05 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2");
        row("move no further out", "b", "select 0; rect 0 0.02 0.25 0.1 0.1; move -1 0; move 1 0", 2, 0,
            "1 0.0225 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2");
        row("move, picture size unknown", "d", "select 0; move 1 0 100 100", 1, 0, "1 0.51 0.5 0.2 0.2");
        row("a drag is one step", "b", "drag; rect 1 0.3 0.3 0.1 0.1; rect 1 0.4 0.4 0.2 0.1; drop", 1, -1,
            "1 0.25 0.25 0.1 0.1\n2 0.4 0.4 0.2 0.1");
    }

    void edit()
    {
        QFETCH(QString, name);
        QFETCH(QString, script);
        QFETCH(int, steps);
        QFETCH(int, selected);
        QFETCH(QByteArray, saved);
        open(name);
        const QByteArray opened = file(name);
        run(script);
        QCOMPARE(m_session->selected(), selected);
        QCOMPARE(m_session->canSave(), steps > 0);
        QCOMPARE(file(name), opened);
        for (int i = 0; i < steps; ++i)
            QVERIFY(m_session->undo());
        QVERIFY(!m_session->undo());
        QCOMPARE(boxes(), opened);
        QVERIFY(!m_session->canSave());
        for (int i = 0; i < steps; ++i)
            QVERIFY(m_session->redo());
        QVERIFY(m_session->save());
        QCOMPARE(file(name), saved);
        QVERIFY(!m_session->canSave());
    }

    void leaveAndReset_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("removed"); // before the action: a label file or the labels folder
        QTest::addColumn<bool>("reset");      // or leave
        QTest::addColumn<bool>("result");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("error");
        const QByteArray b("1 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2"), missing("<missing>");
        const auto row = [](const char *tag, const char *name, const char *script, const QString &removed, bool reset,
                            bool result, const QByteArray &after, const QString &error) {
            QTest::newRow(tag) << name << script << removed << reset << result << after << error;
        };
        row("leave unchanged", "b", "", "labels", false, true, missing, "");
        row("leave changed", "b", "add 1 5 5 10 10", "", false, true, b + "\n1 0.5 0.5 0.1 0.1", "");
        row("leave, save fails", "b", "add 1 5 5 10 10", "labels", false, false, missing, "Could not save %1");
        row("leave, lines not read whole", "c", "add 1 5 5 10 10", "", false, false, "1 0.5 0.5 0.3 0.3 0.87",
            "c.txt holds lines that saving would drop: Save or Reset first");
        row("reset", "b", "add 1 5 5 10 10", "", true, true, b, "");
        row("reset, file gone: boxes kept", "b", "add 1 5 5 10 10", "labels/b.txt", true, false, missing,
            "Could not read %1");
    }

    void leaveAndReset()
    {
        QFETCH(QString, name);
        QFETCH(QString, script);
        QFETCH(QString, removed);
        QFETCH(bool, reset);
        QFETCH(bool, result);
        QFETCH(QByteArray, after);
        QFETCH(QString, error);
        open(name);
        run(script);
        const QByteArray edited = boxes();
        if (!removed.isEmpty())
            QVERIFY(QFile::remove(m_dir->filePath(removed)) || QDir(m_dir->filePath(removed)).removeRecursively());
        QCOMPARE(reset ? m_session->reset() : m_session->saveBeforeLeaving(), result);
        QCOMPARE(file(name), after);
        QCOMPARE(m_session->saveError(), error.contains("%1") ? error.arg(label(name)) : error);
        QCOMPARE(m_session->canSave(), !result);
        if (!result)
            QCOMPARE(boxes(), edited);
        else if (reset)
            QVERIFY(!m_session->boxes()->canUndo());
        m_session->close();
        QCOMPARE(m_session->saveError(), QString());
    }

    void stepTarget_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("target");
        QTest::newRow("before the first") << 0 << -1 << -1;
        QTest::newRow("next") << 0 << 1 << 1;
        QTest::newRow("previous") << 2 << -1 << 1;
        QTest::newRow("past the last") << 3 << 1 << -1;
        QTest::newRow("nothing open") << -1 << 1 << -1;
    }

    void stepTarget()
    {
        QFETCH(int, from);
        QFETCH(int, delta);
        QFETCH(int, target);
        QCOMPARE(m_session->open(from), from >= 0);
        QCOMPARE(m_session->shownRow(), from);
        QCOMPARE(m_session->stepTarget(delta), target);
        if (target < 0)
            return;
        // Straight to the next image, without closing in between.
        QSignalSpy rowSpy(m_session.get(), &EditSession::rowChanged);
        QVERIFY(m_session->open(target));
        QCOMPARE(rowSpy.count(), 1);
        QCOMPARE(m_session->shownRow(), target);
    }

    // A new box on top of another is a duplicate as soon as it is made.
    void editsAreChecked()
    {
        open("b");
        const auto image = ImageList::instance()->imageAt(m_session->row());
        const int before = image->problems.size();
        m_session->addBox(1, {100, 50}, {400, 200});
        QCOMPARE(image->problems.size(), before + 1);
        QVERIFY(m_session->undo());
        QCOMPARE(image->problems.size(), before);
    }

    void loadCloses()
    {
        open("a");
        ImageList::instance()->loadYolo(m_dir->filePath("labels"), m_dir->filePath("images"));
        QCOMPARE(m_session->row(), -1);
        QCOMPARE(m_session->boxes(), nullptr);
    }

    void category()
    {
        QCOMPARE(m_session->category(), 1);
        m_session->pickCategory(2);
        QCOMPARE(m_session->category(), 2);
        m_session->setCategories({QVariantMap{{"catId", 5}}});
        QCOMPARE(m_session->category(), 5);
        m_session->setCategories({});
        QCOMPARE(m_session->category(), 0);
    }
};

QTEST_GUILESS_MAIN(TestEditSession)
#include "tst_editsession.moc"
