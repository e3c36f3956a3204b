#include "datasetloader.h"

#include "app/logging.h"
#include "checks/datasetcheck.h"
#include "checks/labelcheck.h"
#include "formats/cocoimport.h"
#include "formats/datasetsplits.h"
#include "formats/fileio.h"
#include "formats/imagefolder.h"
#include "images/imagelist.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSettings>

#include <algorithm>
#include <cmath>

namespace {

// Distinct colours that stay readable over photographs; none of them is black, the
// colour of boxes whose class is not in the list.
const char *const Palette[] = {"#e6194b", "#3cb44b", "#ffe119", "#4363d8", "#f58231", "#911eb4", "#42d4f4",
                               "#f032e6", "#bfef45", "#fabed4", "#469990", "#dcbeff", "#9a6324", "#fffac8",
                               "#800000", "#aaffc3", "#808000", "#ffd8b1", "#000075", "#a9a9a9"};

constexpr int PaletteSize = int(sizeof(Palette) / sizeof(Palette[0]));

QVariantMap category(int id, const QString &name, const QString &shortcut, const QString &color)
{
    return {{QStringLiteral("catId"), id},
            {QStringLiteral("catName"), name},
            {QStringLiteral("catShortcut"), shortcut},
            {QStringLiteral("catColor"), color}};
}

QVariantList defaultCategories()
{
    return {category(1, QStringLiteral("People"), QStringLiteral("1"), QStringLiteral("blue"))};
}

bool isDir(const QString &path)
{
    return QFileInfo(path).isDir();
}

const QString ClassFilesKey = QStringLiteral("classFiles");
const QString LastDatasetKey = QStringLiteral("lastDataset");
const QString LastLabelsKey = QStringLiteral("lastLabels");
const QString LastImagesKey = QStringLiteral("lastImages");
const QString LastPredictionsKey = QStringLiteral("lastPredictions");

// The splits of one data set share their class file, and so the choice of it.
QString datasetKey(const QString &txtPath)
{
    const QFileInfo labels(QDir::cleanPath(QDir(txtPath).absolutePath()));
    const QFileInfo parent(labels.absolutePath());
    if (labels.fileName() == QLatin1String("labels"))
        return parent.filePath();
    if (parent.fileName() == QLatin1String("labels"))
        return parent.absolutePath();
    return labels.filePath();
}

} // namespace

struct DatasetLoader::Job
{
    YoloFolder::Progress progress;
    ClassFile::Classes classes;
    YoloFolder::Scan scan;
    int unknownClassBoxes = 0;
    // Per file of the scan, the predictions of the same base name.
    QVector<QVector<Prediction>> predictions;
    int predictionFiles = -1;
    int predictionsWithoutImage = 0;
    int unreadablePredictionFiles = 0;
    int badPredictionLines = 0;
    bool resultsFile = false;
    QString predictionError;
    QSet<int> known; // the class numbers the boxes were checked against
    QString txtPath;
    QString imagePath;
    QString predictionPath;
    QString notice;
    bool unlistable = false;
};

DatasetLoader::DatasetLoader(ImageList *list) : m_list(list), m_categories(defaultCategories()) {}

DatasetLoader::~DatasetLoader()
{
    stopJob();
}

QString DatasetLoader::categoryColor(int index)
{
    if (index < PaletteSize)
        return QLatin1String(Palette[index]);
    // Steps of the golden angle put neighbours far apart on the hue circle and fill it
    // evenly; saturation and lightness take turns so that the hues that come back
    // still differ. No lightness is dark enough to pass for black.
    const int step = index - PaletteSize;
    const qreal hue = std::fmod(step * 137.508 + 15, 360.0) / 360.0;
    const qreal saturation = step % 2 == 0 ? 0.85 : 0.65;
    const qreal lightness = step % 3 == 0 ? 0.5 : step % 3 == 1 ? 0.38 : 0.68;
    return QColor::fromHslF(hue, saturation, lightness).name();
}

