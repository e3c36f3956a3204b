#include "boxes/bboxlist.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include "modelcheck.h"
#include "testfiles.h"

namespace {

using Edit = std::function<void(BBoxList &)>;

// Reaches the protected index factory to build indexes past the last row.
struct IndexableBBoxList : BBoxList
{
    using BBoxList::createIndex;
};

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

// The boxes as the roles give them, one "cat cx cy cw ch" per row.
QStringList rolesOf(const BBoxList &list)
{
    QStringList out;
    for (int row = 0; row < list.rowCount(); ++row) {
        QStringList fields;
        for (int role = BBoxList::CatIdRole; role <= BBoxList::ChRole; ++role)
            fields << QString::number(list.data(list.index(row), role).toDouble());
        out << fields.join(' ');
    }
    return out;
}

// Every model signal as text, in the order it came.
QStringList *recordSignals(BBoxList &list)
{
    auto *log = new QStringList;
    QObject::connect(&list, &QObject::destroyed, [log] { delete log; });
    QObject::connect(&list, &QAbstractItemModel::rowsInserted, [log](const QModelIndex &, int first, int last) {
        *log << QString("inserted %1-%2").arg(first).arg(last);
    });
    QObject::connect(&list, &QAbstractItemModel::rowsRemoved, [log](const QModelIndex &, int first, int last) {
        *log << QString("removed %1-%2").arg(first).arg(last);
    });
    QObject::connect(&list, &QAbstractItemModel::modelReset, [log] { *log << "reset"; });
    QObject::connect(&list, &QAbstractItemModel::dataChanged,
                     [log](const QModelIndex &from, const QModelIndex &to, const QVector<int> &roles) {
                         QStringList r;
                         for (int role : roles)
                             r << QString::number(role);
                         *log << QString("changed %1-%2 %3").arg(from.row()).arg(to.row()).arg(r.join(','));
                     });
    return log;
}

// Two boxes with values that text would not give back exactly.
void fill(BBoxList &list)
{
    list.appendBox(1, 0.1 + 0.2, 1.0 / 3, 0.123456789012345, 2e-310);
    list.appendBox(2, -0.0, 0.7, 0.25, 0.5);
}

} // namespace

Q_DECLARE_METATYPE(Edit)

class TestBBoxList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void edit_data();
    void edit();
    void rowsOutsideTheList();
    void savingAndReadingClearModified();
    void groupsUndoAsOneStep();
};

void TestBBoxList::edit_data()
{
    QTest::addColumn<QStringList>("boxes"); // afterwards, as the roles give them
    QTest::addColumn<QString>("emitted");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<Edit>("edit");
    const QString a = "1 0.3 0.333333 0.123457 2e-310", b = "2 0 0.7 0.25 0.5", no;
    auto row = [](const char *name, const QStringList &boxes, const QString &emitted, bool modified, Edit edit) {
        QTest::newRow(name) << boxes << emitted << modified << edit;
    };
    row("appendRow", {a, b, "3 0.5 0.25 0.1 0.1"}, "inserted 2-2", true,
        [](BBoxList &l) { l.appendRow(3, 0.5, 0.25); });
    row("appendBox, as loaders do", {a, b, "1 0.5 0.5 0.2 0.3"}, "inserted 2-2", false,
        [](BBoxList &l) { l.appendBox(1, 0.5, 0.5, 0.2, 0.3); });
    row("deleteRow first", {b}, "removed 0-0", true, [](BBoxList &l) { l.deleteRow(0); });
    row("deleteRow past the end", {a, b}, no, false, [](BBoxList &l) { l.deleteRow(2); });
    row("setData cx", {a, "2 0.7 0.7 0.25 0.5"}, "changed 1-1 1", true,
        [](BBoxList &l) { l.setData(l.index(1), 0.7, BBoxList::CxRole); });
    row("setData ch", {a, "2 0 0.7 0.25 -0.25"}, "changed 1-1 4", true,
        [](BBoxList &l) { l.setData(l.index(1), -0.25, BBoxList::ChRole); });
    row("setData no number", {a, "2 0 0 0.25 0.5"}, "changed 1-1 2", true,
        [](BBoxList &l) { l.setData(l.index(1), "abc", BBoxList::CyRole); });
    row("setData catId", {a, b}, no, false, [](BBoxList &l) { QVERIFY(!l.setData(l.index(1), 7, 0)); });
    row("setData role 5", {a, b}, no, false, [](BBoxList &l) { QVERIFY(!l.setData(l.index(1), 0.9, 5)); });
    row("setRect", {a, "2 0.1 0.2 0.3 0.4"}, "changed 1-1 1,2,3,4", true,
        [](BBoxList &l) { QVERIFY(l.setRect(1, 0.1, 0.2, 0.3, 0.4)); });
    row("relabelRow", {a, "42 0 0.7 0.25 0.5"}, "changed 1-1 0", true,
        [](BBoxList &l) { QVERIFY(l.relabelRow(1, 42)); });
    row("relabelRow outside", {a, b}, no, false, [](BBoxList &l) { QVERIFY(!l.relabelRow(2, 7)); });
    row("clear", {}, "reset", false, [](BBoxList &l) { l.clear(); });
}

