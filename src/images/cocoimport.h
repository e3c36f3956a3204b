#ifndef BOXMERE_COCOIMPORT_H
#define BOXMERE_COCOIMPORT_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

#include <array>
#include <memory>

struct ImageInfo;

// Import of COCO images and annotations files: a top-level array, or a standard
// COCO object whose "images" and "annotations" members are those arrays.
namespace CocoImport {

struct Image
{
    int id = 0;
    QString fileName;
    int width = 0;
    int height = 0;
};

// Left x, top y, width and height in pixels.
using PixelBox = std::array<double, 4>;

struct Contents
{
    QVector<Image> images;
    // The boxes of category 1, by image id, in file order.
    QHash<int, QVector<PixelBox>> boxesByImage;
};

// The bytes a parser needs after the content it reads.
int padding();

// Parses a document whose bytes are followed by padding() readable bytes, taking its
// images, its category-1 annotations or both. Returns 0, or the parser's error code
// for a document that does not parse, in which case nothing is taken from it.
int parse(const QByteArray &bytes, bool wantImages, bool wantAnnotations, Contents &out);

// The images that exist below imagesDir and keep at least one box, with their boxes
// converted to normalised centre form; boxes wider than 1.5 times their height or
// covering less than a tenth or more than two thirds of their image are dropped.
QList<std::shared_ptr<ImageInfo>> buildImages(const Contents &contents, const QString &imagesDir);

} // namespace CocoImport

#endif
