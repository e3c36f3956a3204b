#ifndef BOXMERE_DUPLICATESEARCH_H
#define BOXMERE_DUPLICATESEARCH_H

#include "ui/workercontroller.h"

#include <QStringList>

#include <memory>

class ImageFilter;
class ImageList;

// Looks for near-duplicate pictures among the image list's rows, and between them and
// the pictures of the data set's other splits, on worker threads; the groups go to the
// ImageFilter's near-duplicate filter. QML sees the app's instance as the singleton
// DuplicateSearch.
class DuplicateSearch : public WorkerController
{
    Q_OBJECT
    Q_PROPERTY(bool searched READ searched NOTIFY resultChanged)
    // "12 images in 5 groups of near-duplicates"; "" before a search.
    Q_PROPERTY(QString message READ message NOTIFY resultChanged)
    // The first picture with a near-duplicate in another split, and how many more; "" for none.
    Q_PROPERTY(QString leakMessage READ leakMessage NOTIFY resultChanged)
    Q_PROPERTY(QStringList leaks READ leaks NOTIFY resultChanged)

public:
    DuplicateSearch(ImageList *list, ImageFilter *filter);
    ~DuplicateSearch() override;

    bool busy() const override { return bool(m_job); }
    bool searched() const { return m_searched; }
    QString message() const { return m_message; }
    QString leakMessage() const;
    QStringList leaks() const { return m_leaks; }

Q_SIGNALS:
    void resultChanged();

public Q_SLOTS:
    // Starts a search over the rows as they are now; one still running is stopped first.
    void find();
    void cancel();
    // Forgets the result, e.g. when the list is loaded anew.
    void clear();

private:
    struct Job;
    void finish();
    void stopJob();

    ImageList *m_list;
    ImageFilter *m_filter;
    std::unique_ptr<Job> m_job;
    bool m_searched = false;
    QString m_message;
    QStringList m_leaks;
};

#endif