QVariantList DatasetLoader::categoriesFor(const QVector<ClassFile::ClassName> &names)
{
    QVariantList list;
    list.reserve(names.size());
    for (int i = 0; i < names.size(); ++i) {
        const QString shortcut = i < 9 ? QString::number(i + 1) : i == 9 ? QStringLiteral("0") : QString();
        const QString name = names.at(i).name.isEmpty() ? QString::number(names.at(i).id) : names.at(i).name;
        list.append(category(names.at(i).id, name, shortcut, categoryColor(i)));
    }
    return list;
}

void DatasetLoader::load(const QString &txtPath, const QString &imagePath, const QString &predictionPath)
{
    stopJob();
    m_job = std::make_unique<Job>();
    Job *job = m_job.get();
    job->txtPath = txtPath;
    job->imagePath = imagePath;
    job->predictionPath = predictionPath;
    const QString chosen = QSettings().value(ClassFilesKey).toMap().value(datasetKey(txtPath)).toString();
    auto work = [job, txtPath, imagePath, chosen] {
        // A folder that cannot be listed would read as one without label files.
        job->unlistable = !isDir(txtPath) || !QDir(txtPath).isReadable();
        if (job->unlistable)
            return;
        QString classPath = chosen;
        if (!chosen.isEmpty() && !QFileInfo(chosen).isFile()) {
            job->notice = tr("The class file %1 chosen for this data set is gone").arg(chosen);
            classPath.clear();
        }
        if (classPath.isEmpty())
            classPath = ClassFile::find(txtPath, &job->classes.candidates);
        // A class file kept among the label files is not a label file.
        QString skip;
        if (!classPath.isEmpty()) {
            job->classes = ClassFile::read(classPath);
            const QFileInfo info(classPath);
            if (info.absoluteDir() == QDir(txtPath))
                skip = info.fileName();
        }
        job->scan = YoloFolder::scan(txtPath, imagePath, &job->progress, skip, true);
        // Pictures nobody labelled yet are rows too, to be found and labelled.
        YoloFolder::addUnlabelledImages(job->scan, txtPath);

        QSet<int> &known = job->known;
        known = DatasetCheck::classIds(job->classes.names);
        if (job->classes.names.isEmpty())
            known.insert(1);
        DatasetCheck::checkScan(job->scan, &known);
        for (const YoloFolder::LabelFile &file : qAsConst(job->scan.files)) {
            for (const LabelCheck::Problem &problem : file.problems)
                job->unknownClassBoxes += problem.kind == LabelCheck::Kind::UnknownClass ? 1 : 0;
        }
        if (!job->predictionPath.isEmpty())
            attachPredictions(*job);
    };
    start(
        work, [this] { finish(m_job.get()); }, &job->progress.done, &job->progress.total);
}

void DatasetLoader::attachPredictions(Job &job)
{
    const QFileInfo source(job.predictionPath);
    if (source.isFile()) {
        attachResults(job);
        return;
    }
    // A folder that is not there would read as one without predictions.
    if (!source.isDir() || !source.isReadable()) {
        job.predictionError = tr("%1 is neither a folder of prediction files nor a COCO results file")
                                  .arg(QDir::toNativeSeparators(job.predictionPath));
        return;
    }
    QVector<YoloFolder::PredictionFile> files = YoloFolder::readPredictionFolder(job.predictionPath);
    QHash<QString, int> byBase;
    byBase.reserve(job.scan.files.size());
    for (int i = 0; i < job.scan.files.size(); ++i)
        byBase.insert(job.scan.files.at(i).baseName, i);
    job.predictions.resize(job.scan.files.size());
    job.predictionFiles = files.size();
    for (YoloFolder::PredictionFile &file : files) {
        job.unreadablePredictionFiles += file.unreadable ? 1 : 0;
        job.badPredictionLines += file.badLines;
        const int row = byBase.value(file.baseName, -1);
        if (row < 0)
            ++job.predictionsWithoutImage;
        else
            job.predictions[row] = std::move(file.predictions);
    }
}

