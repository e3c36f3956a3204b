#include "conversion.h"

#include "app/utils.h"
#include "cocoimport.h"
#include "datasetcheck.h"
#include "imagelist.h"
#include "imagelistjson.h"
#include "yolofolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QQmlEngine>
#include <QSet>
#include <QThread>

Conversion *Conversion::s_instance = nullptr;

struct Conversion::Job
{
    int generation = 0;
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    QList<std::shared_ptr<ImageInfo>> records;
    QVector<std::shared_ptr<ImageInfo>> rows; // the rows an export writes
    QSet<int> classes;
    bool hasClasses = false;
    bool ok = false;
    QString message;
    std::function<void(Job &)> apply;
    std::thread thread;
};

namespace {

int boxCount(const QList<std::shared_ptr<ImageInfo>> &records)
{
    int boxes = 0;
    for (const std::shared_ptr<ImageInfo> &image : records)
        boxes += image->bboxes ? image->bboxes->rowCount() : 0;
    return boxes;
}

// Box lists made on a worker thread must live on the GUI thread, where QML uses them.
void moveToGuiThread(const QList<std::shared_ptr<ImageInfo>> &records)
{
    QThread *gui = QCoreApplication::instance()->thread();
    for (const std::shared_ptr<ImageInfo> &image : records) {
        if (image->bboxes)
            image->bboxes->moveToThread(gui);
    }
}

} // namespace

Conversion::Conversion() : QObject(nullptr)
{
    s_instance = this;
    connect(&m_progress, &ProgressWatch::progressChanged, this, &Conversion::progressChanged);
    connect(&m_progress, &ProgressWatch::shownChanged, this, &Conversion::busyChanged);
}

Conversion::~Conversion()
{
    if (m_job && m_job->thread.joinable())
        m_job->thread.join();
    s_instance = nullptr;
}

Conversion *Conversion::instance()
{
    if (!s_instance)
        createInstance();
    return s_instance;
}

bool Conversion::createInstance()
{
    auto *conversion = new Conversion;
    qmlRegisterSingletonInstance("Boxmere", 1, 0, "Conversion", conversion);
    return conversion != nullptr;
}

bool Conversion::start(std::function<void(Job &)> work, std::function<void(Job &)> apply)
{
    if (m_job) {
        qWarning("A conversion is running already");
        return false;
    }
    static int generations = 0;
    m_job = std::make_unique<Job>();
    Job *job = m_job.get();
    job->generation = ++generations;
    job->apply = std::move(apply);
    if (const QSet<int> *classes = ImageList::instance()->checkClasses()) {
        job->classes = *classes;
        job->hasClasses = true;
    }
    // Exports read the rows while the window waits: it takes no input while busy.
    job->rows = ImageList::instance()->images();
    job->thread = std::thread([this, job, work] {
        work(*job);
        const int generation = job->generation;
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                // wait() may have finished this job already, and another may run.
                if (m_job && m_job->generation == generation)
                    finish();
            },
            Qt::QueuedConnection);
    });
    m_progress.start(&job->done, &job->total);
    Q_EMIT busyChanged();
    return true;
}

void Conversion::finish()
{
    if (!m_job)
        return;
    if (m_job->thread.joinable())
        m_job->thread.join();
    std::unique_ptr<Job> job = std::move(m_job);
    if (job->ok && job->apply)
        job->apply(*job);
    m_progress.stop();
    m_message = job->message;
    m_failed = !job->ok;
    if (m_failed)
        qWarning("%s", qUtf8Printable(m_message));
    Q_EMIT busyChanged();
    Q_EMIT finished(job->ok, m_message);
}

void Conversion::wait()
{
    if (m_job)
        finish();
}

