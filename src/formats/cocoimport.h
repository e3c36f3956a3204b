#ifndef BOXMERE_COCOIMPORT_H
#define BOXMERE_COCOIMPORT_H

#include "boxes/prediction.h"
#include "formats/classfile.h"

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
    // Set before parsing: take the boxes of every category and the "categories" list,
    // not only category 1.
    bool allCategories = false;
    QVector<Image> images;
    // The boxes of category 1 (or of all), by image id, in file order.
    QHash<int, QVector<PixelBox>> boxesByImage;
    // With allCategories: the category of each of those boxes, and the category names.
    QHash<int, QVector<int>> categoriesByImage;
    QVector<ClassFile::ClassName> categories;
    // With allCategories: for each of those boxes, the polygon that is the label
    // instead (x, y pairs in pixels), or nothing for a plain box. An annotation of
    // several polygons gives a box per polygon.
    QHash<int, QVector<QVector<double>>> polygonsByImage;
    // With allCategories: annotations left out because their segmentation is an RLE
    // mask, and polygons left out for an odd number of coordinates.
    int rleMasks = 0;
    int oddPolygons = 0;
};

// The bytes a parser needs after the content it reads.
int padding();

// Parses a document whose bytes are followed by padding() readable bytes, taking its
// images, its category-1 annotations or both. Returns 0, or the parser's error code
// for a document that does not parse, in which case nothing is taken from it.
int parse(const QByteArray &bytes, bool wantImages, bool wantAnnotations, Contents &out);

// One detection of a COCO results file: [{"image_id", "category_id", "bbox", "score"}].
// The image is named by a number, or by a string (some detectors write the picture's
// base name).
struct Result
{
    int imageId = 0;
    QString imageName; // when image_id is a string
    int categoryId = 0;
    PixelBox box{};
    double score = 1.0;
};

// Parses a results document (bytes followed by padding() readable bytes): a top-level
// array of detections. Entries without a four-number "bbox" are counted in skipped.
// Returns 0, or the parser's error code, with nothing taken.
int parseResults(const QByteArray &bytes, QVector<Result> &out, int *skipped = nullptr);

// The names a picture of this base name goes by in results files: the base name and,
// for a name of digits, its number ("000000397133" is written as 397133).
QStringList resultNames(const QString &baseName);
// The name a result gives its image, to be looked up among resultNames().
QString resultName(const Result &result);
// A result's box normalised to a picture of width x height pixels (both above 0).
Prediction toPrediction(const Result &result, double width, double height);

// The images that exist below imagesDir and keep at least one box, with their boxes
// converted to normalised centre form; boxes wider than 1.5 times their height or
// covering less than a tenth or more than two thirds of their image are dropped.
QList<std::shared_ptr<ImageInfo>> buildImages(const Contents &contents, const QString &imagesDir);

// Reads and parses the images file and the annotations file (the same file may be
// given twice, and is then read once), logging "Images file: %d", "Anns file  : %d"
// and "Error: %d", and builds the images as buildImages() does, in imagesDir or by
// default the folder of imagesFile. Safe to call from any thread.
QList<std::shared_ptr<ImageInfo>> load(const QString &imagesFile, const QString &annsFile, const QString &imagesDir);

// Every image of contents parsed with allCategories, in file order, with every box of
// every category, whether or not its file exists, polygons as polygons. Boxes of an
// image without a size cannot be normalised and are left out; unsized counts the
// boxes lost that way.
QList<std::shared_ptr<ImageInfo>> buildAll(const Contents &contents, const QString &imagesDir, int *unsized);

} // namespace CocoImport

#endif