void DatasetLoader::attachResults(Job &job)
{
    job.resultsFile = true;
    const QString path = QDir::toNativeSeparators(job.predictionPath);
    QByteArray bytes;
    if (!FileIo::readFile(job.predictionPath, bytes, CocoImport::padding())) {
        job.predictionError = tr("Could not read %1").arg(path);
        return;
    }
    QVector<CocoImport::Result> results;
    if (const int error = CocoImport::parseResults(bytes, results, &job.badPredictionLines)) {
        job.predictionError = tr("%1 is not a COCO results file (parser error %2)").arg(path).arg(error);
        return;
    }
    // Rows have no COCO ids: results find them by the picture's name.
    QHash<QString, int> byName;
    for (int i = 0; i < job.scan.files.size(); ++i) {
        for (const QString &name : CocoImport::resultNames(job.scan.files.at(i).baseName))
            byName.insert(name, i);
    }
    job.predictions.resize(job.scan.files.size());
    job.predictionFiles = 0;
    // Boxes are in pixels: only the pictures that have results are measured.
    QHash<int, QSize> sizes;
    for (const CocoImport::Result &result : qAsConst(results)) {
        const int row = byName.value(CocoImport::resultName(result), -1);
        QSize size;
        if (row >= 0) {
            auto known = sizes.find(row);
            if (known == sizes.end())
                known = sizes.insert(row, ImageFolder::pictureSize(job.scan.imagePaths.at(row)));
            size = *known;
        }
        if (!size.isValid() || size.isEmpty()) {
            ++job.predictionsWithoutImage;
            continue;
        }
        job.predictions[row].append(CocoImport::toPrediction(result, size.width(), size.height()));
        ++job.predictionFiles;
    }
}

void DatasetLoader::finish(Job *job)
{
    join();
    const bool cancelled = job->progress.cancel.load();
    const bool read = !cancelled && !job->unlistable;
    if (!cancelled)
        m_loadError = read ? QString() : tr("Could not read the folder %1").arg(job->txtPath);
    if (job->unlistable)
        qCWarning(lcLoad, "%s", qUtf8Printable(m_loadError));
    if (read) {
        QSettings settings;
        settings.setValue(LastDatasetKey, datasetKey(job->txtPath));
        settings.setValue(LastLabelsKey, QDir::cleanPath(QDir(job->txtPath).absolutePath()));
        settings.setValue(LastImagesKey, QDir::cleanPath(QDir(job->imagePath).absolutePath()));
        settings.setValue(LastPredictionsKey, job->predictionPath.isEmpty()
                                                  ? QString()
                                                  : QDir::cleanPath(QDir(job->predictionPath).absolutePath()));
        m_labelFolder = job->txtPath;
        m_list->setCheckClasses(&job->known);
        // Rows are in the order of the scan's files; they hold their predictions before
        // the list is reset, so that what reads them on the reset finds them.
        QList<std::shared_ptr<ImageInfo>> rows = ImageList::recordsFromScan(job->scan);
        for (int i = 0; i < job->predictions.size() && i < rows.size(); ++i)
            rows[i]->predictions = std::move(job->predictions[i]);
        m_list->loadImages(std::move(rows), true);
        m_predictionFiles = job->predictionFiles;
        m_predictionsWithoutImage = job->predictionsWithoutImage;
        m_unreadablePredictionFiles = job->unreadablePredictionFiles;
        m_badPredictionLines = job->badPredictionLines;
        m_predictionsFromResults = job->resultsFile;
        m_predictionError = job->predictionError;
        if (!job->predictionError.isEmpty())
            qCWarning(lcLoad, "%s", qUtf8Printable(job->predictionError));
        if (job->resultsFile && job->badPredictionLines > 0)
            qCWarning(lcLoad, "Predictions in %s: %d results without a box left out",
                      qUtf8Printable(job->predictionPath), job->badPredictionLines);
        else if (job->unreadablePredictionFiles > 0 || job->badPredictionLines > 0)
            qCWarning(lcLoad, "Predictions in %s: %d files unreadable, %d lines left out",
                      qUtf8Printable(job->predictionPath), job->unreadablePredictionFiles, job->badPredictionLines);
        m_loaded = true;
        m_labelsWithoutImage = job->scan.labelsWithoutImage;
        m_imagesWithoutLabel = job->scan.imagesWithoutLabel;
        m_unknownClassBoxes = job->unknownClassBoxes;
    }
    const ClassFile::Classes classes = job->classes;
    const QString notice = job->notice;
    m_job.reset();
    stopProgress();
    Q_EMIT busyChanged();
    if (read)
        useClasses(classes, notice);
    if (!cancelled)
        Q_EMIT countsChanged();
    Q_EMIT finished(cancelled);
}

