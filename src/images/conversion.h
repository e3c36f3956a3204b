#ifndef BOXMERE_CONVERSION_H
#define BOXMERE_CONVERSION_H

#include "progresswatch.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// The window's conversions of whole sets: COCO import, JSON load and export, YOLO
// export. Each reads and writes files on a worker thread, so that the window can
// show its progress, and ends with a message of what was read or written, or of
// what failed. QML sees it as the singleton Conversion of Boxmere 1.0.
class Conversion : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(bool showProgress READ showProgress NOTIFY busyChanged)
    Q_PROPERTY(int done READ done NOTIFY progressChanged)
    Q_PROPERTY(int total READ total NOTIFY progressChanged)
    Q_PROPERTY(QString message READ message NOTIFY finished)
    Q_PROPERTY(bool failed READ failed NOTIFY finished)

public:
    ~Conversion() override;

    static Conversion *instance();
    // Allocates the object and registers it with QML; true when it allocated one.
    static bool createInstance();

    bool busy() const { return bool(m_job); }
    bool showProgress() const { return m_progress.shown(); }
    int done() const { return m_progress.done(); }
    int total() const { return m_progress.total(); }
    QString message() const { return m_message; }
    bool failed() const { return m_failed; }

    // Blocks until the running conversion, if any, has ended and reported.
    void wait();

Q_SIGNALS:
    void busyChanged();
    void progressChanged();
    // A conversion ended; message says what it read or wrote, or what failed.
    void finished(bool ok, const QString &message);

public Q_SLOTS:
    // Replaces the image list with the category-1 boxes of a standard COCO file, as
    // ImageList::loadCocoJson(file, file) does; a file that cannot be read or parsed
    // leaves the list as it was.
    void importCoco(const QString &file);
    // Appends the images of an image-list JSON document, as ImageList::loadJson does.
    void loadJson(const QString &file);
    void exportJson(const QString &file);
    // Writes one label file per row into dir, as ImageList::exportYolo does.
    void exportYolo(const QString &dir);

private:
    struct Job;

    Conversion();
    // Runs work on a worker thread, then apply on this thread; false when one is running.
    bool start(std::function<void(Job &)> work, std::function<void(Job &)> apply);
    void finish();

    std::unique_ptr<Job> m_job;
    ProgressWatch m_progress;
    QString m_message;
    bool m_failed = false;

    static Conversion *s_instance;
};

#endif
