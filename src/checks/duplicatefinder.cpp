#include "duplicatefinder.h"

#include "checks/perceptualhash.h"
#include "formats/fileio.h"
#include "formats/hashcache.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <qplatformdefs.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr int Blocks = 4;
constexpr int BlockBits = 64 / Blocks;
constexpr int Keys = 1 << BlockBits;

struct Sets
{
    std::vector<int> parent;
    explicit Sets(int n) : parent(n)
    {
        for (int i = 0; i < n; ++i)
            parent[i] = i;
    }
    int root(int i)
    {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    }
    void join(int a, int b)
    {
        a = root(a);
        b = root(b);
        if (a != b)
            parent[std::max(a, b)] = std::min(a, b);
    }
};

// Calls fn for every key within radius bits of key, flipping bits from position on.
void nearKeys(quint32 key, int radius, int position, const std::function<void(quint32)> &fn)
{
    fn(key);
    if (radius == 0)
        return;
    for (int bit = position; bit < BlockBits; ++bit)
        nearKeys(key ^ (1u << bit), radius - 1, bit + 1, fn);
}

QString splitName(const QString &split)
{
    return split.isEmpty() ? QCoreApplication::translate("DuplicateFinder", "the top folder") : split;
}

} // namespace

QVector<QVector<int>> DuplicateFinder::group(const QVector<quint64> &hashes, const QVector<bool> &valid,
                                             int maxDistance)
{
    const int n = hashes.size();
    Sets sets(n);
    // Equal hashes join at once, so that a thousand blank frames cost one search.
    QHash<quint64, int> firstOf;
    std::vector<quint64> unique;
    std::vector<int> owner;
    for (int i = 0; i < n; ++i) {
        if (!valid.value(i))
            continue;
        const auto it = firstOf.constFind(hashes[i]);
        if (it != firstOf.cend()) {
            sets.join(*it, i);
            continue;
        }
        firstOf.insert(hashes[i], i);
        unique.push_back(hashes[i]);
        owner.push_back(i);
    }
    // Cut into four blocks, two hashes within maxDistance bits differ in at most
    // maxDistance / 4 bits in one block at least: look up only the keys that near.
    const int radius = std::min(maxDistance / Blocks, BlockBits);
    const int count = int(unique.size());
    std::vector<int> start(Keys + 1), members(count);
    for (int block = 0; block < Blocks; ++block) {
        auto keyOf = [block](quint64 hash) { return quint32(hash >> (block * BlockBits)) & (Keys - 1); };
        std::fill(start.begin(), start.end(), 0);
        for (int u = 0; u < count; ++u)
            ++start[keyOf(unique[u]) + 1];
        for (int k = 0; k < Keys; ++k)
            start[k + 1] += start[k];
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (int u = 0; u < count; ++u)
            members[fill[keyOf(unique[u])]++] = u;
        for (int u = 0; u < count; ++u) {
            nearKeys(keyOf(unique[u]), radius, 0, [&](quint32 key) {
                for (int m = start[key]; m < start[key + 1]; ++m) {
                    const int v = members[m];
                    if (v > u && PerceptualHash::distance(unique[u], unique[v]) <= maxDistance)
                        sets.join(owner[u], owner[v]);
                }
            });
        }
    }

    QVector<QVector<int>> groups;
    QHash<int, int> groupOf;
    for (int i = 0; i < n; ++i) {
        if (!valid.value(i))
            continue;
        const int root = sets.root(i);
        auto it = groupOf.find(root);
        if (it == groupOf.end()) {
            it = groupOf.insert(root, groups.size());
            groups.append(QVector<int>());
        }
        groups[*it].append(i);
    }
    groups.erase(std::remove_if(groups.begin(), groups.end(), [](const QVector<int> &g) { return g.size() < 2; }),
                 groups.end());
    return groups;
}

