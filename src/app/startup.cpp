#include "startup.h"

#include "ui/appobjects.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <qqml.h>

#include <memory>

// Resources of a static library are not registered by themselves.
static void initResources()
{
    Q_INIT_RESOURCE(qml);
}

namespace Boxmere {

void registerQmlTypes(QQmlEngine *engine)
{
    // Made once and kept until the process ends: the QML tests run one engine each.
    static const AppObjects *const objects = [] {
        initResources();
        return new AppObjects;
    }();
    objects->addTo(engine);
}

int runApplication(int &argc, char **argv, const QUrl &mainUrl)
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    setApplicationIdentity();

    auto app = std::make_unique<QGuiApplication>(argc, argv);

    initResources();
    int result = 0;
    {
        // The engine goes before the objects it refers to.
        AppObjects objects;
        QQmlApplicationEngine engine;
        objects.addTo(&engine);
        QObject::connect(
            &engine, &QQmlApplicationEngine::objectCreated, app.get(),
            [mainUrl](QObject *object, const QUrl &url) {
                if (!object && url == mainUrl)
                    QCoreApplication::exit(-1);
            },
            Qt::QueuedConnection);
        engine.load(mainUrl);
        result = app->exec();
    }
    return result;
}

} // namespace Boxmere