// Each edit changes what it says and announces it; one undo and one redo give
// back the very same bits.
void TestBBoxList::edit()
{
    QFETCH(QStringList, boxes);
    QFETCH(QString, emitted);
    QFETCH(bool, modified);
    QFETCH(Edit, edit);
    BBoxList list;
    ModelCheck check(&list);
    fill(list);
    const QByteArray before = bytesOf(list);
    const QStringList *log = recordSignals(list);
    QSignalSpy modifiedChanged(&list, &BBoxList::modifiedChanged);
    edit(list);
    QCOMPARE(rolesOf(list), boxes);
    QCOMPARE(log->join("; "), emitted);
    QCOMPARE(list.isModified(), modified);
    QCOMPARE(modifiedChanged.count(), modified ? 1 : 0);
    QCOMPARE(list.canUndo(), modified);
    if (modified) {
        const QByteArray after = bytesOf(list);
        QVERIFY(list.undo());
        QCOMPARE(bytesOf(list), before);
        QVERIFY(!list.isModified());
        QVERIFY(list.redo());
        QCOMPARE(bytesOf(list), after);
    }
    ModelCheck::verifyNone();
}

void TestBBoxList::rowsOutsideTheList()
{
    IndexableBBoxList list;
    ModelCheck check(&list);
    list.appendRow(1, 0.5, 0.5);
    const QModelIndex outside = list.createIndex(5, 0);
    const QStringList *log = recordSignals(list);
    QVERIFY(!list.data(outside, BBoxList::CxRole).isValid());
    QVERIFY(!list.data(list.index(0), BBoxList::ChRole + 1).isValid());
    QVERIFY(!list.setData(outside, 0.2, BBoxList::CxRole));
    QVERIFY(!list.setRect(1, 0.1, 0.1, 0.1, 0.1));
    QVERIFY(!list.boxAt(1) && !list.boxAt(-1));
    QCOMPARE(*log, QStringList());
    ModelCheck::verifyNone();
}

void TestBBoxList::savingAndReadingClearModified()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.txt");
    BBoxList list;
    // Whether there is something to save, to undo and to redo.
    auto state = [&list] { return QString("%1%2%3").arg(list.isModified()).arg(list.canUndo()).arg(list.canRedo()); };
    list.appendRow(1, 0.5, 0.25);
    QVERIFY(!list.saveTxtFile(dir.filePath("missing/a.txt")));
    QCOMPARE(state(), "110");
    QVERIFY(list.saveTxtFile(file));
    QCOMPARE(state(), "010");
    QCOMPARE(TestFiles::read(file), QByteArray("1 0.5 0.25 0.1 0.1"));

    // Undone back to what the file holds, nothing is left to save; further back, there is.
    list.appendRow(3, 0.9, 0.9);
    QVERIFY(list.undo());
    QCOMPARE(state(), "011");
    QVERIFY(list.undo());
    QCOMPARE(state(), "101");
    QVERIFY(list.redo());
    QCOMPARE(state(), "011");

    // Reading the file again, or clearing, forgets the edits and the history.
    list.clear();
    QCOMPARE(state(), "000");
    list.appendRow(2, 0.1, 0.1);
    list.loadTxtFile(file);
    QCOMPARE(state(), "000");
    QCOMPARE(list.rowCount(), 2);
}

// Nested groups undo as one step; steps undo and redo in order; a new edit
// after an undo forgets what could be redone.
void TestBBoxList::groupsUndoAsOneStep()
{
    BBoxList list;
    ModelCheck check(&list);
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
    const QByteArray deleted = bytesOf(list);

    // Another number of boxes: one reset. The same number: rows change in place.
    const QStringList *log = recordSignals(list);
    QSignalSpy history(&list, &BBoxList::historyChanged);
    QVERIFY(list.undo());
    QCOMPARE(bytesOf(list), resized);
    QVERIFY(list.undo());
    QCOMPARE(bytesOf(list), start);
    QCOMPARE(*log, (QStringList{"reset", "changed 0-1 0,1,2,3,4"}));
    QCOMPARE(history.count(), 2);
    QVERIFY(!list.isModified() && !list.undo());
    QVERIFY(list.redo() && list.redo());
    QCOMPARE(bytesOf(list), deleted);
    QVERIFY(!list.redo());
    list.undo();
    list.appendRow(9, 0.5, 0.5);
    QVERIFY(!list.canRedo());
    QVERIFY(list.undo());
    QCOMPARE(bytesOf(list), resized);
    ModelCheck::verifyNone();
}

QTEST_GUILESS_MAIN(TestBBoxList)
#include "tst_bboxlist.moc"
