#include "boxes/bboxlist.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

// Reaches the protected index factory to build indexes past the last row.
struct IndexableBBoxList : BBoxList
{
    using BBoxList::createIndex;
};

class TestBBoxList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roleNames();
    void appendRow();
    void deleteRow_data();
    void deleteRow();
    void setData_data();
    void setData();
    void data_data();
    void data();
    void rowsOutsideTheList();
    void clear();
};

void TestBBoxList::roleNames()
{
    BBoxList list;
    const QHash<int, QByteArray> expected{{0, "catId"}, {1, "cx"}, {2, "cy"}, {3, "cw"}, {4, "ch"}};
    QCOMPARE(list.roleNames(), expected);
}

void TestBBoxList::appendRow()
{
    BBoxList list;
    QAbstractItemModelTester tester(&list);
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    list.appendRow(1, 0.5, 0.5);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 0);
    QCOMPARE(inserted.at(0).at(2).toInt(), 0);
    const auto box = list.boxAt(0);
    QCOMPARE(box->catId, 1);
    QCOMPARE(box->cx, 0.5);
    QCOMPARE(box->cy, 0.5);
    QCOMPARE(box->cw, 0.1);
    QCOMPARE(box->ch, 0.1);

    list.appendRow(2, 0.25, 0.75);
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(inserted.at(1).at(1).toInt(), 1);
    QCOMPARE(list.boxAt(1)->catId, 2);
}

void TestBBoxList::deleteRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QList<int>>("remaining");
    QTest::newRow("first") << 0 << QList<int>{2, 3};
    QTest::newRow("last") << 2 << QList<int>{1, 2};
    QTest::newRow("minus one") << -1 << QList<int>{1, 2, 3};
    QTest::newRow("row count") << 3 << QList<int>{1, 2, 3};
}

void TestBBoxList::deleteRow()
{
    QFETCH(int, row);
    QFETCH(QList<int>, remaining);
    BBoxList list;
    QAbstractItemModelTester tester(&list);
    for (int cat : {1, 2, 3})
        list.appendRow(cat, 0.5, 0.5);
    QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);
    list.deleteRow(row);
    const bool inside = row >= 0 && row < 3;
    QCOMPARE(removed.count(), inside ? 1 : 0);
    if (inside) {
        QCOMPARE(removed.at(0).at(1).toInt(), row);
        QCOMPARE(removed.at(0).at(2).toInt(), row);
    }
    QList<int> cats;
    for (int i = 0; i < list.rowCount(); ++i)
        cats << list.boxAt(i)->catId;
    QCOMPARE(cats, remaining);
}

void TestBBoxList::setData_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QList<double>>("geometry"); // cx, cy, cw, ch afterwards
    QTest::newRow("cx") << 1 << QVariant(0.7) << true << QList<double>{0.7, 0.4, 0.2, 0.1};
    QTest::newRow("cy") << 2 << QVariant(0.6) << true << QList<double>{0.5, 0.6, 0.2, 0.1};
    QTest::newRow("cw") << 3 << QVariant(1.5) << true << QList<double>{0.5, 0.4, 1.5, 0.1};
    QTest::newRow("ch") << 4 << QVariant(-0.25) << true << QList<double>{0.5, 0.4, 0.2, -0.25};
    QTest::newRow("unchanged value") << 1 << QVariant(0.5) << true << QList<double>{0.5, 0.4, 0.2, 0.1};
    QTest::newRow("text that is no number") << 1 << QVariant("abc") << true << QList<double>{0.0, 0.4, 0.2, 0.1};
    QTest::newRow("category is read-only") << 0 << QVariant(7) << false << QList<double>{0.5, 0.4, 0.2, 0.1};
    QTest::newRow("role 5") << 5 << QVariant(0.9) << false << QList<double>{0.5, 0.4, 0.2, 0.1};
    QTest::newRow("user role") << int(Qt::UserRole) << QVariant(0.9) << false << QList<double>{0.5, 0.4, 0.2, 0.1};
}

void TestBBoxList::setData()
{
    QFETCH(int, role);
    QFETCH(QVariant, value);
    QFETCH(bool, accepted);
    QFETCH(QList<double>, geometry);
    BBoxList list;
    QAbstractItemModelTester tester(&list);
    list.appendBox(3, 0.1, 0.1, 0.1, 0.1);
    list.appendBox(3, 0.5, 0.4, 0.2, 0.1);
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);

    QCOMPARE(list.setData(list.index(1), value, role), accepted);
    const auto box = list.boxAt(1);
    QCOMPARE(box->catId, 3);
    QCOMPARE((QList<double>{box->cx, box->cy, box->cw, box->ch}), geometry);
    QCOMPARE(list.boxAt(0)->cx, 0.1);
    if (accepted) {
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex(), list.index(1));
        QCOMPARE(changed.at(0).at(1).toModelIndex(), list.index(1));
        QCOMPARE(changed.at(0).at(2).value<QVector<int>>(), QVector<int>{role});
    } else {
        QCOMPARE(changed.count(), 0);
    }
}

void TestBBoxList::data_data()
{
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("catId") << 0 << QVariant(4);
    QTest::newRow("cx") << 1 << QVariant(0.1);
    QTest::newRow("cy") << 2 << QVariant(0.2);
    QTest::newRow("cw") << 3 << QVariant(0.3);
    QTest::newRow("ch") << 4 << QVariant(0.4);
    QTest::newRow("role 5") << 5 << QVariant();
    QTest::newRow("user role") << int(Qt::UserRole) << QVariant();
}

void TestBBoxList::data()
{
    QFETCH(int, role);
    QFETCH(QVariant, expected);
    BBoxList list;
    QAbstractItemModelTester tester(&list);
    list.appendBox(4, 0.1, 0.2, 0.3, 0.4);
    const QVariant value = list.data(list.index(0), role);
    QCOMPARE(value, expected);
    QCOMPARE(value.userType(), expected.userType());
}

void TestBBoxList::rowsOutsideTheList()
{
    IndexableBBoxList list;
    QAbstractItemModelTester tester(&list);
    list.appendRow(1, 0.5, 0.5);
    QCOMPARE(list.rowCount(list.index(0)), 0);

    const QModelIndex outside = list.createIndex(5, 0);
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
    QVERIFY(!list.data(outside, 1).isValid());
    QVERIFY(!list.data(QModelIndex(), 1).isValid());
    QVERIFY(!list.setData(outside, 0.2, 1));
    QVERIFY(!list.setData(QModelIndex(), 0.2, 1));
    QCOMPARE(changed.count(), 0);
    QVERIFY(!list.boxAt(1));
    QVERIFY(!list.boxAt(-1));
    QCOMPARE(list.boxAt(0)->cx, 0.5);
}

void TestBBoxList::clear()
{
    BBoxList list;
    QAbstractItemModelTester tester(&list);
    for (int i = 0; i < 3; ++i)
        list.appendRow(i, 0.5, 0.5);
    QSignalSpy resets(&list, &QAbstractItemModel::modelReset);
    QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);
    list.clear();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(removed.count(), 0);
    QCOMPARE(list.rowCount(), 0);
    list.appendRow(1, 0.5, 0.5);
    QCOMPARE(list.rowCount(), 1);
}

QTEST_GUILESS_MAIN(TestBBoxList)
#include "tst_bboxlist.moc"
