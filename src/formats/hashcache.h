#ifndef BOXMERE_HASHCACHE_H
#define BOXMERE_HASHCACHE_H

#include <QHash>
#include <QString>

// The perceptual hashes of a data set's pictures kept between runs, so that a second
// search over unchanged files decodes nothing. An entry holds while the file keeps its
// size and modification time. One file per data set, outside the data set.
class HashCache
{
public:
    enum class State
    {
        Missing,
        Read,
        Damaged // ignored, and replaced by the next save()
    };

    // The cache file for the data set in folder: in the user's cache folder, named by
    // the folder's absolute path.
    static QString fileFor(const QString &folder);

    // The size and modification time (ms since the epoch) an entry is checked against;
    // false, both 0, when the file cannot be looked at.
    static bool status(const QString &path, qint64 &size, qint64 &modified);

    explicit HashCache(const QString &file) : m_file(file) {}

    QString file() const { return m_file; }
    // Replaces the entries with those of the file.
    State load();
    // Writes the entries atomically; false with error set when it cannot.
    bool save(QString *error = nullptr) const;

    bool find(const QString &path, qint64 size, qint64 modified, quint64 &hash) const;
    void insert(const QString &path, qint64 size, qint64 modified, quint64 hash);
    int size() const { return m_entries.size(); }

private:
    struct Entry
    {
        qint64 size = 0;
        qint64 modified = 0;
        quint64 hash = 0;
    };

    QString m_file;
    QHash<QString, Entry> m_entries;
};

#endif
