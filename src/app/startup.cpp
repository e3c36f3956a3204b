#include "startup.h"

#include "images/conversion.h"
#include "images/datasetloader.h"
#include "images/imagefilter.h"
#include "images/imagelist.h"
#include "images/thumbnailprovider.h"
#include "ui/editsession.h"
#include "utils.h"

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

// Made with the other singletons, and deleted before them.
static EditSession *s_session = nullptr;

void registerQmlTypes(QQmlEngine *engine)
{
    static const bool registered = [] {
        initResources();
        return Utils::createInstance() && ImageList::createInstance() && DatasetLoader::createInstance() &&
               ImageFilter::createInstance() && Conversion::createInstance();
    }();
    Q_UNUSED(registered);
    if (!s_session) {
        s_session = new EditSession(ImageList::instance(), ImageFilter::instance());
        auto *loader = DatasetLoader::instance();
        s_session->setCategories(loader->categories());
        QObject::connect(loader, &DatasetLoader::categoriesChanged, s_session,
                         [loader] { s_session->setCategories(loader->categories()); });
        qmlRegisterSingletonInstance("Boxmere", 1, 0, "EditSession", s_session);
    }
    engine->addImageProvider(QLatin1String(ThumbnailProvider::Id), new ThumbnailProvider);
}

void setApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Boxmere"));
    QCoreApplication::setOrganizationName(QStringLiteral("Ordavi"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("ordavi.org"));
}

int runApplication(int &argc, char **argv, const QUrl &mainUrl)
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    setApplicationIdentity();

    auto app = std::make_unique<QGuiApplication>(argc, argv);

    int result = 0;
    {
        QQmlApplicationEngine engine;
        registerQmlTypes(&engine);
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
    // The engine is gone before the singletons it refers to.
    delete s_session;
    s_session = nullptr;
    delete Conversion::instance();
    delete ImageFilter::instance();
    delete DatasetLoader::instance();
    delete ImageList::instance();
    delete Utils::instance();
    return result;
}

} // namespace Boxmere
