#include "boxes/yololabelfile.h"
#include "images/imagefilter.h"
#include "images/imagelist.h"
#include "ui/editsession.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include "modelcheck.h"
#include "testfiles.h"

using Edit = std::function<void(EditSession &)>;
Q_DECLARE_METATYPE(Edit)

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
        m_session->close();
        QCOMPARE(m_session->row(), -1);
        QCOMPARE(m_session->boxes(), nullptr);
    }

    void edit_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QByteArray>("saved");
        const QSizeF b(400, 200);
        const QByteArray two("1 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2");
        QTest::newRow("add under the pointer") << "b" << Edit([b](EditSession &s) {
            s.addBox(2, {100, 50}, b);
        }) << 1 << two + "\n2 0.25 0.25 0.1 0.1";
        QTest::newRow("add beside the picture") << "b" << Edit([b](EditSession &s) {
            s.addBox(1, {-30, 250}, b);
        }) << 1 << two + "\n1 0 1 0.1 0.1";
        QTest::newRow("add without a picture") << "b" << Edit([](EditSession &s) {
            s.addBox(1, {10, 10}, {});
        }) << 0 << two;
        QTest::newRow("draw backwards, picked category") << "b" << Edit([b](EditSession &s) {
            s.pickCategory(2);
            s.drawBox({300, 150}, {100, 50}, b);
        }) << 1 << two + "\n2 0.5 0.5 0.5 0.5";
        QTest::newRow("draw, picked category gone") << "b" << Edit([b](EditSession &s) {
            s.pickCategory(7);
            s.drawBox({0, 0}, {40, 20}, b);
        }) << 1 << two + "\n1 0.05 0.05 0.1 0.1";
        QTest::newRow("draw without area") << "b" << Edit([b](EditSession &s) {
            s.drawBox({10, 10}, {10, 50}, b);
        }) << 0 << two;
        QTest::newRow("relabel, nothing selected")
            << "b" << Edit([](EditSession &s) { s.relabelSelected(2); }) << 0 << two;
        QTest::newRow("relabel selected") << "b" << Edit([](EditSession &s) {
            s.select(0);
            s.relabelSelected(2);
        }) << 1 << QByteArray("2 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2");
        QTest::newRow("delete selected") << "b" << Edit([](EditSession &s) {
            s.select(0);
            s.deleteSelected();
            s.deleteSelected();
        }) << 1 << QByteArray("2 0.75 0.75 0.2 0.2");
        QTest::newRow("move by pixels of the picture") << "b" << Edit([](EditSession &s) {
            s.select(0);
            s.moveSelected(1, 0, {});
            s.moveSelected(0, 10, {});
        }) << 2 << QByteArray("1 0.2525 0.3 0.1 0.1\n2 0.75 0.75 0.2 0.2");
        QTest::newRow("move stops at the border") << "b" << Edit([](EditSession &s) {
            s.select(0);
            for (int i = 0; i < 30; ++i)
                s.moveSelected(-10, 0, {});
        }) << 9 << QByteArray("1 0.05 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2");
        QTest::newRow("move no further out") << "b" << Edit([](EditSession &s) {
            s.select(0);
            s.setBoxRect(0, 0.02, 0.25, 0.1, 0.1);
            s.moveSelected(-1, 0, {});
            s.moveSelected(1, 0, {});
        }) << 2 << QByteArray("1 0.0225 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2");
        QTest::newRow("move, picture size unknown") << "d" << Edit([](EditSession &s) {
            s.select(0);
            s.moveSelected(1, 0, {100, 100});
        }) << 1 << QByteArray("1 0.51 0.5 0.2 0.2");
        QTest::newRow("a drag is one step") << "b" << Edit([](EditSession &s) {
            s.beginDrag();
            s.setBoxRect(1, 0.3, 0.3, 0.1, 0.1);
            s.setBoxRect(1, 0.4, 0.4, 0.2, 0.1);
            s.endDrag();
        }) << 1 << QByteArray("1 0.25 0.25 0.1 0.1\n2 0.4 0.4 0.2 0.1");
    }

    void edit()
    {
        QFETCH(QString, name);
        QFETCH(Edit, edit);
        QFETCH(int, steps);
        QFETCH(QByteArray, saved);
        open(name);
        const QByteArray opened = file(name);
        edit(*m_session);
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

    void leave_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("edited");
        QTest::addColumn<bool>("removeLabels");
        QTest::addColumn<bool>("leaves");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("error");
        const QByteArray b("1 0.25 0.25 0.1 0.1\n2 0.75 0.75 0.2 0.2");
        QTest::newRow("unchanged") << "b" << false << true << true << QByteArray("<missing>") << "";
        QTest::newRow("changes saved") << "b" << true << false << true << b + "\n1 0.5 0.5 0.1 0.1"
                                       << "";
        QTest::newRow("save fails") << "b" << true << true << false << QByteArray("<missing>") << "Could not save %1";
        QTest::newRow("lines not read whole") << "c" << true << false << false << QByteArray("1 0.5 0.5 0.3 0.3 0.87")
                                              << "c.txt holds lines that saving would drop: Save or Reset first";
    }

    void leave()
    {
        QFETCH(QString, name);
        QFETCH(bool, edited);
        QFETCH(bool, removeLabels);
        QFETCH(bool, leaves);
        QFETCH(QByteArray, after);
        QFETCH(QString, error);
        open(name);
        if (edited)
            m_session->addBox(1, {5, 5}, {10, 10});
        if (removeLabels)
            QVERIFY(QDir(m_dir->filePath("labels")).removeRecursively());
        QCOMPARE(m_session->saveBeforeLeaving(), leaves);
        QCOMPARE(file(name), after);
        QCOMPARE(m_session->saveError(), error.contains("%1") ? error.arg(label(name)) : error);
        QCOMPARE(m_session->canSave(), edited && !leaves);
        if (name == "c") {
            // Saved by hand, the file holds what the list holds; edits after that go along.
            QVERIFY(m_session->save());
            m_session->addBox(1, {5, 5}, {10, 10});
            QVERIFY(m_session->saveBeforeLeaving());
            QCOMPARE(file(name), "1 0.5 0.5 0.3 0.3\n1 0.5 0.5 0.1 0.1\n1 0.5 0.5 0.1 0.1");
        }
        m_session->close();
        QCOMPARE(m_session->saveError(), QString());
    }

    void reset_data()
    {
        QTest::addColumn<bool>("readable");
        QTest::newRow("back to the file") << true;
        QTest::newRow("file gone: boxes kept") << false;
    }

    void reset()
    {
        QFETCH(bool, readable);
        open("b");
        const QByteArray opened = boxes();
        m_session->addBox(1, {5, 5}, {10, 10});
        const QByteArray edited = boxes();
        if (!readable)
            QVERIFY(QFile::remove(label("b")));
        QCOMPARE(m_session->reset(), readable);
        QCOMPARE(boxes(), readable ? opened : edited);
        QCOMPARE(m_session->canSave(), !readable);
        QCOMPARE(m_session->saveError(), readable ? QString() : "Could not read " + label("b"));
        QCOMPARE(m_session->boxes()->canUndo(), !readable);
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

    // The selection stays on its box while boxes before it go, and goes with it.
    void selectionFollowsItsBox()
    {
        open("b");
        m_session->addBox(1, {5, 5}, {10, 10});
        m_session->select(1);
        m_session->deleteBox(0);
        QCOMPARE(m_session->selected(), 0);
        m_session->deleteBox(1);
        QCOMPARE(m_session->selected(), 0);
        m_session->deleteSelected();
        QCOMPARE(m_session->selected(), -1);
        m_session->select(0);
        QVERIFY(m_session->undo());
        QCOMPARE(m_session->selected(), -1);
        m_session->select(0);
        m_session->close();
        QCOMPARE(m_session->selected(), -1);
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
