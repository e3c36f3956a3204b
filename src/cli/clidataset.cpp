#include "clidataset.h"

#include "checks/datasetcheck.h"
#include "cliprogress.h"
#include "formats/cocoimport.h"
#include "formats/fileio.h"
#include "formats/imagelistjson.h"
#include "images/imagelist.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

bool CliDataset::parseFormat(const QString &text, Format &format)
{
    if (text == QLatin1String("yolo"))
        format = Format::Yolo;
    else if (text == QLatin1String("coco"))
        format = Format::Coco;
    else if (text == QLatin1String("json"))
        format = Format::Json;
    else
        return false;
    return true;
}

CliDataset::Format CliDataset::detect(const QString &path)
{
    if (QFileInfo(path).isDir())
        return Format::Yolo;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        char c = 0;
        while (file.getChar(&c)) {
            if (c == '[')
                return Format::Json;
            if (!QChar::isSpace(uchar(c)))
                break;
        }
    }
    return Format::Coco;
}

bool CliDataset::loadClasses(const QString &classFile, const QString &labelDir)
{
    const QString path =
        classFile.isEmpty() && !labelDir.isEmpty() ? ClassFile::find(labelDir, &m_classes.candidates) : classFile;
    if (path.isEmpty())
        return true;
    m_classes = ClassFile::read(path);
    if (!m_classes.error.isEmpty()) {
        m_error =
            QCoreApplication::translate("CliDataset", "cannot read the class file %1: %2").arg(path, m_classes.error);
        return false;
    }
    m_classIds = DatasetCheck::classIds(m_classes.names);
    m_hasClassList = true;
    return true;
}

bool CliDataset::load(Format format, const QString &input, const QString &imageFolder, const QString &classFile)
{
    m_format = format;
    m_input = input;
    const QFileInfo info(input);
    if (format == Format::Yolo) {
        if (!info.isDir()) {
            m_error = QCoreApplication::translate("CliDataset", "%1 is not a folder").arg(input);
            return false;
        }
        if (!QFileInfo(input).isReadable()) {
            m_error = QCoreApplication::translate("CliDataset", "cannot list the folder %1").arg(input);
            return false;
        }
        if (!loadClasses(classFile, input))
            return false;
        m_imageRoot = imageFolder.isEmpty() ? YoloFolder::imageFolderFor(input) : imageFolder;
        QString skip;
        if (!m_classes.path.isEmpty() && QFileInfo(m_classes.path).absoluteDir() == QDir(input))
            skip = QFileInfo(m_classes.path).fileName();
        YoloFolder::Progress progress;
        CliProgress bar(QCoreApplication::translate("CliDataset", "reading label files"), &progress.done,
                        &progress.total);
        // Reports in one order can be compared; the listing order depends on the file system.
        m_scan = YoloFolder::scan(input, m_imageRoot, &progress, skip, true);
        return true;
    }

    if (!info.isFile()) {
        m_error = QCoreApplication::translate("CliDataset", "%1 is not a file").arg(input);
        return false;
    }
    if (!loadClasses(classFile, QString()))
        return false;
    m_imageRoot = imageFolder.isEmpty() ? info.absolutePath() : imageFolder;
    const std::atomic<int> none{0};
    CliProgress bar(QCoreApplication::translate("CliDataset", "reading %1").arg(info.fileName()), &none, &none);
    QByteArray bytes;
    if (!FileIo::readFile(input, bytes, CocoImport::padding())) {
        m_error = QCoreApplication::translate("CliDataset", "cannot read %1").arg(input);
        return false;
    }
    QList<std::shared_ptr<ImageInfo>> records;
    if (format == Format::Json) {
        QString error;
        records = ImageListJson::read(bytes, &error);
        if (!error.isEmpty()) {
            m_error = QCoreApplication::translate("CliDataset", "%1 is not an image list: %2").arg(input, error);
            return false;
        }
    } else {
        CocoImport::Contents contents;
        contents.allCategories = true;
        if (const int error = CocoImport::parse(bytes, true, true, contents)) {
            m_error = QCoreApplication::translate("CliDataset", "%1 is not a COCO file (parser error %2)")
                          .arg(input)
                          .arg(error);
            return false;
        }
        records = CocoImport::buildAll(contents, m_imageRoot, &m_unsizedBoxes);
        m_rleMasks = contents.rleMasks;
        m_oddPolygons = contents.oddPolygons;
        if (!m_hasClassList && !contents.categories.isEmpty()) {
            m_classes.path = input;
            m_classes.names = contents.categories;
            m_classIds = DatasetCheck::classIds(contents.categories);
            m_hasClassList = true;
        }
    }
    m_records = QVector<std::shared_ptr<ImageInfo>>(records.begin(), records.end());
    m_recordsMade = true;
    return true;
}

int CliDataset::imageCount() const
{
    return m_recordsMade ? m_records.size() : m_scan.files.size();
}

void CliDataset::check()
{
    if (m_recordsMade) {
        DatasetCheck::checkRecords(QList<std::shared_ptr<ImageInfo>>(m_records.begin(), m_records.end()), classIds());
        for (const std::shared_ptr<ImageInfo> &image : qAsConst(m_records)) {
            if (!FileIo::fileExists(image->filePath))
                image->problems.prepend({LabelCheck::Kind::LabelWithoutImage});
        }
    } else {
        DatasetCheck::checkScan(m_scan, classIds());
    }
}

void CliDataset::forEach(const std::function<void(const QString &, const QVector<std::shared_ptr<BoxInfo>> &,
                                                  const QVector<LabelCheck::Problem> &)> &fn) const
{
    if (m_recordsMade) {
        for (const std::shared_ptr<ImageInfo> &image : m_records)
            fn(image->filePath, image->bboxes->boxes(), image->problems);
    } else {
        for (const YoloFolder::LabelFile &file : m_scan.files)
            fn(file.labelPath, file.read.boxes, file.problems);
    }
}

QStringList CliDataset::takePartialLines(bool drop)
{
    static const char *const why[] = {
        QT_TRANSLATE_NOOP("CliDataset", "fewer than five fields split by single spaces"),
        QT_TRANSLATE_NOOP("CliDataset", "fields beyond a box or polygon (an odd number of coordinates)"),
        QT_TRANSLATE_NOOP("CliDataset", "a field that is not a number in range")};
    QStringList lines;
    for (YoloFolder::LabelFile &file : m_scan.files) {
        const QVector<YoloLabelFile::PartialLine> &partial = file.read.partial;
        for (const YoloLabelFile::PartialLine &line : partial) {
            lines.append(QStringLiteral("%1:%2: %3")
                             .arg(file.labelPath)
                             .arg(line.line)
                             .arg(QCoreApplication::translate("CliDataset", why[line.fault])));
        }
        for (int i = partial.size() - 1; drop && i >= 0; --i) {
            if (partial.at(i).box >= 0)
                file.read.boxes.remove(partial.at(i).box);
        }
    }
    return lines;
}

QStringList CliDataset::unreadableFiles() const
{
    QStringList files;
    for (const YoloFolder::LabelFile &file : m_scan.files) {
        if (file.read.unreadable)
            files.append(file.labelPath);
    }
    return files;
}

const QVector<std::shared_ptr<ImageInfo>> &CliDataset::records()
{
    if (!m_recordsMade) {
        const QList<std::shared_ptr<ImageInfo>> records = ImageList::recordsFromScan(m_scan);
        m_records = QVector<std::shared_ptr<ImageInfo>>(records.begin(), records.end());
        m_recordsMade = true;
        m_scan.files.clear();
    }
    return m_records;
}
