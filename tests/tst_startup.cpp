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
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("expectedLog");
        QTest::newRow("loads and quits") << "quits.qml" << QStringList() << QByteArray() << 0
                                         << "rows 0 title started start   \n";
        QTest::newRow("type error") << "broken.qml" << QStringList() << QByteArray() << 255 << "NoSuchType";
        QTest::newRow("folder argument") << "quits.qml" << QStringList{TEST_DATA_DIR} << QByteArray() << 0
                                         << "start " TEST_DATA_DIR "  \n";
        QTest::newRow("predictions argument") << "quits.qml" << QStringList{TEST_DATA_DIR, "--predictions", "/p.json"}
                                              << QByteArray() << 0 << "start " TEST_DATA_DIR "  /p.json\n";
        QTest::newRow("last data set") << "quits.qml" << QStringList()
                                       << QByteArray("lastDataset=" TEST_DATA_DIR
                                                     "\nlastImages=/pictures\nlastPredictions=/p")
                                       << 0 << "start " TEST_DATA_DIR " /pictures /p\n";
        QTest::newRow("last data set gone") << "quits.qml" << QStringList() << QByteArray("lastDataset=/gone") << 0
                                            << "The data set opened last, /gone, is gone";
    }

    void exitCode()
    {
        QFETCH(QString, mainFile);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, settings);
        QFETCH(int, exitCode);
        QFETCH(QString, expectedLog);
        // Never the user's own settings.
        QTemporaryDir config;
        QVERIFY(QDir().mkpath(config.filePath("Ordavi")));
        QFile file(config.filePath("Ordavi/Boxmere.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[General]\n" + settings) >= 0);
        file.close();
        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        probe.setProcessEnvironment(env);
        probe.start(QStringLiteral(STARTUP_PROBE),
                    QStringList{QStringLiteral(TEST_DATA_DIR "/") + mainFile} + arguments);
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
