#include "app/startup.h"
#include "testdata.h"

#include <QObject>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// Gives the QML tests the same module the application registers, and file helpers.
class Setup : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void applicationAvailable() { Boxmere::setApplicationIdentity(); }
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        Boxmere::registerQmlTypes(engine);
        engine->rootContext()->setContextProperty(QStringLiteral("testData"), new TestData(engine));
    }
};

QUICK_TEST_MAIN_WITH_SETUP(boxmere, Setup)
#include "tst_qml.moc"
