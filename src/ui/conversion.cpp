#include "conversion.h"

#include "app/logging.h"
#include "checks/datasetcheck.h"
#include "formats/cocoimport.h"
#include "formats/fileio.h"
#include "formats/imagelistjson.h"
#include "formats/yolofolder.h"
#include "images/imagelist.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <algorithm>

struct Conversion::Job
{
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    QList<std::shared_ptr<ImageInfo>> records;
    QVector<std::shared_ptr<ImageInfo>> rows; // the rows an export writes
    QSet<int> classes;
    bool hasClasses = false;
    ClassFile::Classes importedClasses;
    bool ok = false;
    QString message;
    // An import that stopped at RLE masks: the file and how many.
    QString maskFile;
    int rleMasks = 0;
    std::function<void(Job &)> apply;
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

// Rows in the window come in the order people expect of names, whatever the file's order.
void sortByName(QList<std::shared_ptr<ImageInfo>> &records)
{
    QVector<QStringView> names;
    for (const std::shared_ptr<ImageInfo> &image : qAsConst(records))
        names.append(image->fileName);
    QList<std::shared_ptr<ImageInfo>> sorted;
    sorted.reserve(records.size());
    for (const int i : FileIo::naturalOrder(names))
        sorted.append(std::move(records[i]));
    records = std::move(sorted);
}

// A count with its noun, in the singular for one: "1 box", "2 boxes".
QString counted(int n, const char *one, const char *many)
{
    return Conversion::tr(n == 1 ? one : many).arg(n);
}

// Refuses an export of boxes holding numbers that are not finite, which no file may
// be given; true when the export may go on.
bool allFinite(const QVector<std::shared_ptr<ImageInfo>> &rows, QString &message)
{
    const QStringList found = DatasetCheck::nonFiniteBoxes(rows);
    if (found.isEmpty())
        return true;
    message = Conversion::tr("%1 %2 numbers that are not finite (%3 first); nothing written")
                  .arg(counted(found.size(), "%1 box", "%1 boxes"),
                       found.size() == 1 ? Conversion::tr("holds") : Conversion::tr("hold"), found.first());
    return false;
}

} // namespace

Conversion::Conversion(ImageList *list) : m_list(list) {}

Conversion::~Conversion()
{
    // The worker uses the job, which goes before the base class would wait for it.
    join();
}

bool Conversion::run(std::function<void(Job &)> work, std::function<void(Job &)> apply)
{
    if (m_job) {
        qCWarning(lcConvert, "A conversion is running already");
        return false;
    }
    m_job = std::make_unique<Job>();
    Job *job = m_job.get();
    job->apply = std::move(apply);
    if (const QSet<int> *classes = m_list->checkClasses()) {
        job->classes = *classes;
        job->hasClasses = true;
    }
    // Exports read the rows while the window waits: it takes no input while busy.
    job->rows = m_list->images();
    start([job, work] { work(*job); }, [this] { finish(); }, &job->done, &job->total);
    return true;
}

void Conversion::finish()
{
    if (!m_job)
        return;
    join();
    std::unique_ptr<Job> job = std::move(m_job);
    if (job->ok && job->apply)
        job->apply(*job);
    stopProgress();
    m_message = job->message;
    m_failed = !job->ok;
    if (m_failed)
        qCWarning(lcConvert, "%s", qUtf8Printable(m_message));
    Q_EMIT busyChanged();
    Q_EMIT finished(job->ok, m_message);
    if (job->rleMasks > 0)
        Q_EMIT rleMasksFound(job->maskFile, job->rleMasks);
}

void Conversion::wait()
{
    if (m_job)
        finish();
}

void Conversion::importCoco(const QString &file, bool skipRle)
{
    run(
        [file, skipRle](Job &job) {
            QByteArray bytes;
            if (!FileIo::readFile(file, bytes, CocoImport::padding())) {
                job.message = tr("Could not read %1").arg(file);
                return;
            }
            CocoImport::Contents contents;
            contents.allCategories = true;
            if (const int error = CocoImport::parse(bytes, true, true, contents)) {
                job.message = tr("%1 is not a COCO file (parser error %2)").arg(file).arg(error);
                return;
            }
            if (contents.rleMasks > 0 && !skipRle) {
                job.maskFile = file;
                job.rleMasks = contents.rleMasks;
                job.message = tr("%1 annotations of %2 are RLE masks, which are not supported; nothing imported")
                                  .arg(contents.rleMasks)
                                  .arg(QFileInfo(file).fileName());
                return;
            }
            int unsized = 0;
            job.records = CocoImport::buildAll(contents, QFileInfo(file).absolutePath(), &unsized);
            sortByName(job.records);
            job.importedClasses = {file, QString(), contents.categories, {}};
            job.classes = DatasetCheck::classIds(contents.categories);
            if (contents.categories.isEmpty())
                job.classes.insert(1);
            DatasetCheck::checkRecords(job.records, &job.classes);
            moveToGuiThread(job.records);
            job.ok = true;
            job.message = tr("Imported %1 with %2 of %3 from %4")
                              .arg(counted(job.records.size(), "%1 image", "%1 images"),
                                   counted(boxCount(job.records), "%1 box", "%1 boxes"),
                                   counted(contents.categories.size(), "%1 category", "%1 categories"),
                                   QFileInfo(file).fileName());
            if (unsized > 0)
                job.message += tr("; left out %1 of images without a size").arg(counted(unsized, "%1 box", "%1 boxes"));
            if (contents.rleMasks > 0)
                job.message += tr("; left out %1, which Boxmere does not support")
                                   .arg(counted(contents.rleMasks, "%1 RLE mask", "%1 RLE masks"));
            if (contents.oddPolygons > 0)
                job.message += tr("; left out %1 of an odd number of coordinates")
                                   .arg(counted(contents.oddPolygons, "%1 polygon", "%1 polygons"));
        },
        [this](Job &job) {
            m_list->setCheckClasses(&job.classes);
            m_list->loadImages(job.records, true);
            qCDebug(lcLoad, "Loaded %d images", m_list->rowCount());
            m_classes = job.importedClasses;
            Q_EMIT listReplaced();
            Q_EMIT classesChanged();
            Q_EMIT m_list->readFileCompleted();
        });
}

