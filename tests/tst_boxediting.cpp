#include "boxes/bboxlist.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <functional>

#include "modelcheck.h"
#include "testfiles.h"

namespace {

using Edit = std::function<void(BBoxList &)>;

// The boxes as raw bytes: equal only when every double is the very same.
QByteArray bytesOf(const BBoxList &list)
{
    QByteArray out;
    for (const auto &box : list.boxes()) {
        out.append(reinterpret_cast<const char *>(&box->catId), sizeof box->catId);
        for (double v : {box->cx, box->cy, box->cw, box->ch})
            out.append(reinterpret_cast<const char *>(&v), sizeof v);
    }
    return out;
}

// Two boxes with values that text would not give back exactly.
void fill(BBoxList &list)
{
    list.appendBox(1, 0.1 + 0.2, 1.0 / 3, 0.123456789012345, 2e-310);
    list.appendBox(2, -0.0, 0.7, 0.25, 0.5);
}

} // namespace

Q_DECLARE_METATYPE(Edit)

class TestBoxEditing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void modified_data();
    void modified();
    void savingAndReadingClearModified();
    void relabelRow();
    void undoRedoRestoresEveryState();
    void groupsUndoAsOneStep();
    void undoSignals();
};

void TestBoxEditing::modified_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<bool>("modified");
    QTest::newRow("appendRow") << Edit([](BBoxList &l) { l.appendRow(1, 0.5, 0.5); }) << true;
    QTest::newRow("appendRect") << Edit([](BBoxList &l) { l.appendRect(1, 0.5, 0.5, 0.2, 0.2); }) << true;
    QTest::newRow("setData cx") << Edit([](BBoxList &l) { l.setData(l.index(0), 0.2, BBoxList::CxRole); }) << true;
    QTest::newRow("setRect") << Edit([](BBoxList &l) { l.setRect(0, 0.1, 0.2, 0.3, 0.4); }) << true;
    QTest::newRow("relabelRow") << Edit([](BBoxList &l) { l.relabelRow(1, 7); }) << true;
    QTest::newRow("deleteRow") << Edit([](BBoxList &l) { l.deleteRow(0); }) << true;
    // What changes nothing, and what loaders do, is no edit.
    QTest::newRow("setData catId") << Edit([](BBoxList &l) { l.setData(l.index(0), 3, BBoxList::CatIdRole); }) << false;
    QTest::newRow("deleteRow outside") << Edit([](BBoxList &l) { l.deleteRow(2); }) << false;
    QTest::newRow("relabelRow outside") << Edit([](BBoxList &l) { l.relabelRow(-1, 7); }) << false;
    QTest::newRow("appendBox") << Edit([](BBoxList &l) { l.appendBox(1, 0.5, 0.5, 0.1, 0.1); }) << false;
    QTest::newRow("undo with no history") << Edit([](BBoxList &l) { l.undo(); }) << false;
}

void TestBoxEditing::modified()
{
    QFETCH(Edit, edit);
    QFETCH(bool, modified);
    BBoxList list;
    ModelCheck check(&list);
    fill(list);
    QSignalSpy spy(&list, &BBoxList::modifiedChanged);
    QVERIFY(!list.isModified());
    edit(list);
    QCOMPARE(list.isModified(), modified);
    QCOMPARE(spy.count(), modified ? 1 : 0);
    QCOMPARE(list.canUndo(), modified);
    ModelCheck::verifyNone();
}

void TestBoxEditing::savingAndReadingClearModified()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.txt");
    BBoxList list;
    list.appendRow(1, 0.5, 0.25);
    QVERIFY(list.isModified());

    // A save that fails leaves the list modified.
    QVERIFY(!list.saveTxtFile(dir.filePath("missing/a.txt")));
    QVERIFY(list.isModified());
    QVERIFY(list.saveTxtFile(file));
    QVERIFY(!list.isModified());
    QCOMPARE(TestFiles::read(file), QByteArray("1 0.5 0.25 0.1 0.1"));

    // Undone back to what the file holds, nothing is left to save; further back, there is.
    list.appendRow(3, 0.9, 0.9);
    list.undo();
    QVERIFY(!list.isModified());
    list.undo();
    QVERIFY(list.isModified());
    list.redo();
    QVERIFY(!list.isModified());
    list.redo();
    QVERIFY(list.isModified());
    list.undo();

    // Reading the file again forgets the edits and what could be undone or redone.
    list.deleteRow(0);
    list.appendRow(2, 0.1, 0.1);
    list.undo();
    QVERIFY(list.canUndo() && list.canRedo());
    list.clear();
    QVERIFY(!list.isModified() && !list.canUndo() && !list.canRedo());
    list.appendRow(2, 0.1, 0.1);
    list.loadTxtFile(file);
    QVERIFY(!list.isModified() && !list.canUndo());
    QCOMPARE(list.rowCount(), 2);
}

