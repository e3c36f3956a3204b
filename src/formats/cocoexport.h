#ifndef BOXMERE_COCOEXPORT_H
#define BOXMERE_COCOEXPORT_H

#include "formats/classfile.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <memory>

struct ImageInfo;

// Writing an image list as a standard COCO file: one object with "info", "images",
// "annotations" and "categories", boxes as [x, y, width, height] in pixels; a polygon
// adds its "segmentation" [[x1, y1, ...]] in pixels, its box and area made from it.
namespace CocoExport {

struct Result
{
    QByteArray json;
    int images = 0;
    int annotations = 0;
    int skippedBoxes = 0; // boxes whose pixel coordinates or area are not finite numbers
};

// Every image needs its width and height. file_name is the image path relative to
// imageRoot when it lies below it, else its file name. Image ids are the records'
// own when they are unique, else the row numbers from 1. The categories are the
// names given plus every other class a box uses, named by its number.
Result write(const QVector<std::shared_ptr<ImageInfo>> &images, const QVector<ClassFile::ClassName> &names,
             const QString &imageRoot);

} // namespace CocoExport

#endif
