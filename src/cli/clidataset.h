#ifndef BOXMERE_CLIDATASET_H
#define BOXMERE_CLIDATASET_H

#include "checks/labelcheck.h"
#include "formats/classfile.h"
#include "formats/yolofolder.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

struct BoxInfo;
struct ImageInfo;

// An annotation set as the command-line tool reads it: a YOLO label folder with its
// image folder, a COCO file, or the tool's own JSON list. A YOLO folder stays a scan
// until records are asked for, since checking needs no models.
class CliDataset
{
public:
    enum class Format
    {
        Yolo,
        Coco,
        Json
    };

    // "yolo", "coco" or "json"; false for anything else.
    static bool parseFormat(const QString &text, Format &format);
    // A folder is YOLO; a file whose JSON starts with "[" is the tool's own list, else COCO.
    static Format detect(const QString &path);

    // Reads the set; false with error() set when it cannot. imageFolder and classFile
    // may be empty (found as described above and by ClassFile::find).
    bool load(Format format, const QString &input, const QString &imageFolder, const QString &classFile);

    Format format() const { return m_format; }
    QString input() const { return m_input; }
    QString error() const { return m_error; }
    // The folder image names are relative to.
    QString imageRoot() const { return m_imageRoot; }
    const ClassFile::Classes &classes() const { return m_classes; }
    // The class numbers the checks use; null when no class list applies.
    const QSet<int> *classIds() const { return m_hasClassList ? &m_classIds : nullptr; }
    // Pictures without a label file (YOLO only).
    const QStringList &unlabelledImages() const { return m_scan.unlabelledImages; }
    // COCO boxes left out because their image has no size.
    int unsizedBoxes() const { return m_unsizedBoxes; }
    // COCO annotations left out: RLE masks, and polygons of an odd number of coordinates.
    int rleMasks() const { return m_rleMasks; }
    int oddPolygons() const { return m_oddPolygons; }
    int imageCount() const;

    // Checks every image, filling the problems the visits below report.
    void check();
    // Calls fn for every image in order: a name for messages (the label file, or the
    // image path), the boxes and the problems found by check().
    void forEach(const std::function<void(const QString &name, const QVector<std::shared_ptr<BoxInfo>> &boxes,
                                          const QVector<LabelCheck::Problem> &problems)> &fn) const;
    // The images as records, made from the scan on first use.
    const QVector<std::shared_ptr<ImageInfo>> &records();

    // Before records(): each line of the YOLO label files not taken whole, as
    // "file:line: why"; with drop, the boxes those lines gave are left out.
    QStringList takePartialLines(bool drop);
    // The YOLO label files that exist but could not be read.
    QStringList unreadableFiles() const;

private:
    bool loadClasses(const QString &classFile, const QString &labelDir);

    Format m_format = Format::Yolo;
    QString m_input;
    QString m_imageRoot;
    QString m_error;
    ClassFile::Classes m_classes;
    QSet<int> m_classIds;
    bool m_hasClassList = false;
    YoloFolder::Scan m_scan;
    QVector<std::shared_ptr<ImageInfo>> m_records;
    bool m_recordsMade = false;
    int m_unsizedBoxes = 0;
    int m_rleMasks = 0;
    int m_oddPolygons = 0;
};

#endif
