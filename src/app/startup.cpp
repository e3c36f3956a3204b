#include "startup.h"

#include "ui/appobjects.h"
#include "ui/datasetloader.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
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
    QCoreApplication::setApplicationVersion(QStringLiteral(BOXMERE_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Reviews and corrects object-detection boxes in the YOLO label layout."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("folder"),
        QCoreApplication::translate("main", "A data set folder, its YAML file or a label folder to open; without "
                                            "one, the data set opened last."),
        QStringLiteral("[folder]"));
    const QCommandLineOption predictionsOption(
        QStringLiteral("predictions"),
        QCoreApplication::translate("main", "A model's predictions to hold against the labels: a folder of YOLO "
                                            "prediction files or a COCO results file."),
        QStringLiteral("path"));
    parser.addOption(predictionsOption);
    parser.process(*app);
    QString folder = parser.positionalArguments().value(0);
    QString predictions = parser.value(predictionsOption);
    if (!predictions.isEmpty())
        predictions = QFileInfo(predictions).absoluteFilePath();
    if (!folder.isEmpty()) {
        // A data set's YAML file stands for the folder it lies in.
        const QFileInfo info(folder);
        folder = info.isFile() ? info.absolutePath() : info.absoluteFilePath();
    }

    initResources();
    int result = 0;
    {
        // The engine goes before the objects it refers to.
        AppObjects objects;
        QQmlApplicationEngine engine;
        objects.addTo(&engine);
        objects.datasetLoader()->setStartFolder(folder, predictions);
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
