#ifndef BOXMERE_UTILS_H
#define BOXMERE_UTILS_H

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QUrl>

// Process-wide helper with path, name, colour and whole-file operations.
// QML sees it as the singleton Utils of the module Boxmere 1.0.
class Utils : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString osName READ osName NOTIFY osNameChanged)
    Q_PROPERTY(bool isDebug READ isDebug NOTIFY isDebugChanged)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QString qtVersion READ qtVersion CONSTANT)

public:
    ~Utils() override;

    // The process-wide object; creates and registers it on first use.
    static Utils *instance();
    // Allocates the object and registers it with QML; true when it allocated one.
    static bool createInstance();

    QString osName() const;
    bool isDebug() const;
    QString version() const;
    // The Qt the program runs on, which may be newer than the one it was built with.
    QString qtVersion() const;

    // Replaces data with the whole file; false, data untouched, when it cannot be opened.
    // With padding, data's capacity leaves that many bytes after the content, for
    // parsers that read past the end. Safe to call from any thread.
    bool readFile(const QString &path, QByteArray &data, int padding = 0) const;
    // Replaces the file with data atomically: true only when every byte reached the
    // file; on failure the previous file stays as it was.
    bool writeFile(const QString &path, const QByteArray &data) const;
    bool removeFile(const QString &path) const;

public Q_SLOTS:
    // Writes the image as a PNG file, replacing it whole; false when it could not.
    bool savePng(const QImage &image, const QString &path) const;
    // True when a file or folder exists at the path.
    bool fileExists(const QString &path) const;
    // The colour's negative, always opaque.
    QColor invertColor(QColor c);
    // Black on light colours, white on dark ones: for text on a colour, or a line under it.
    QColor contrastColor(QColor c);
    // Where a box's tag of size tag goes in a picture: just above the box's top edge,
    // or just inside it below its line of width line when there is no room above,
    // moved left and up as far as it takes to stay inside the picture.
    QPointF tagPosition(QRectF box, QSizeF tag, QSizeF picture, qreal line);
    // The name without its last dot-suffix; the last dot anywhere in the string counts.
    QString baseName(QString filename);
    QString fileName(QString filePath);
    // The local path of a file URL; empty for other schemes.
    QString toLocalPath(QUrl url);
    // Trimmed, with ? : / \ * ' " ~ & replaced by underscores.
    QString safeName(QString name);
    // The file URL of a local path; "#", "?" and "%" in the path stay part of it.
    QUrl toFileUrl(QString path);

Q_SIGNALS:
    void osNameChanged();
    void isDebugChanged();

private:
    Utils();
    static Utils *s_instance;
};

#endif
