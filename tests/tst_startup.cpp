#include "app/utils.h"
#include "images/imagelist.h"
#include "models/imagefilter.h"
#include "ui/appobjects.h"
#include "ui/conversion.h"
#include "ui/datasetloader.h"

#include <QProcess>
#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exitCode_data()
    {
        QTest::addColumn<QString>("mainFile");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expectedLog");
        QTest::newRow("loads and quits") << "quits.qml" << 0 << "rows 0 title started";
        QTest::newRow("type error") << "broken.qml" << 255 << "NoSuchType";
    }

    void exitCode()
    {
        QFETCH(QString, mainFile);
        QFETCH(int, exitCode);
        QFETCH(QString, expectedLog);
        QProcess probe;
        probe.start(QStringLiteral(STARTUP_PROBE), {QStringLiteral(TEST_DATA_DIR "/") + mainFile});
        QVERIFY(probe.waitForFinished(60000));
        const QString log = QString::fromLocal8Bit(probe.readAllStandardError());
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QVERIFY2(log.contains(expectedLog), qPrintable(log));
        QCOMPARE(probe.exitCode(), exitCode);
        // Nothing of the program's own goes to standard output.
        QCOMPARE(probe.readAllStandardOutput(), QByteArray());
    }

    // Each object goes before those it was handed, which it may still use on its way out.
    void tearDownReversesMaking()
    {
        QVector<int> deleted;
        {
            AppObjects objects;
            const QList<QObject *> made{objects.utils(), objects.imageList(), objects.datasetLoader(),
                                        objects.imageFilter(), objects.conversion()};
            for (int i = 0; i < made.size(); ++i)
                connect(made[i], &QObject::destroyed, this, [&deleted, i] { deleted.append(i); });
        }
        QCOMPARE(deleted, (QVector<int>{4, 3, 2, 1, 0}));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
