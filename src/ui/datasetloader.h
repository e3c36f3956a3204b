#ifndef BOXMERE_DATASETLOADER_H
#define BOXMERE_DATASETLOADER_H

#include "formats/classfile.h"
#include "formats/yolofolder.h"
#include "ui/workercontroller.h"

#include <QObject>
#include <QVariantList>

#include <memory>

class ImageList;

// Loads a label folder and its image folder into the ImageList on a worker thread,
// with the class names that apply to it, so that the window stays responsive and a
// load can be cancelled. QML sees the app's instance as the singleton DatasetLoader.
class DatasetLoader : public WorkerController
{
    Q_OBJECT
    Q_PROPERTY(QVariantList categories READ categories NOTIFY categoriesChanged)
    Q_PROPERTY(QString classFile READ classFile NOTIFY categoriesChanged)
    Q_PROPERTY(QString classError READ classError NOTIFY categoriesChanged)
    // The YAML files that could each name the classes, when none was taken for that reason.
    Q_PROPERTY(QStringList classCandidates READ classCandidates NOTIFY categoriesChanged)
    // Why the class file chosen for the data set was not used; "" when it was or there is none.
    Q_PROPERTY(QString classNotice READ classNotice NOTIFY categoriesChanged)
    Q_PROPERTY(bool loaded READ loaded NOTIFY countsChanged)
    Q_PROPERTY(int labelsWithoutImage READ labelsWithoutImage NOTIFY countsChanged)
    Q_PROPERTY(int imagesWithoutLabel READ imagesWithoutLabel NOTIFY countsChanged)
    Q_PROPERTY(int unknownClassBoxes READ unknownClassBoxes NOTIFY countsChanged)
    // The prediction files the last load read, those whose base name no row has, and
    // those it could not read or read only in part; predictionFiles is -1 for a load
    // without a prediction folder.
    Q_PROPERTY(int predictionFiles READ predictionFiles NOTIFY countsChanged)
    Q_PROPERTY(int predictionsWithoutImage READ predictionsWithoutImage NOTIFY countsChanged)
    Q_PROPERTY(int unreadablePredictionFiles READ unreadablePredictionFiles NOTIFY countsChanged)
    Q_PROPERTY(int badPredictionLines READ badPredictionLines NOTIFY countsChanged)
    // Whether the predictions came from a COCO results file, where the counts above are
    // of detections rather than files; and why they could not be read, "" when they were.
    Q_PROPERTY(bool predictionsFromResults READ predictionsFromResults NOTIFY countsChanged)
    Q_PROPERTY(QString predictionError READ predictionError NOTIFY countsChanged)
    // Why the last load read nothing, e.g. a label folder that cannot be listed; "" when it read.
    Q_PROPERTY(QString loadError READ loadError NOTIFY countsChanged)
    // The folder the window opens at start, as "Open dataset…" would; "" for none. When
    // it is the data set of the last session, also that session's label and image
    // folders, so that the same split and pictures come back; else "".
    Q_PROPERTY(QString startFolder READ startFolder CONSTANT)
    Q_PROPERTY(QString startLabels READ startLabels CONSTANT)
    Q_PROPERTY(QString startImages READ startImages CONSTANT)
    Q_PROPERTY(QString startPredictions READ startPredictions CONSTANT)

public:
    explicit DatasetLoader(ImageList *list);
    ~DatasetLoader() override;

    bool busy() const override { return bool(m_job); }
    // One map per category: catId, catName, catShortcut and catColor. Without a
    // class file, the one category "People" (1).
    QVariantList categories() const { return m_categories; }
    QString classFile() const { return m_classFile; }
    QString classError() const { return m_classError; }
    QStringList classCandidates() const { return m_classCandidates; }
    QString classNotice() const { return m_classNotice; }
    bool loaded() const { return m_loaded; }
    int labelsWithoutImage() const { return m_labelsWithoutImage; }
    int imagesWithoutLabel() const { return m_imagesWithoutLabel; }
    int unknownClassBoxes() const { return m_unknownClassBoxes; }
    int predictionFiles() const { return m_predictionFiles; }
    int predictionsWithoutImage() const { return m_predictionsWithoutImage; }
    int unreadablePredictionFiles() const { return m_unreadablePredictionFiles; }
    int badPredictionLines() const { return m_badPredictionLines; }
    bool predictionsFromResults() const { return m_predictionsFromResults; }
    QString predictionError() const { return m_predictionError; }
    QString loadError() const { return m_loadError; }
    // The label folder of the last load that read.
    QString labelFolder() const { return m_labelFolder; }
    QString startFolder() const { return m_startFolder; }
    QString startLabels() const { return m_startLabels; }
    QString startImages() const { return m_startImages; }
    QString startPredictions() const { return m_startPredictions; }
    // Starts with folder, or without one with the data set of the last load that read,
    // kept across sessions (none when there is none or it is gone); with predictions,
    // or without them with those of that last load.
    void setStartFolder(const QString &folder, const QString &predictions = QString());
    // Forgets the figures of the last load, once something else replaced the list.
    void forgetLoad();
    // Shows the categories of classes, e.g. those an imported file brought.
    void useClasses(const ClassFile::Classes &classes, const QString &notice = QString());

    // The category maps for a list of class names: their colours in turn, and the
    // shortcuts "1" to "9" and "0" for the first ten.
    // The colour of the category at index in the list: a fixed palette for the first,
    // then colours made so that neighbours differ clearly; never black.
    static QString categoryColor(int index);
    static QVariantList categoriesFor(const QVector<ClassFile::ClassName> &names);

Q_SIGNALS:
    void categoriesChanged();
    void countsChanged();
    // A load ended: its rows are in the ImageList, or, when cancelled, the list is as it was.
    void finished(bool cancelled);

public Q_SLOTS:
    // Starts loading; a load still running is cancelled first. The prediction files of
    // predictionPath ("" for none) go to the rows of the same base name.
    void load(const QString &txtPath, const QString &imagePath, const QString &predictionPath = QString());
    // Stops the running load; the ImageList keeps its rows.
    void cancel();
    // The splits of a data set folder in the Ultralytics layout: maps with "name",
    // "images" and "labels" for "images/" and "labels/" (name ""), for each pair
    // "images/S" and "labels/S", and for each "S/images" with "S/labels". A folder
    // of none of these that holds label files is one split: itself, with the image
    // folder beside it. Empty otherwise.
    QVariantList splits(const QString &folder) const;
    // Takes classFile as the class file of txtPath's data set (the folder above
    // "labels"), in this and later sessions, in place of the one found; "" forgets it.
    void chooseClassFile(const QString &txtPath, const QString &classFile);

private:
    struct Job;

    void finish(Job *job);
    void stopJob();
    static void attachPredictions(Job &job);
    static void attachResults(Job &job);

    ImageList *m_list;
    std::unique_ptr<Job> m_job;
    QVariantList m_categories;
    QString m_classFile;
    QString m_classError;
    QStringList m_classCandidates;
    QString m_classNotice;
    bool m_loaded = false;
    int m_labelsWithoutImage = 0;
    int m_imagesWithoutLabel = 0;
    int m_unknownClassBoxes = 0;
    int m_predictionFiles = -1;
    int m_predictionsWithoutImage = 0;
    int m_unreadablePredictionFiles = 0;
    int m_badPredictionLines = 0;
    bool m_predictionsFromResults = false;
    QString m_predictionError;
    QString m_loadError;
    QString m_labelFolder;
    QString m_startFolder;
    QString m_startLabels;
    QString m_startImages;
    QString m_startPredictions;
};

#endif
