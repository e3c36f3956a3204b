#include "appobjects.h"

#include "app/utils.h"
#include "images/imagelist.h"
#include "models/classpickermodel.h"
#include "models/imagefilter.h"
#include "models/predictionmatcher.h"
#include "models/predictionmetrics.h"
#include "models/reviewstatus.h"
#include "ui/conversion.h"
#include "ui/datasetloader.h"
#include "ui/duplicatesearch.h"
#include "ui/editsession.h"
#include "ui/polygonitem.h"
#include "ui/thumbnailprovider.h"

#include <QQmlEngine>

#include <algorithm>

AppObjects::AppObjects()
{
    // Utils and ImageList register themselves when first made.
    m_utils = Utils::instance();
    m_owned.append(m_utils);
    m_imageList = ImageList::instance();
    m_owned.append(m_imageList);

    // The window's own objects, each after the ones it is handed. A new one goes here,
    // and gets a member and an accessor.
    m_datasetLoader = add("DatasetLoader", new DatasetLoader(m_imageList));
    // Ahead of the filter, so that a new list has its statuses before the filter reads them.
    m_reviewStatus = add("ReviewStatus", new ReviewStatus(m_imageList));
    m_predictionMatcher = add("PredictionMatcher", new PredictionMatcher(m_imageList));
    m_imageFilter = add("ImageFilter", new ImageFilter(m_imageList, m_predictionMatcher));
    m_predictionMetrics = add("PredictionMetrics", new PredictionMetrics(m_imageList, m_predictionMatcher));
    m_conversion = add("Conversion", new Conversion(m_imageList));
    m_duplicateSearch = add("DuplicateSearch", new DuplicateSearch(m_imageList, m_imageFilter));
    // A search describes the rows it looked at: a new load forgets it.
    QObject::connect(m_imageList, &QAbstractItemModel::modelReset, m_duplicateSearch, &DuplicateSearch::clear);
    m_editSession = add("EditSession", new EditSession(m_imageList, m_imageFilter, m_predictionMatcher));
    m_editSession->setCategories(m_datasetLoader->categories());
    m_imageFilter->setReviewStatus(m_reviewStatus);
    QObject::connect(m_datasetLoader, &DatasetLoader::finished, m_reviewStatus, [this](bool cancelled) {
        if (cancelled || !m_datasetLoader->loadError().isEmpty())
            return;
        m_reviewStatus->open(m_datasetLoader->labelFolder());
        m_imageFilter->useSortOf(m_reviewStatus->folder());
    });
    QObject::connect(m_conversion, &Conversion::classesChanged, m_datasetLoader,
                     [this] { m_datasetLoader->useClasses(m_conversion->classes()); });
    // The message lines speak of the list as it is: each replacement drops the other's figures.
    QObject::connect(m_conversion, &Conversion::listReplaced, m_datasetLoader, &DatasetLoader::forgetLoad);
    QObject::connect(m_datasetLoader, &DatasetLoader::finished, m_conversion, [this](bool cancelled) {
        if (!cancelled)
            m_conversion->clearMessage();
    });
    QObject::connect(m_datasetLoader, &DatasetLoader::categoriesChanged, m_editSession,
                     [this] { m_editSession->setCategories(m_datasetLoader->categories()); });
    // Each class picker keeps a list of its own.
    qmlRegisterType<ClassPickerModel>("Boxmere", 1, 0, "ClassPickerModel");
    qmlRegisterType<PolygonItem>("Boxmere", 1, 0, "PolygonItem");
}

AppObjects::~AppObjects()
{
    std::for_each(m_owned.rbegin(), m_owned.rend(), [](QObject *object) { delete object; });
}

template <typename T> T *AppObjects::add(const char *typeName, T *object)
{
    qmlRegisterSingletonInstance("Boxmere", 1, 0, typeName, object);
    m_owned.append(object);
    return object;
}

void AppObjects::addTo(QQmlEngine *engine) const
{
    engine->addImageProvider(QLatin1String(ThumbnailProvider::Id), new ThumbnailProvider);
}