void DatasetLoader::useClasses(const ClassFile::Classes &classes, const QString &notice)
{
    m_categories = classes.names.isEmpty() ? defaultCategories() : categoriesFor(classes.names);
    m_classFile = classes.path;
    m_classError = classes.error;
    m_classCandidates = classes.candidates;
    m_classNotice = notice;
    if (!notice.isEmpty())
        qCWarning(lcLoad, "%s", qUtf8Printable(notice));
    if (!classes.error.isEmpty())
        qCWarning(lcLoad, "Class file %s: %s", qUtf8Printable(classes.path), qUtf8Printable(classes.error));
    Q_EMIT categoriesChanged();
}

void DatasetLoader::cancel()
{
    if (!m_job)
        return;
    m_job->progress.cancel = true;
    finish(m_job.get());
}

void DatasetLoader::stopJob()
{
    if (!m_job)
        return;
    m_job->progress.cancel = true;
    join();
    m_job.reset();
}

QVariantList DatasetLoader::splits(const QString &folder) const
{
    QVariantList list;
    for (const DatasetSplits::Split &split : DatasetSplits::find(folder)) {
        // A folder of pictures alone has nothing to load.
        if (split.labels.isEmpty())
            continue;
        list.append(QVariantMap{{QStringLiteral("name"), split.name},
                                {QStringLiteral("images"), split.images},
                                {QStringLiteral("labels"), split.labels}});
    }
    return list;
}

void DatasetLoader::chooseClassFile(const QString &txtPath, const QString &classFile)
{
    QSettings settings;
    QVariantMap chosen = settings.value(ClassFilesKey).toMap();
    if (classFile.isEmpty())
        chosen.remove(datasetKey(txtPath));
    else
        chosen.insert(datasetKey(txtPath), QFileInfo(classFile).absoluteFilePath());
    settings.setValue(ClassFilesKey, chosen);
}

void DatasetLoader::forgetLoad()
{
    m_loaded = false;
    m_labelsWithoutImage = m_imagesWithoutLabel = m_unknownClassBoxes = 0;
    m_predictionFiles = -1;
    m_predictionsWithoutImage = m_unreadablePredictionFiles = m_badPredictionLines = 0;
    m_predictionsFromResults = false;
    m_predictionError.clear();
    m_loadError.clear();
    Q_EMIT countsChanged();
}

void DatasetLoader::setStartFolder(const QString &folder, const QString &predictions)
{
    m_startPredictions = predictions;
    if (!folder.isEmpty()) {
        m_startFolder = folder;
        return;
    }
    const QSettings settings;
    const QString last = settings.value(LastDatasetKey).toString();
    if (last.isEmpty())
        return;
    if (!QFileInfo(last).isDir()) {
        qCInfo(lcLoad, "The data set opened last, %s, is gone", qUtf8Printable(last));
        return;
    }
    m_startFolder = last;
    // A "Load" may have paired the label folder with pictures kept elsewhere.
    m_startLabels = settings.value(LastLabelsKey).toString();
    m_startImages = settings.value(LastImagesKey).toString();
    if (predictions.isEmpty())
        m_startPredictions = settings.value(LastPredictionsKey).toString();
}
