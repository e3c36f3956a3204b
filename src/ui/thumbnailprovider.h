#ifndef BOXMERE_THUMBNAILPROVIDER_H
#define BOXMERE_THUMBNAILPROVIDER_H

#include <QCache>
#include <QImage>
#include <QMutex>
#include <QQuickAsyncImageProvider>
#include <QThreadPool>

#include <atomic>

// Serves "image://thumbnail/<file URL>" to QML: the picture decoded at the size
// asked for (JPEG scales inside the decoder), on a pool of threads, with the most
// recent pictures kept in a cache of a fixed number of megabytes. A request that
// the view dropped before its turn (a tile scrolled away) is skipped.
class ThumbnailProvider : public QQuickAsyncImageProvider
{
public:
    static constexpr const char *Id = "thumbnail";

    explicit ThumbnailProvider(int cacheMegabytes = 256);
    ~ThumbnailProvider() override;

    QQuickImageResponse *requestImageResponse(const QString &id, const QSize &requestedSize) override;

    // The picture at path, scaled to fit within requestedSize (never enlarged); an
    // invalid size gives the full picture. Null with an error when it cannot be read.
    static QImage decode(const QString &path, const QSize &requestedSize, QString *error = nullptr);

    // Pictures decoded so far, cached ones not counted.
    int decodedCount() const { return m_decoded.load(); }
    static ThumbnailProvider *lastCreated();

private:
    friend class ThumbnailResponse;
    // Lets the decodes under way finish and skips those still queued.
    void stop();
    static void stopAll();
    QImage cached(const QString &key);
    void store(const QString &key, const QImage &image);

    QThreadPool m_pool;
    QMutex m_cacheMutex;
    QCache<QString, QImage> m_cache; // cost in kilobytes
    std::atomic<int> m_decoded{0};
    std::atomic<bool> m_stopping{false};
};

#endif
