#include "cocoexport.h"

#include "images/imagelist.h"

#include <QDir>
#include <QSet>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace CocoExport {

namespace {

void appendString(QByteArray &out, const QString &text)
{
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", unsigned(c));
                out += buffer;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

// The shortest text that reads back as the same double.
void appendNumber(QByteArray &out, double value)
{
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, int(r.ptr - buffer));
}

void appendInt(QByteArray &out, long long value)
{
    char buffer[24];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, int(r.ptr - buffer));
}

QString relativeName(const QString &path, const QDir &root, bool hasRoot)
{
    if (hasRoot) {
        const QString relative = root.relativeFilePath(path);
        if (!relative.startsWith(QLatin1String("../")) && !QDir::isAbsolutePath(relative))
            return relative;
    }
    return QFileInfo(path).fileName();
}

} // namespace

Result write(const QVector<std::shared_ptr<ImageInfo>> &images, const QVector<ClassFile::ClassName> &names,
             const QString &imageRoot)
{
    Result result;
    QSet<int> ids;
    for (const std::shared_ptr<ImageInfo> &image : images)
        ids.insert(image->id);
    const bool ownIds = ids.size() == images.size();

    std::map<int, QString> categories;
    for (const ClassFile::ClassName &name : names)
        categories[name.id] = name.name;

    QByteArray &out = result.json;
    out.reserve(images.size() * 400 + 256);
    out += "{\"info\":{\"description\":\"Boxmere export\"},\"licenses\":[],\"images\":[";
    const QDir root(imageRoot);
    for (int row = 0; row < images.size(); ++row) {
        const ImageInfo &image = *images.at(row);
        if (row > 0)
            out += ',';
        out += "{\"id\":";
        appendInt(out, ownIds ? image.id : row + 1);
        out += ",\"file_name\":";
        appendString(
            out, relativeName(image.filePath.isEmpty() ? image.fileName : image.filePath, root, !imageRoot.isEmpty()));
        out += ",\"width\":";
        appendInt(out, image.width);
        out += ",\"height\":";
        appendInt(out, image.height);
        out += '}';
    }
    out += "],\"annotations\":[";
    long long annotationId = 0;
    QVector<double> pixels;
    for (int row = 0; row < images.size(); ++row) {
        const ImageInfo &image = *images.at(row);
        if (!image.bboxes)
            continue;
        for (const std::shared_ptr<BoxInfo> &box : image.bboxes->boxes()) {
            const double w = box->cw * image.width;
            const double h = box->ch * image.height;
            const double x = box->cx * image.width - w / 2;
            const double y = box->cy * image.height - h / 2;
            pixels.resize(box->points.size());
            double twiceArea = 0;
            for (int i = 0, n = box->pointCount(); i < n; ++i) {
                pixels[2 * i] = box->points[2 * i] * image.width;
                pixels[2 * i + 1] = box->points[2 * i + 1] * image.height;
            }
            for (int i = 0, n = box->pointCount(), j = n - 1; i < n; j = i++)
                twiceArea += (pixels[2 * j] - pixels[2 * i]) * (pixels[2 * j + 1] + pixels[2 * i + 1]);
            const double area = box->isPolygon() ? std::abs(twiceArea) / 2 : w * h;
            const bool finite = std::all_of(pixels.cbegin(), pixels.cend(), [](double v) { return std::isfinite(v); });
            if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w * h) || !std::isfinite(area) || !finite) {
                ++result.skippedBoxes;
                continue;
            }
            if (annotationId > 0)
                out += ',';
            out += "{\"id\":";
            appendInt(out, ++annotationId);
            out += ",\"image_id\":";
            appendInt(out, ownIds ? image.id : row + 1);
            out += ",\"category_id\":";
            appendInt(out, box->catId);
            out += ",\"bbox\":[";
            appendNumber(out, x);
            out += ',';
            appendNumber(out, y);
            out += ',';
            appendNumber(out, w);
            out += ',';
            appendNumber(out, h);
            out += ']';
            if (box->isPolygon()) {
                out += ",\"segmentation\":[[";
                for (int i = 0; i < pixels.size(); ++i) {
                    if (i > 0)
                        out += ',';
                    appendNumber(out, pixels[i]);
                }
                out += "]]";
            }
            out += ",\"area\":";
            appendNumber(out, area);
            out += ",\"iscrowd\":0}";
            if (!categories.count(box->catId))
                categories[box->catId] = QString::number(box->catId);
        }
    }
    out += "],\"categories\":[";
    bool first = true;
    for (const auto &[id, name] : categories) {
        if (!first)
            out += ',';
        first = false;
        out += "{\"id\":";
        appendInt(out, id);
        out += ",\"name\":";
        appendString(out, name);
        out += ",\"supercategory\":\"\"}";
    }
    out += "]}\n";
    result.images = images.size();
    result.annotations = int(annotationId);
    return result;
}

} // namespace CocoExport
