#include "cocoimport.h"

#include "app/logging.h"
#include "formats/fileio.h"
#include "formats/jsonint.h"
#include "images/imagelist.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <simdjson.h>
#include <string_view>

using namespace simdjson;

namespace CocoImport {

namespace {

// A value of the wrong type reads as its default; anything else is a broken document.
bool fatal(error_code error)
{
    return error != SUCCESS && error != INCORRECT_TYPE && error != NUMBER_ERROR;
}

// Whether the value is of the wanted type; a broken document gives an error instead.
error_code hasType(ondemand::value value, ondemand::json_type wanted, bool &is)
{
    ondemand::json_type type;
    const error_code error = value.type().get(type);
    is = !error && type == wanted;
    return error;
}

error_code readDouble(ondemand::value value, double &out)
{
    out = 0.0;
    bool isNumber = false;
    if (auto error = hasType(value, ondemand::json_type::number, isNumber); error || !isNumber)
        return error;
    const error_code error = value.get_double().get(out);
    if (error)
        out = 0.0;
    return fatal(error) ? error : SUCCESS;
}

// An integer the way QJsonValue::toInt reads one: a whole number within range, else 0.
error_code readInt(ondemand::value value, int &out)
{
    double number = 0;
    const error_code error = readDouble(value, number);
    out = jsonInt(number);
    return error;
}

error_code readString(ondemand::value value, QString &out)
{
    out.clear();
    bool isString = false;
    if (auto error = hasType(value, ondemand::json_type::string, isString); error || !isString)
        return error;
    std::string_view text;
    if (auto error = value.get_string().get(text))
        return error;
    out = QString::fromUtf8(text.data(), int(text.size()));
    return SUCCESS;
}

// Calls fn(key, value) for each member of an object, in document order, until it
// returns an error.
template <typename Fn> error_code forEachField(ondemand::object object, Fn &&fn)
{
    for (auto field : object) {
        std::string_view key;
        if (auto error = field.unescaped_key().get(key))
            return error;
        ondemand::value value;
        if (auto error = field.value().get(value))
            return error;
        if (auto error = fn(key, value))
            return error;
    }
    return SUCCESS;
}

struct Annotation
{
    int imageId = 0;
    int categoryId = 0;
    PixelBox box{};
    bool hasBox = false; // a "bbox" array of at least four entries
    QVector<QVector<double>> polygons;
    bool rle = false; // a segmentation that is not a list of polygons
    int oddPolygons = 0;
};

error_code readBox(ondemand::value value, Annotation &annotation)
{
    bool isArray = false;
    if (auto error = hasType(value, ondemand::json_type::array, isArray); error || !isArray)
        return error;
    ondemand::array array;
    if (auto error = value.get_array().get(array))
        return error;
    size_t count = 0;
    for (auto element : array) {
        ondemand::value v;
        if (auto error = element.get(v))
            return error;
        double number = 0;
        if (auto error = readDouble(v, number))
            return error;
        if (count < 4)
            annotation.box[count] = number;
        ++count;
    }
    annotation.hasBox = count >= 4;
    return SUCCESS;
}

error_code readNumbers(ondemand::array array, QVector<double> &out)
{
    for (auto element : array) {
        ondemand::value v;
        if (auto error = element.get(v))
            return error;
        double number = 0;
        if (auto error = readDouble(v, number))
            return error;
        out.append(number);
    }
    return SUCCESS;
}

// A list of polygons, each a flat list of pixel coordinates; an object is an RLE mask.
error_code readSegmentation(ondemand::value value, Annotation &annotation)
{
    ondemand::json_type type;
    if (auto error = value.type().get(type))
        return error;
    if (type == ondemand::json_type::object) {
        annotation.rle = true;
        return SUCCESS;
    }
    if (type != ondemand::json_type::array)
        return SUCCESS;
    ondemand::array array;
    if (auto error = value.get_array().get(array))
        return error;
    for (auto element : array) {
        ondemand::value polygon;
        if (auto error = element.get(polygon))
            return error;
        bool isArray = false;
        if (auto error = hasType(polygon, ondemand::json_type::array, isArray))
            return error;
        if (!isArray)
            continue;
        ondemand::array numbers;
        if (auto error = polygon.get_array().get(numbers))
            return error;
        QVector<double> xy;
        if (auto error = readNumbers(numbers, xy))
            return error;
        if (xy.size() % 2)
            ++annotation.oddPolygons;
        else if (!xy.isEmpty())
            annotation.polygons.append(std::move(xy));
    }
    return SUCCESS;
}

// Reads the fields of one element in a single pass: real COCO annotations put the
// large "segmentation" first, and looking keys up one by one would scan it again.
error_code readElement(ondemand::value element, bool wantImages, bool wantAnnotations, bool wantShapes, Image &image,
                       Annotation &annotation)
{
    image = Image();
    annotation = Annotation();
    bool isObject = false;
    if (auto error = hasType(element, ondemand::json_type::object, isObject); error || !isObject)
        return error; // anything else reads as an empty object
    ondemand::object object;
    if (auto error = element.get_object().get(object))
        return error;
    return forEachField(object, [&](std::string_view key, ondemand::value value) {
        if (wantImages && key == "id")
            return readInt(value, image.id);
        if (wantImages && key == "file_name")
            return readString(value, image.fileName);
        if (wantImages && key == "width")
            return readInt(value, image.width);
        if (wantImages && key == "height")
            return readInt(value, image.height);
        if (wantAnnotations && key == "image_id")
            return readInt(value, annotation.imageId);
        if (wantAnnotations && key == "category_id")
            return readInt(value, annotation.categoryId);
        if (wantAnnotations && key == "bbox")
            return readBox(value, annotation);
        if (wantShapes && key == "segmentation")
            return readSegmentation(value, annotation);
        return SUCCESS;
    });
}

// The "id" and "name" of each category object.
error_code readCategories(ondemand::value arrayValue, QVector<ClassFile::ClassName> &out)
{
    bool isArray = false;
    if (auto error = hasType(arrayValue, ondemand::json_type::array, isArray); error || !isArray)
        return error;
    ondemand::array array;
    if (auto error = arrayValue.get_array().get(array))
        return error;
    for (auto element : array) {
        ondemand::value value;
        if (auto error = element.get(value))
            return error;
        bool isObject = false;
        if (auto error = hasType(value, ondemand::json_type::object, isObject))
            return error;
        if (!isObject)
            continue;
        ondemand::object object;
        if (auto error = value.get_object().get(object))
            return error;
        ClassFile::ClassName name;
        const error_code error = forEachField(object, [&](std::string_view key, ondemand::value v) {
            if (key == "id")
                return readInt(v, name.id);
            if (key == "name")
                return readString(v, name.name);
            return SUCCESS;
        });
        if (error)
            return error;
        out.append(name);
    }
    return SUCCESS;
}

error_code readArray(ondemand::value arrayValue, bool wantImages, bool wantAnnotations, Contents &out)
{
    bool isArray = false;
    if (auto error = hasType(arrayValue, ondemand::json_type::array, isArray); error || !isArray)
        return error;
    ondemand::array array;
    if (auto error = arrayValue.get_array().get(array))
        return error;
    Image image;
    Annotation annotation;
    for (auto element : array) {
        ondemand::value value;
        if (auto error = element.get(value))
            return error;
        if (auto error = readElement(value, wantImages, wantAnnotations, out.allCategories, image, annotation))
            return error;
        if (wantImages)
            out.images.append(std::move(image));
        if (!wantAnnotations)
            continue;
        if (out.allCategories) {
            // The polygons are the label, and the box is made from them; a mask stands
            // for its own box, so neither is taken.
            out.oddPolygons += annotation.oddPolygons;
            if (annotation.rle) {
                ++out.rleMasks;
                continue;
            }
            for (QVector<double> &polygon : annotation.polygons) {
                out.boxesByImage[annotation.imageId].append(annotation.box);
                out.categoriesByImage[annotation.imageId].append(annotation.categoryId);
                out.polygonsByImage[annotation.imageId].append(std::move(polygon));
            }
            if (!annotation.polygons.isEmpty() || annotation.oddPolygons > 0 || !annotation.hasBox)
                continue;
            out.boxesByImage[annotation.imageId].append(annotation.box);
            out.categoriesByImage[annotation.imageId].append(annotation.categoryId);
            out.polygonsByImage[annotation.imageId].append(QVector<double>());
        } else if (annotation.categoryId == 1 && annotation.hasBox) {
            // Only category 1 is taken over; a box of fewer than four numbers is unusable.
            out.boxesByImage[annotation.imageId].append(annotation.box);
        }
    }
    return SUCCESS;
}

error_code parseDocument(ondemand::document &doc, bool wantImages, bool wantAnnotations, Contents &out)
{
    ondemand::json_type type;
    if (auto error = doc.type().get(type))
        return error;
    if (type == ondemand::json_type::array) {
        ondemand::value root;
        if (auto error = doc.get_value().get(root))
            return error;
        if (auto error = readArray(root, wantImages, wantAnnotations, out))
            return error;
    } else if (type == ondemand::json_type::object) {
        ondemand::object object;
        if (auto error = doc.get_object().get(object))
            return error;
        const error_code error = forEachField(object, [&](std::string_view key, ondemand::value value) {
            const bool images = wantImages && key == "images";
            const bool annotations = wantAnnotations && key == "annotations";
            if (out.allCategories && wantAnnotations && key == "categories")
                return readCategories(value, out.categories);
            return images || annotations ? readArray(value, images, annotations, out) : SUCCESS;
        });
        if (error)
            return error;
    } else {
        // A scalar document holds no array; it still has to be well-formed.
        ondemand::value root;
        if (auto error = doc.get_value().get(root))
            return error;
        ondemand::json_type ignored;
        if (auto error = root.type().get(ignored))
            return error;
    }
    // Anything left after the root value means the document is not one JSON value.
    const char *rest = nullptr;
    return doc.current_location().get(rest) == SUCCESS ? TRAILING_CONTENT : SUCCESS;
}

} // namespace

int padding()
{
    return int(SIMDJSON_PADDING);
}

int parseResults(const QByteArray &bytes, QVector<Result> &out, int *skipped)
{
    QVector<Result> results;
    int left = 0;
    error_code error = EMPTY;
    if (!bytes.isEmpty()) {
        ondemand::parser parser;
        const padded_string_view view(bytes.constData(), size_t(bytes.size()), size_t(bytes.size()) + SIMDJSON_PADDING);
        ondemand::document doc;
        ondemand::array array;
        error = parser.iterate(view).get(doc);
        if (!error)
            error = doc.get_array().get(array);
        // An array that was never read has no iterator to begin with.
        for (auto element = error ? decltype(array.begin())() : array.begin(); !error && element != array.end();
             ++element) {
            ondemand::object object;
            if ((error = (*element).get_object().get(object)))
                break;
            Result result;
            Annotation annotation;
            error = forEachField(object, [&](std::string_view key, ondemand::value value) -> error_code {
                if (key == "image_id") {
                    bool isString = false;
                    if (auto e = hasType(value, ondemand::json_type::string, isString))
                        return e;
                    return isString ? readString(value, result.imageName) : readInt(value, result.imageId);
                }
                if (key == "category_id")
                    return readInt(value, result.categoryId);
                if (key == "bbox")
                    return readBox(value, annotation);
                if (key == "score")
                    return readDouble(value, result.score);
                return SUCCESS;
            });
            if (!error && annotation.hasBox && std::isfinite(result.score)) {
                result.box = annotation.box;
                results.append(result);
            } else if (!error) {
                ++left;
            }
        }
        // Anything left after the array means the document is not one JSON value.
        const char *rest = nullptr;
        if (!error && doc.current_location().get(rest) == SUCCESS)
            error = TRAILING_CONTENT;
    }
    if (error)
        return int(error);
    out = std::move(results);
    if (skipped)
        *skipped = left;
    return 0;
}

int parse(const QByteArray &bytes, bool wantImages, bool wantAnnotations, Contents &out)
{
    Contents contents;
    contents.allCategories = out.allCategories;
    error_code error = EMPTY;
    if (!bytes.isEmpty()) {
        ondemand::parser parser;
        const padded_string_view view(bytes.constData(), size_t(bytes.size()), size_t(bytes.size()) + SIMDJSON_PADDING);
        ondemand::document doc;
        error = parser.iterate(view).get(doc);
        if (!error)
            error = parseDocument(doc, wantImages, wantAnnotations, contents);
    }
    if (error)
        return int(error);
    if (wantImages)
        out.images = std::move(contents.images);
    if (wantAnnotations) {
        out.boxesByImage = std::move(contents.boxesByImage);
        out.categoriesByImage = std::move(contents.categoriesByImage);
        out.categories = std::move(contents.categories);
        out.polygonsByImage = std::move(contents.polygonsByImage);
        out.rleMasks = contents.rleMasks;
        out.oddPolygons = contents.oddPolygons;
    }
    return 0;
}

QList<std::shared_ptr<ImageInfo>> buildImages(const Contents &contents, const QString &imagesDir)
{
    QList<std::shared_ptr<ImageInfo>> result;
    const QDir dir(imagesDir);
    QVector<BoxInfo> kept;
    for (const Image &entry : contents.images) {
        const auto boxes = contents.boxesByImage.constFind(entry.id);
        if (boxes == contents.boxesByImage.constEnd() || entry.fileName.isEmpty())
            continue;
        const QString path = dir.filePath(entry.fileName);
        if (!FileIo::fileExists(path))
            continue;
        // An image without a size has no area for a box to cover.
        if (entry.width <= 0 || entry.height <= 0)
            continue;

        const double W = entry.width;
        const double H = entry.height;
        const double area = W * H;
        kept.clear();
        for (const PixelBox &b : *boxes) {
            const double x = b[0], y = b[1], w = b[2], h = b[3];
            if (w > h * 1.5)
                continue;
            const double a = h * w;
            if (area / 10 > a || a > (area / 3) * 2)
                continue;
            kept.append(BoxInfo{1, (w * 0.5 + x) / W, (h * 0.5 + y) / H, w / W, h / H});
        }
        if (kept.isEmpty())
            continue;

        auto image = std::make_shared<ImageInfo>();
        image->id = entry.id;
        image->fileName = entry.fileName;
        image->filePath = path;
        image->width = entry.width;
        image->height = entry.height;
        image->bboxes = std::make_unique<BBoxList>();
        for (const BoxInfo &box : kept)
            image->bboxes->appendBox(box.catId, box.cx, box.cy, box.cw, box.ch);
        result.append(std::move(image));
    }
    return result;
}

} // namespace CocoImport

