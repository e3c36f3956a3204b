#ifndef BOXMERE_YOLOFOLDER_H
#define BOXMERE_YOLOFOLDER_H

#include "boxes/yololabelfile.h"

#include <QList>
#include <QString>
#include <QVector>

#include <memory>

struct ImageInfo;

// Reading a folder of YOLO label files and writing an image list out as one.
namespace YoloFolder {

struct LabelFile
{
    QString baseName;  // the file name without its last dot-suffix
    QString labelPath; // the file itself
    YoloLabelFile::ReadResult read;
};

// The "*.txt" files directly inside txtPath, in listing order, each read and parsed.
// Files are read by several threads, since on a cold cache a load waits on the
// disk far more than on the parser; the result does not depend on them.
QVector<LabelFile> readLabelFolder(const QString &txtPath);

// The label file name an image is exported to: the last component of its image path
// without the last suffix ("x.y.jpg" gives "x.y.txt"), or of its file name when it
// has no image path. Empty when neither gives a name.
QString exportFileName(const ImageInfo &image);

// Writes one label file per image into dir; a row whose name comes out equal to an
// earlier one overwrites it. Returns the number of files written.
int exportTo(const QString &dir, const QVector<std::shared_ptr<ImageInfo>> &images);

} // namespace YoloFolder

#endif