void TestBoxEditing::relabelRow()
{
    BBoxList list;
    ModelCheck check(&list);
    fill(list);
    QByteArray expected = bytesOf(list);
    const int catId = 42;
    std::memcpy(expected.data(), &catId, sizeof catId);
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    QVERIFY(list.relabelRow(0, 42));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), list.index(0));
    QCOMPARE(changed[0][1].toModelIndex(), list.index(0));
    QCOMPARE(changed[0][2].value<QVector<int>>(), QVector<int>{BBoxList::CatIdRole});
    QCOMPARE(list.data(list.index(0), BBoxList::CatIdRole), QVariant(42));
    // Only the category changed: the coordinates and the other box are the same bits.
    QCOMPARE(bytesOf(list), expected);
    QVERIFY(!list.relabelRow(2, 1));
    QCOMPARE(changed.count(), 1);
    ModelCheck::verifyNone();
}

void TestBoxEditing::undoRedoRestoresEveryState()
{
    BBoxList list;
    ModelCheck check(&list);
    fill(list);
    const QVector<Edit> edits{
        [](BBoxList &l) { l.appendRow(3, 0.9, 0.1); },
        [](BBoxList &l) { l.appendRect(1, 1.0 / 7, 0.2, 0.05, 0.3); },
        [](BBoxList &l) { l.setData(l.index(0), 2.0 / 3, BBoxList::CyRole); },
        [](BBoxList &l) { l.setRect(1, 0.11, 0.22, 0.33, 1e-9); },
        [](BBoxList &l) { l.relabelRow(2, 5); },
        [](BBoxList &l) { l.deleteRow(0); },
    };
    QVector<QByteArray> states{bytesOf(list)};
    for (const Edit &edit : edits) {
        edit(list);
        states.append(bytesOf(list));
        QVERIFY(states.last() != states.at(states.size() - 2));
    }
    for (int i = edits.size() - 1; i >= 0; --i) {
        QVERIFY(list.undo());
        QCOMPARE(bytesOf(list), states.at(i));
    }
    QVERIFY(!list.undo());
    QVERIFY(!list.canUndo());
    for (int i = 1; i <= edits.size(); ++i) {
        QVERIFY(list.redo());
        QCOMPARE(bytesOf(list), states.at(i));
    }
    QVERIFY(!list.redo());

    // A new edit after an undo forgets what could be redone.
    list.undo();
    list.undo();
    list.appendRow(9, 0.5, 0.5);
    QVERIFY(!list.canRedo());
    QVERIFY(list.undo());
    QCOMPARE(bytesOf(list), states.at(edits.size() - 2));
    ModelCheck::verifyNone();
}

void TestBoxEditing::groupsUndoAsOneStep()
{
    BBoxList list;
    fill(list);
    const QByteArray start = bytesOf(list);
    // A resize that reports three times, each report four writes in a group of its own.
    list.beginEdit();
    for (double w : {0.3, 0.35, 0.4}) {
        list.beginEdit();
        for (int role : {BBoxList::CxRole, BBoxList::CyRole, BBoxList::CwRole, BBoxList::ChRole})
            list.setData(list.index(1), role == BBoxList::CwRole ? w : 0.5, role);
        list.endEdit();
    }
    list.endEdit();
    const QByteArray resized = bytesOf(list);
    // A press that moved nothing adds no step.
    list.beginEdit();
    list.endEdit();
    list.endEdit(); // one too many does no harm
    list.deleteRow(0);

    QVERIFY(list.undo());
    QCOMPARE(bytesOf(list), resized);
    QVERIFY(list.undo());
    QCOMPARE(bytesOf(list), start);
    QVERIFY(!list.canUndo());
}

void TestBoxEditing::undoSignals()
{
    BBoxList list;
    ModelCheck check(&list);
    fill(list);
    list.setData(list.index(1), 0.9, BBoxList::CxRole);
    list.appendRow(1, 0.5, 0.5);
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    QSignalSpy history(&list, &BBoxList::historyChanged);

    // Another number of boxes: one reset. The same number: rows change in place.
    list.undo();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(changed.count(), 0);
    list.undo();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), list.index(0));
    QCOMPARE(changed[0][1].toModelIndex(), list.index(1));
    QCOMPARE(history.count(), 2);
    // Back where it started: nothing to save.
    QVERIFY(!list.isModified());
    ModelCheck::verifyNone();
}

QTEST_GUILESS_MAIN(TestBoxEditing)
#include "tst_boxediting.moc"
