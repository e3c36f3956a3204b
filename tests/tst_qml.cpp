#include "app/startup.h"

#include <QObject>
#include <QtQuickTest>

// Gives the QML tests the same module the application registers.
class Setup : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void applicationAvailable() { Boxmere::registerQmlTypes(); }
};

QUICK_TEST_MAIN_WITH_SETUP(boxmere, Setup)
#include "tst_qml.moc"
