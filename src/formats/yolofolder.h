#ifndef BOXMERE_YOLOFOLDER_H
#define BOXMERE_YOLOFOLDER_H

#include "boxes/prediction.h"
#include "boxes/yololabelfile.h"
#include "checks/labelcheck.h"

#include <QList>
#include <QString>
#include <QVector>

#include <atomic>
#include <memory>

struct ImageInfo;

// Reading a folder of YOLO label files and writing an image list out as one.
namespace YoloFolder {

struct LabelFile
{
    QString baseName;  // the file name without its last dot-suffix
    QString labelPath; // the file itself, or where a picture's label file would go
    YoloLabelFile::ReadResult read;
    bool hasImage = false;
    bool hasLabelFile = true;              // false for a picture that has no label file yet
    QVector<LabelCheck::Problem> problems; // filled by DatasetCheck::checkScan
};

// Shared with a load running on another thread: how far it got, and a request to stop.
struct Progress
{
    std::atomic<int> done{0};  // label files read
    std::atomic<int> total{0}; // label files listed
    std::atomic<bool> cancel{false};
};

// The "*.txt" files directly inside txtPath but the one named skipName, in listing order, each read
// and parsed. Files are read by several threads, since on a cold cache a load waits
// on the disk far more than on the parser; the result does not depend on them.
// When progress asks to cancel, the files not yet read stay empty.
// With byName, the files come in natural name order (FileIo::naturalCompare) instead.
QVector<LabelFile> readLabelFolder(const QString &txtPath, Progress *progress = nullptr,
                                   const QString &skipName = QString(), bool byName = false);

// A detector's prediction file, read only, never written.
struct PredictionFile
{
    QString baseName;
    QString path;
    QVector<Prediction> predictions;
    int badLines = 0; // lines that are no prediction, left out
    bool unreadable = false;
};

// The "*.txt" files directly inside path, in listing order, each read as predictions.
QVector<PredictionFile> readPredictionFolder(const QString &path);

// A label folder read together with its image folder.
struct Scan
{
    QVector<LabelFile> files;
    QVector<QString> imagePaths; // per file: its picture, "<base>.jpg" when none was found
    int labelsWithoutImage = 0;
    int imagesWithoutLabel = 0;   // pictures of any known type whose base has no label file
    QStringList unlabelledImages; // their paths
};

// Reads txtPath (but skipName, e.g. a class file kept among the labels) and lists
// imagePath, at the same time. byName puts the files and the unlabelled images in
// natural name order.
Scan scan(const QString &txtPath, const QString &imagePath, Progress *progress = nullptr,
          const QString &skipName = QString(), bool byName = false);

// Adds a file without boxes for each picture of the scan that has no label file, its
// label path in txtPath, so that such pictures can be found, labelled and saved.
void addUnlabelledImages(Scan &scan, const QString &txtPath);

// The image folder of a label folder: the same path with its last "labels"
// component as "images" when that folder exists, else the label folder itself.
QString imageFolderFor(const QString &labels);

// The label file name an image is exported to: the last component of its image path
// without the last suffix ("x.y.jpg" gives "x.y.txt"), or of its file name when it
// has no image path. Empty when neither gives a name.
QString exportFileName(const ImageInfo &image);

// What an export of images into dir would do to files it cannot write back whole.
struct ExportCheck
{
    // The images to write: all but those whose own label file, read in part, would
    // be written over and lose its other lines.
    QVector<std::shared_ptr<ImageInfo>> rows;
    QStringList partlyRead;  // the label files of the images left out
    QStringList sharedNames; // names that a row writes after an earlier row wrote them
    int replaced = 0;        // files of rows that exist in dir already
};
// With everyPartlyRead, a row whose label file held lines not read whole, or could
// not be read, is left out wherever it would go, not only over its own file.
ExportCheck checkExport(const QString &dir, const QVector<std::shared_ptr<ImageInfo>> &images,
                        bool everyPartlyRead = false);

// Writes one label file per image into dir; a row whose name comes out equal to an
// earlier one overwrites it. Returns the number of files written.
// done, when given, counts the rows handled.
int exportTo(const QString &dir, const QVector<std::shared_ptr<ImageInfo>> &images, std::atomic<int> *done = nullptr);

} // namespace YoloFolder

#endif