QVector<DuplicateFinder::Leak> DuplicateFinder::leaks(const QVector<Picture> &pictures,
                                                      const QVector<QVector<int>> &groups)
{
    QVector<Leak> found;
    for (const QVector<int> &group : groups) {
        const int first = group.first();
        const QString &home = pictures[first].split;
        QVector<Leak> elsewhere;
        for (int member : group) {
            const QString &split = pictures[member].split;
            if (split == home)
                continue;
            auto it = std::find_if(elsewhere.begin(), elsewhere.end(),
                                   [&](const Leak &leak) { return leak.otherSplit == split; });
            if (it == elsewhere.end())
                it = elsewhere.insert(elsewhere.end(), {first, split, {}});
            it->others.append(member);
        }
        found += elsewhere;
    }
    return found;
}

QString DuplicateFinder::describe(const QVector<Picture> &pictures, const Leak &leak)
{
    QStringList names;
    for (int other : leak.others)
        names << FileIo::fileName(pictures[other].path);
    const QString name = FileIo::fileName(pictures[leak.picture].path);
    const QString split = splitName(pictures[leak.picture].split);
    if (names.size() == 1)
        return QCoreApplication::translate("DuplicateFinder", "%1 in %2 has a near-duplicate in %3: %4")
            .arg(name, split, splitName(leak.otherSplit), names.first());
    return QCoreApplication::translate("DuplicateFinder", "%1 in %2 has %3 near-duplicates in %4: %5")
        .arg(name, split)
        .arg(names.size())
        .arg(splitName(leak.otherSplit), names.join(QStringLiteral(", ")));
}

DuplicateFinder::Result DuplicateFinder::find(const QVector<Picture> &pictures, const QString &cacheFile,
                                              Progress *progress, int threads)
{
    const int n = pictures.size();
    Result result;
    HashCache cache(cacheFile);
    if (!cacheFile.isEmpty())
        result.cacheDamaged = cache.load() == HashCache::State::Damaged;

    struct Entry
    {
        QString key;
        qint64 size = 0;
        qint64 modified = 0;
        quint64 hash = 0;
        bool hashed = false;
        bool cached = false;
        bool visited = false;
    };
    std::vector<Entry> entries(n);
    std::atomic<int> next{0};
    Progress local;
    Progress &counters = progress ? *progress : local;
    counters.total = n;
    auto work = [&] {
        for (int i = next++; i < n && !counters.cancel; i = next++) {
            Entry &entry = entries[i];
            const QString &path = pictures[i].path;
            entry.key = QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QFileInfo(path).absoluteFilePath();
            HashCache::status(path, entry.size, entry.modified);
            entry.cached = cache.find(entry.key, entry.size, entry.modified, entry.hash);
            entry.hashed = entry.cached || PerceptualHash::ofFile(pictures[i].path, entry.hash);
            entry.visited = true;
            ++counters.done;
        }
    };
    const int count = std::max(1, std::min(threads > 0 ? threads : QThread::idealThreadCount(), n));
    std::vector<std::thread> workers;
    for (int t = 1; t < count; ++t)
        workers.emplace_back(work);
    work();
    for (std::thread &worker : workers)
        worker.join();

    result.hashes.resize(n);
    result.hashed.resize(n);
    // A finished run keeps only the pictures it saw, so that removed files drop out; a
    // stopped one adds what it hashed to what was there.
    result.cancelled = counters.cancel;
    HashCache kept(cacheFile);
    HashCache &out = result.cancelled ? cache : kept;
    bool changed = result.cacheDamaged;
    for (int i = 0; i < n; ++i) {
        const Entry &entry = entries[i];
        result.hashes[i] = entry.hash;
        result.hashed[i] = entry.hashed;
        result.fromCache += entry.cached ? 1 : 0;
        if (entry.visited && !entry.hashed)
            result.unreadable << pictures[i].path;
        if (entry.hashed)
            out.insert(entry.key, entry.size, entry.modified, entry.hash);
        changed = changed || (entry.hashed && !entry.cached);
    }
    if (!cacheFile.isEmpty() && (changed || out.size() != cache.size()))
        out.save(&result.cacheError);
    if (result.cancelled)
        return result;
    result.groups = group(result.hashes, result.hashed);
    result.leaks = leaks(pictures, result.groups);
    return result;
}