namespace CocoImport {

QList<std::shared_ptr<ImageInfo>> buildAll(const Contents &contents, const QString &imagesDir, int *unsized)
{
    QList<std::shared_ptr<ImageInfo>> result;
    const QDir dir(imagesDir);
    for (const Image &entry : contents.images) {
        auto image = std::make_shared<ImageInfo>();
        image->id = entry.id;
        image->fileName = entry.fileName;
        image->filePath = entry.fileName.isEmpty() ? QString() : dir.filePath(entry.fileName);
        image->width = entry.width;
        image->height = entry.height;
        image->bboxes = std::make_unique<BBoxList>();
        const QVector<PixelBox> boxes = contents.boxesByImage.value(entry.id);
        const QVector<int> categories = contents.categoriesByImage.value(entry.id);
        const QVector<QVector<double>> polygons = contents.polygonsByImage.value(entry.id);
        if (entry.width <= 0 || entry.height <= 0) {
            if (unsized)
                *unsized += boxes.size();
        } else {
            const double W = entry.width, H = entry.height;
            for (int i = 0; i < boxes.size(); ++i) {
                const QVector<double> pixels = polygons.value(i);
                if (!pixels.isEmpty()) {
                    QVector<double> xy(pixels.size());
                    for (int k = 0; k < pixels.size(); k += 2) {
                        xy[k] = pixels[k] / W;
                        xy[k + 1] = pixels[k + 1] / H;
                    }
                    image->bboxes->appendPolygon(categories.value(i, 1), xy);
                    continue;
                }
                const PixelBox &b = boxes.at(i);
                image->bboxes->appendBox(categories.value(i, 1), (b[0] + b[2] / 2) / W, (b[1] + b[3] / 2) / H, b[2] / W,
                                         b[3] / H);
            }
        }
        result.append(std::move(image));
    }
    return result;
}

} // namespace CocoImport