void Conversion::loadJson(const QString &file)
{
    run(
        [file](Job &job) {
            QByteArray bytes;
            if (!FileIo::readFile(file, bytes, ImageListJson::padding())) {
                job.message = tr("Could not read %1").arg(file);
                return;
            }
            QString error;
            job.records = ImageListJson::read(bytes, &error);
            if (!error.isEmpty()) {
                job.message = tr("%1 is not an image list: %2").arg(file, error);
                return;
            }
            sortByName(job.records);
            DatasetCheck::checkRecords(job.records, job.hasClasses ? &job.classes : nullptr);
            moveToGuiThread(job.records);
            job.ok = true;
            job.message = tr("Loaded %1 with %2 from %3")
                              .arg(counted(job.records.size(), "%1 image", "%1 images"),
                                   counted(boxCount(job.records), "%1 box", "%1 boxes"), QFileInfo(file).fileName());
        },
        [this](Job &job) { m_list->loadImages(job.records, false); });
}

void Conversion::exportJson(const QString &file)
{
    run(
        [file](Job &job) {
            if (!allFinite(job.rows, job.message))
                return;
            const QList<std::shared_ptr<ImageInfo>> rows(job.rows.begin(), job.rows.end());
            job.ok = FileIo::writeFile(file, ImageListJson::write(job.rows));
            job.message = job.ok ? tr("Wrote %1 with %2 to %3")
                                       .arg(counted(rows.size(), "%1 image", "%1 images"),
                                            counted(boxCount(rows), "%1 box", "%1 boxes"), QFileInfo(file).fileName())
                                 : tr("Could not write %1").arg(file);
        },
        nullptr);
}

void Conversion::clearMessage()
{
    if (m_message.isEmpty() && !m_failed)
        return;
    m_message.clear();
    m_failed = false;
    Q_EMIT finished(true, m_message);
}

void Conversion::showReport(bool written, const QString &file, int images)
{
    m_message = written ? tr("Wrote a review report of %1 to %2").arg(counted(images, "%1 image", "%1 images"), file)
                        : tr("Could not write %1").arg(file);
    m_failed = !written;
    Q_EMIT finished(written, m_message);
}

int Conversion::labelFilesToReplace(const QString &dir) const
{
    return YoloFolder::checkExport(dir, m_list->images(), true).replaced;
}

void Conversion::exportYolo(const QString &dir)
{
    run(
        [dir](Job &job) {
            if (!QFileInfo(dir).isDir()) {
                job.message = tr("%1 is not a folder").arg(dir);
                return;
            }
            if (!allFinite(job.rows, job.message))
                return;
            if (const QStringList found = DatasetCheck::shortPolygons(job.rows); !found.isEmpty()) {
                job.message = tr("%1 fewer than 3 points, which a label file cannot hold (%2 first); nothing written")
                                  .arg(counted(found.size(), "%1 polygon has", "%1 polygons have"), found.first());
                return;
            }
            // A label file that held lines not read whole, or could not be read, would
            // come out changed anywhere.
            const YoloFolder::ExportCheck check = YoloFolder::checkExport(dir, job.rows, true);
            const QVector<std::shared_ptr<ImageInfo>> &rows = check.rows;
            const int shared = check.sharedNames.size();
            const int kept = check.partlyRead.size();
            job.total = rows.size();
            const int written = YoloFolder::exportTo(dir, rows, &job.done);
            job.ok = written == rows.size();
            job.message = job.ok ? tr("Wrote %1 to %2").arg(counted(written, "%1 label file", "%1 label files"), dir)
                                 : tr("Wrote only %1 of %2 to %3")
                                       .arg(written)
                                       .arg(counted(rows.size(), "%1 label file", "%1 label files"), dir);
            if (check.replaced > 0)
                job.message += tr("; replaced %1")
                                   .arg(counted(check.replaced, "%1 existing label file", "%1 existing label files"));
            if (shared > 0)
                job.message += tr("; %1 a name with an earlier row and replaced its file")
                                   .arg(counted(shared, "%1 of them shares", "%1 of them share"));
            if (kept > 0)
                job.message += tr("; left out %1 Boxmere cannot write back unchanged, or could not be read")
                                   .arg(counted(kept, "%1 image whose label file holds lines",
                                                "%1 images whose label files hold lines"));
        },
        nullptr);
}
