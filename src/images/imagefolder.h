#ifndef BOXMERE_IMAGEFOLDER_H
#define BOXMERE_IMAGEFOLDER_H

#include <QHash>
#include <QString>

// The pictures of an image folder, found by base name. A label file "<base>.txt"
// goes with "<base>.jpg", or when that does not exist with the first of the other
// picture types that does.
class ImageFolder
{
public:
    // The picture suffixes, in the order they are looked for: ".jpg" first, then the
    // other types in lower case, then all of them in upper case.
    static const QStringList &suffixes();
    // Whether a file name ends in one of the suffixes.
    static bool isImageName(const QString &fileName);

    // Lists the folder once; a folder that does not exist lists as empty.
    explicit ImageFolder(const QString &dir);

    // The picture for a base name, or "<dir>/<base>.jpg" when there is none.
    // Marks the base as taken by a label file.
    QString take(const QString &base);
    // Whether the last take() found a picture.
    bool lastFound() const { return m_lastFound; }
    // Pictures whose base name no take() asked for.
    int untakenCount() const;
    // Their paths, sorted.
    QStringList untakenPaths() const;

private:
    QString m_dir;
    // Base name -> bit i set when the folder holds base + suffixes()[i]; the top bit
    // marks a base taken by a label file.
    QHash<QString, quint32> m_bases;
    bool m_lastFound = false;
};

#endif
