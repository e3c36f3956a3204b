#ifndef BOXMERE_DUPLICATEFINDER_H
#define BOXMERE_DUPLICATEFINDER_H

#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>

// Finds pictures that look alike: a perceptual hash of each, kept in a HashCache, and
// groups of pictures whose hashes differ in at most MaxDistance bits, joined through
// any chain of such pairs. A group across splits of a data set is a leak: the model
// is then evaluated on pictures it was trained on.
class DuplicateFinder
{
public:
    // Rescaling, JPEG recompression and light noise move up to about 4 bits; unrelated
    // pictures differ in 32 on average, and even similar scenes rarely in under 10.
    static constexpr int MaxDistance = 6;

    struct Picture
    {
        QString path;
        QString split;
    };

    // Counters for a progress bar, and a way to stop; the stopped work keeps what it hashed.
    struct Progress
    {
        std::atomic<int> done{0};
        std::atomic<int> total{0};
        std::atomic<bool> cancel{false};
    };

    struct Leak
    {
        int picture = -1;    // the group's first picture
        QString otherSplit;  // a split other than the picture's
        QVector<int> others; // the group's pictures in that split
    };

    struct Result
    {
        QVector<quint64> hashes; // per picture; 0 when not hashed
        QVector<bool> hashed;
        // Groups of two or more, each in picture order, ordered by their first picture.
        QVector<QVector<int>> groups;
        QVector<Leak> leaks;
        QStringList unreadable;
        int fromCache = 0;
        bool cancelled = false;
        QString cacheError; // why the cache could not be written; "" when it was
        bool cacheDamaged = false;
    };

    // Hashes the pictures on up to threads threads (0: as many as there are cores),
    // through the cache file ("" for none), and groups them.
    static Result find(const QVector<Picture> &pictures, const QString &cacheFile, Progress *progress = nullptr,
                       int threads = 0);

    // The groups of the hashes marked valid, as in Result.
    static QVector<QVector<int>> group(const QVector<quint64> &hashes, const QVector<bool> &valid,
                                       int maxDistance = MaxDistance);
    static QVector<Leak> leaks(const QVector<Picture> &pictures, const QVector<QVector<int>> &groups);
    // "a.jpg in train has a near-duplicate in val: b.jpg".
    static QString describe(const QVector<Picture> &pictures, const Leak &leak);
};

#endif
