#include "app/startup.h"
#include "testdata.h"

#include <QObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtQuickTest>

// Gives the QML tests the same module the application registers, and file helpers.
class Setup : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void applicationAvailable()
    {
        Boxmere::setApplicationIdentity();
        // Delete moves label files to the trash, which follows this; never the user's own.
        static QTemporaryDir dataHome;
        qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    }
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        Boxmere::registerQmlTypes(engine);
        engine->rootContext()->setContextProperty(QStringLiteral("testData"), new TestData(engine));
    }
};

QUICK_TEST_MAIN_WITH_SETUP(boxmere, Setup)
#include "tst_qml.moc"