namespace CocoImport {

QList<std::shared_ptr<ImageInfo>> load(const QString &imagesFile, const QString &annsFile, const QString &imagesDir)
{
    Contents contents;
    // A standard COCO file holds both lists; given twice, it is read and parsed once.
    const QString canonical = QFileInfo(imagesFile).canonicalFilePath();
    const bool sameFile = !canonical.isEmpty() && canonical == QFileInfo(annsFile).canonicalFilePath();
    {
        QByteArray bytes;
        FileIo::readFile(imagesFile, bytes, padding());
        qCDebug(lcCoco, "Images file: %d", int(bytes.size()));
        const int error = parse(bytes, true, sameFile, contents);
        if (error)
            qCDebug(lcCoco, "Error: %d", error);
        if (sameFile) {
            qCDebug(lcCoco, "Anns file  : %d", int(bytes.size()));
            if (error)
                qCDebug(lcCoco, "Error: %d", error);
        }
    }
    if (!sameFile) {
        QByteArray bytes;
        FileIo::readFile(annsFile, bytes, padding());
        qCDebug(lcCoco, "Anns file  : %d", int(bytes.size()));
        if (const int error = parse(bytes, false, true, contents))
            qCDebug(lcCoco, "Error: %d", error);
    }
    const QString dir = imagesDir.isEmpty() ? QFileInfo(imagesFile).absolutePath() : imagesDir;
    return buildImages(contents, dir);
}

QStringList resultNames(const QString &baseName)
{
    QStringList names{baseName};
    bool digits = !baseName.isEmpty();
    for (const QChar c : baseName)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (digits) {
        bool ok = false;
        const qulonglong number = baseName.toULongLong(&ok);
        if (ok && QString::number(number) != baseName)
            names.append(QString::number(number));
    }
    return names;
}

QString resultName(const Result &result)
{
    return result.imageName.isEmpty() ? QString::number(result.imageId) : result.imageName;
}

Prediction toPrediction(const Result &result, double width, double height)
{
    const auto &[x, y, w, h] = result.box;
    return {result.categoryId, (x + w / 2) / width, (y + h / 2) / height, w / width, h / height, result.score};
}

} // namespace CocoImport