void Conversion::importCoco(const QString &file)
{
    start(
        [file](Job &job) {
            CocoImport::LoadReport report;
            job.records = CocoImport::load(file, file, QString(), &report);
            if (!report.read) {
                job.message = tr("Could not read %1").arg(file);
                return;
            }
            if (report.error) {
                job.message = tr("%1 is not a COCO file (parser error %2)").arg(file).arg(report.error);
                return;
            }
            DatasetCheck::checkRecords(job.records, job.hasClasses ? &job.classes : nullptr);
            moveToGuiThread(job.records);
            job.ok = true;
            job.message = tr("Imported %1 images with %2 boxes of category 1 from %3; the file lists %4 images "
                             "and %5 boxes of category 1")
                              .arg(job.records.size())
                              .arg(boxCount(job.records))
                              .arg(QFileInfo(file).fileName())
                              .arg(report.imagesInFile)
                              .arg(report.boxesInFile);
        },
        [](Job &job) {
            ImageList *list = ImageList::instance();
            list->loadImages(job.records, true);
            qDebug("Loaded %d images", list->rowCount());
            Q_EMIT list->readFileCompleted();
        });
}

void Conversion::loadJson(const QString &file)
{
    start(
        [file](Job &job) {
            QByteArray bytes;
            if (!Utils::instance()->readFile(file, bytes)) {
                job.message = tr("Could not read %1").arg(file);
                return;
            }
            QString error;
            job.records = ImageListJson::read(bytes, &error);
            if (!error.isEmpty()) {
                job.message = tr("%1 is not an image list: %2").arg(file, error);
                return;
            }
            DatasetCheck::checkRecords(job.records, job.hasClasses ? &job.classes : nullptr);
            moveToGuiThread(job.records);
            job.ok = true;
            job.message = tr("Loaded %1 images with %2 boxes from %3")
                              .arg(job.records.size())
                              .arg(boxCount(job.records))
                              .arg(QFileInfo(file).fileName());
        },
        [](Job &job) { ImageList::instance()->loadImages(job.records, false); });
}

void Conversion::exportJson(const QString &file)
{
    start(
        [file](Job &job) {
            const QList<std::shared_ptr<ImageInfo>> rows(job.rows.begin(), job.rows.end());
            job.ok = Utils::instance()->writeFile(file, ImageListJson::write(job.rows));
            job.message = job.ok ? tr("Wrote %1 images with %2 boxes to %3")
                                       .arg(rows.size())
                                       .arg(boxCount(rows))
                                       .arg(QFileInfo(file).fileName())
                                 : tr("Could not write %1").arg(file);
        },
        nullptr);
}

void Conversion::exportYolo(const QString &dir)
{
    start(
        [dir](Job &job) {
            if (!QFileInfo(dir).isDir()) {
                job.message = tr("%1 is not a folder").arg(dir);
                return;
            }
            // A row's own label file with lines it could not read whole would lose them.
            QVector<std::shared_ptr<ImageInfo>> rows;
            QSet<QString> names;
            int kept = 0;
            for (const std::shared_ptr<ImageInfo> &image : qAsConst(job.rows)) {
                const QString name = YoloFolder::exportFileName(*image);
                const bool own = !image->yoloTxtFilePath.isEmpty() &&
                                 QFileInfo(QDir(dir).filePath(name)) == QFileInfo(image->yoloTxtFilePath);
                if (own && image->bboxes && !image->bboxes->lastReadWhole()) {
                    ++kept;
                    continue;
                }
                names.insert(name);
                rows.append(image);
            }
            job.total = rows.size();
            const int written = YoloFolder::exportTo(dir, rows, &job.done);
            const int shared = rows.size() - names.size();
            job.ok = written == rows.size();
            job.message = job.ok ? tr("Wrote %1 label files to %2").arg(written).arg(dir)
                                 : tr("Wrote only %1 of %2 label files to %3").arg(written).arg(rows.size()).arg(dir);
            if (shared > 0)
                job.message += tr("; %1 of them share a name with an earlier row and replaced its file").arg(shared);
            if (kept > 0)
                job.message += tr("; kept %1 label files that hold lines Boxmere cannot write back").arg(kept);
        },
        nullptr);
}
