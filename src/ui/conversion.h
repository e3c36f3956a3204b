#ifndef BOXMERE_CONVERSION_H
#define BOXMERE_CONVERSION_H

#include "formats/classfile.h"
#include "ui/workercontroller.h"

#include <QObject>

#include <functional>
#include <memory>

class ImageList;

// The window's conversions of whole sets: COCO import, JSON load and export, YOLO
// export. Each reads and writes files on a worker thread, so that the window can
// show its progress, and ends with a message of what was read or written, or of
// what failed. QML sees the app's instance as the singleton Conversion.
class Conversion : public WorkerController
{
    Q_OBJECT
    Q_PROPERTY(QString message READ message NOTIFY finished)
    Q_PROPERTY(bool failed READ failed NOTIFY finished)

public:
    explicit Conversion(ImageList *list);
    ~Conversion() override;

    bool busy() const override { return bool(m_job); }
    QString message() const { return m_message; }
    bool failed() const { return m_failed; }

    // Blocks until the running conversion, if any, has ended and reported.
    void wait();
    // The class names of the last imported COCO file, from its categories.
    const ClassFile::Classes &classes() const { return m_classes; }

    // How many label files an export into dir would replace.
    Q_INVOKABLE int labelFilesToReplace(const QString &dir) const;

Q_SIGNALS:
    // A conversion ended; message says what it read or wrote, or what failed.
    void finished(bool ok, const QString &message);
    // An import brought the class names of its file.
    void classesChanged();
    // An import replaced the list: figures of the folders loaded before are stale.
    void listReplaced();
    // An import stopped, the list unchanged, because the file holds RLE masks, which
    // the list cannot hold: importCoco(file, true) imports the rest without them.
    void rleMasksFound(const QString &file, int masks);

public Q_SLOTS:
    // Replaces the image list with every image and box of a standard COCO file, each
    // box of its category, pictures in the file's folder; a file that cannot be read
    // or parsed leaves the list as it was, and so does one holding RLE masks unless
    // skipRle leaves them out.
    void importCoco(const QString &file, bool skipRle = false);
    // Appends the images of an image-list JSON document, as ImageList::loadJson does.
    void loadJson(const QString &file);
    void exportJson(const QString &file);
    // Writes one label file per row into dir, as ImageList::exportYolo does.
    void exportYolo(const QString &dir);
    // Forgets the last message, e.g. once a load replaced the list it spoke of.
    void clearMessage();
    // Says how the writing of a review report of images to file went.
    void showReport(bool written, const QString &file, int images);

private:
    struct Job;

    // Runs work on a worker thread, then apply on this thread; false when one is running.
    bool run(std::function<void(Job &)> work, std::function<void(Job &)> apply);
    void finish();

    ImageList *m_list;
    std::unique_ptr<Job> m_job;
    QString m_message;
    bool m_failed = false;
    ClassFile::Classes m_classes;
};

#endif
