#ifndef BOXMERE_IMAGELISTJSON_H
#define BOXMERE_IMAGELISTJSON_H

#include <QByteArray>
#include <QList>
#include <QVector>

#include <memory>

struct ImageInfo;

// The image-list JSON document: a top-level array with one object per image
// ("bboxes", "fileName", "filePath", "height", "id", "width"), each box an object
// with "catId", "ch", "cw", "cx" and "cy", and for a polygon "points" (x1, y1, x2,
// y2 ...), from which a reader makes the box. Label-file paths are not part of it.
namespace ImageListJson {

// The document in QJsonDocument's indented form.
QByteArray write(const QVector<std::shared_ptr<ImageInfo>> &images);

// The bytes read() wants readable after the content; without them it copies the document.
int padding();

// The images of a document, each with a new box list. Anything but a top-level
// array gives none; an element that is not an object gives an empty image.
// With error, why a document gave none is written there (empty when it parsed).
QList<std::shared_ptr<ImageInfo>> read(const QByteArray &bytes, QString *error = nullptr);

} // namespace ImageListJson

#endif
