#ifndef BOXMERE_APPOBJECTS_H
#define BOXMERE_APPOBJECTS_H

#include <QVector>

class Conversion;
class DuplicateSearch;
class DatasetLoader;
class EditSession;
class ImageFilter;
class ImageList;
class PredictionMatcher;
class PredictionMetrics;
class ReviewStatus;
class QObject;
class QQmlEngine;
class Utils;

// The process's objects that the window works with: made in order, each handed the
// ones it works with, and registered with QML as singletons of the module Boxmere
// 1.0. The destructor deletes them in the reverse order; engines that use them must
// be gone by then. One per process, since a registered singleton stays registered.
class AppObjects
{
public:
    AppObjects();
    ~AppObjects();
    AppObjects(const AppObjects &) = delete;
    AppObjects &operator=(const AppObjects &) = delete;

    // Gives the engine what it needs besides the singletons: the thumbnail image provider.
    void addTo(QQmlEngine *engine) const;

    Utils *utils() const { return m_utils; }
    ImageList *imageList() const { return m_imageList; }
    DatasetLoader *datasetLoader() const { return m_datasetLoader; }
    ImageFilter *imageFilter() const { return m_imageFilter; }
    Conversion *conversion() const { return m_conversion; }
    DuplicateSearch *duplicateSearch() const { return m_duplicateSearch; }
    EditSession *editSession() const { return m_editSession; }
    PredictionMatcher *predictionMatcher() const { return m_predictionMatcher; }
    PredictionMetrics *predictionMetrics() const { return m_predictionMetrics; }
    ReviewStatus *reviewStatus() const { return m_reviewStatus; }

private:
    // Registers object with QML under typeName and takes it into the tear-down.
    template <typename T> T *add(const char *typeName, T *object);

    QVector<QObject *> m_owned; // in the order they were made
    Utils *m_utils = nullptr;
    ImageList *m_imageList = nullptr;
    DatasetLoader *m_datasetLoader = nullptr;
    ImageFilter *m_imageFilter = nullptr;
    Conversion *m_conversion = nullptr;
    DuplicateSearch *m_duplicateSearch = nullptr;
    EditSession *m_editSession = nullptr;
    PredictionMatcher *m_predictionMatcher = nullptr;
    PredictionMetrics *m_predictionMetrics = nullptr;
    ReviewStatus *m_reviewStatus = nullptr;
};

#endif
