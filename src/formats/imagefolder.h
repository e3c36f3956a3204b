#ifndef BOXMERE_IMAGEFOLDER_H
#define BOXMERE_IMAGEFOLDER_H

#include <QSize>
#include <QString>
#include <QStringView>
#include <QVector>

// The pictures of an image folder, found by base name. A label file "<base>.txt"
// goes with "<base>.jpg", or when that does not exist with the first of the other
// picture types that does.
class ImageFolder
{
public:
    // The picture suffixes, in the order they are looked for: ".jpg" first, then the
    // other types in lower case, then all of them in upper case.
    static const QStringList &suffixes();
    // The picture's size in pixels, read from its file's header only; an invalid
    // size when the file cannot be read or gives no size.
    static QSize pictureSize(const QString &path);

    // Lists the folder once; a folder that does not exist lists as empty.
    explicit ImageFolder(const QString &dir);

    // The picture for a base name, or "<dir>/<base>.jpg" when there is none.
    // Marks the base as taken by a label file.
    QString take(const QString &base);
    // Whether the last take() found a picture.
    bool lastFound() const { return m_lastFound; }
    // The pictures whose base name no take() asked for, sorted.
    QStringList untakenPaths() const;

private:
    struct Base
    {
        int offset = 0; // in m_names
        int length = 0;
        uint hash = 0;
        // Bit i set when the folder holds the base with suffixes()[i]; the top bit
        // marks a base taken by a label file.
        quint32 bits = 0;
    };

    void add(QStringView base, int suffix);
    // The slot that holds base, or the empty slot where it would go.
    int slotOf(QStringView base, uint hash) const;
    QStringView nameOf(const Base &base) const { return QStringView(m_names).mid(base.offset, base.length); }

    QString m_dir;
    // An open-addressing table over one string of all names: a folder of 100,000
    // pictures costs no allocation per picture, to list or to look up.
    QString m_names;
    QVector<Base> m_bases;
    QVector<int> m_slots; // index into m_bases, -1 for an empty slot; a power of two long
    bool m_lastFound = false;
};

#endif
