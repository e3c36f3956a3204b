#include "duplicatesearch.h"

#include "checks/duplicatefinder.h"
#include "formats/datasetsplits.h"
#include "formats/hashcache.h"
#include "formats/imagefolder.h"
#include "images/imagelist.h"
#include "models/imagefilter.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace {

QString clean(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString images(int n)
{
    return n == 1 ? DuplicateSearch::tr("1 image") : DuplicateSearch::tr("%1 images").arg(n);
}

} // namespace

struct DuplicateSearch::Job
{
    DuplicateFinder::Progress progress;
    QVector<DuplicateFinder::Picture> pictures;
    int rows = 0; // the first pictures are the list's rows
    QString labels;
    QString images;
    DuplicateFinder::Result result;
};

DuplicateSearch::DuplicateSearch(ImageList *list, ImageFilter *filter) : m_list(list), m_filter(filter) {}

DuplicateSearch::~DuplicateSearch()
{
    stopJob();
}

QString DuplicateSearch::leakMessage() const
{
    if (m_leaks.isEmpty())
        return QString();
    if (m_leaks.size() == 1)
        return m_leaks.first();
    return tr("%1 (and %2 more across splits)").arg(m_leaks.first()).arg(m_leaks.size() - 1);
}

void DuplicateSearch::find()
{
    stopJob();
    auto job = std::make_unique<Job>();
    for (const std::shared_ptr<ImageInfo> &image : m_list->images()) {
        job->pictures.append({image->filePath, QString()});
        if (job->labels.isEmpty() && !image->yoloTxtFilePath.isEmpty())
            job->labels = QFileInfo(image->yoloTxtFilePath).absolutePath();
        if (job->images.isEmpty())
            job->images = QFileInfo(image->filePath).absolutePath();
    }
    job->rows = job->pictures.size();
    m_job = std::move(job);
    Job *running = m_job.get();
    auto work = [running] {
        // The other splits of the rows' data set, so that a copy across splits is found.
        const QString dataset = DatasetSplits::datasetOf(running->labels.isEmpty() ? running->images : running->labels);
        QString home;
        QVector<DuplicateFinder::Picture> others;
        for (const DatasetSplits::Split &split : DatasetSplits::find(dataset)) {
            if (clean(split.images) == clean(running->images) ||
                (!running->labels.isEmpty() && clean(split.labels) == clean(running->labels))) {
                home = split.name;
                continue;
            }
            for (const QString &path : ImageFolder(split.images).untakenPaths())
                others.append({path, split.name});
        }
        for (int i = 0; i < running->rows; ++i)
            running->pictures[i].split = home;
        running->pictures += others;
        running->result = DuplicateFinder::find(running->pictures, HashCache::fileFor(dataset), &running->progress);
    };
    start(
        work, [this] { finish(); }, &running->progress.done, &running->progress.total);
}

void DuplicateSearch::finish()
{
    join();
    stopProgress();
    std::unique_ptr<Job> job = std::move(m_job);
    if (!job->result.cancelled) {
        const DuplicateFinder::Result &result = job->result;
        QHash<QString, int> groupOf;
        int shown = 0, groups = 0;
        for (const QVector<int> &group : result.groups) {
            bool inList = false;
            for (int i : group) {
                if (i < job->rows) {
                    groupOf.insert(job->pictures[i].path, groups);
                    inList = true;
                    ++shown;
                }
            }
            groups += inList ? 1 : 0;
        }
        m_leaks.clear();
        for (const DuplicateFinder::Leak &leak : result.leaks) {
            if (leak.picture < job->rows || leak.others.first() < job->rows)
                m_leaks << DuplicateFinder::describe(job->pictures, leak);
        }
        m_message = groups == 0 ? tr("No near-duplicates among %1").arg(images(job->rows))
                                : tr("%1 in %2 of near-duplicates")
                                      .arg(images(shown), groups == 1 ? tr("1 group") : tr("%1 groups").arg(groups));
        m_searched = true;
        m_filter->setDuplicateGroups(groupOf);
        Q_EMIT resultChanged();
    }
    Q_EMIT busyChanged();
}

void DuplicateSearch::cancel()
{
    if (m_job)
        m_job->progress.cancel = true;
}

void DuplicateSearch::clear()
{
    stopJob();
    m_searched = false;
    m_message.clear();
    m_leaks.clear();
    // A filter left on would show an empty grid.
    m_filter->setDuplicateFilter(false);
    m_filter->setDuplicateGroups({}, false);
    Q_EMIT resultChanged();
}

void DuplicateSearch::stopJob()
{
    if (!m_job)
        return;
    m_job->progress.cancel = true;
    join();
    stopProgress();
    m_job.reset();
    Q_EMIT busyChanged();
}
