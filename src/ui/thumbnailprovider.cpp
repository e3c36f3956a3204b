#include "thumbnailprovider.h"

#include <QImageReader>
#include <QMutexLocker>
#include <QQuickTextureFactory>
#include <QRunnable>
#include <QSet>
#include <QUrl>

namespace {
std::atomic<ThumbnailProvider *> s_lastCreated{nullptr};

// Every provider alive. The engine may hand its provider to a thread that frees
// it late, or not at all before exit; decodes still running then would reach
// Qt's global thread pool after it is gone. So the application object's
// destructor stops them all.
QMutex s_liveMutex;
QSet<ThumbnailProvider *> s_live;

QString cacheKey(const QString &path, const QSize &size)
{
    return QStringLiteral("%1x%2:%3").arg(size.width()).arg(size.height()).arg(path);
}
} // namespace

// One request. The engine may cancel it at any time, but deletes it only after
// finished(), which is therefore always emitted. It is emitted through the event
// loop of the thread the request was made in, never before the engine has
// connected to it on return from requestImageResponse().
class ThumbnailResponse : public QQuickImageResponse, public QRunnable
{
public:
    ThumbnailResponse(ThumbnailProvider *provider, QString path, QSize size)
        : m_provider(provider), m_path(std::move(path)), m_size(size)
    {
        setAutoDelete(false);
    }

    void run() override
    {
        if (!m_cancelled.load() && !m_provider->m_stopping.load()) {
            m_image = ThumbnailProvider::decode(m_path, m_size, &m_error);
            if (!m_image.isNull()) {
                ++m_provider->m_decoded;
                m_provider->store(cacheKey(m_path, m_size), m_image);
            }
        }
        finishLater();
    }

    void finishWith(const QImage &image)
    {
        m_image = image;
        finishLater();
    }

    void finishLater()
    {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT finished(); }, Qt::QueuedConnection);
    }

    QQuickTextureFactory *textureFactory() const override
    {
        return m_image.isNull() ? nullptr : QQuickTextureFactory::textureFactoryForImage(m_image);
    }
    QString errorString() const override { return m_image.isNull() ? m_error : QString(); }
    void cancel() override { m_cancelled = true; }

private:
    ThumbnailProvider *m_provider;
    QString m_path;
    QSize m_size;
    QImage m_image;
    QString m_error = QStringLiteral("cancelled");
    std::atomic<bool> m_cancelled{false};
};

ThumbnailProvider::ThumbnailProvider(int cacheMegabytes)
{
    m_cache.setMaxCost(cacheMegabytes * 1024);
    m_pool.setMaxThreadCount(qMax(2, QThread::idealThreadCount()));
    s_lastCreated = this;
    QMutexLocker lock(&s_liveMutex);
    // Once for each application object, which runs its routines once.
    qRemovePostRoutine(stopAll);
    qAddPostRoutine(stopAll);
    s_live.insert(this);
}

ThumbnailProvider::~ThumbnailProvider()
{
    {
        QMutexLocker lock(&s_liveMutex);
        s_live.remove(this);
    }
    stop();
    ThumbnailProvider *self = this;
    s_lastCreated.compare_exchange_strong(self, nullptr);
}

void ThumbnailProvider::stop()
{
    // Requests still queued finish without decoding, so the engine can free them.
    m_stopping = true;
    m_pool.waitForDone();
}

void ThumbnailProvider::stopAll()
{
    QMutexLocker lock(&s_liveMutex);
    for (ThumbnailProvider *provider : qAsConst(s_live))
        provider->stop();
}

ThumbnailProvider *ThumbnailProvider::lastCreated()
{
    return s_lastCreated.load();
}

QQuickImageResponse *ThumbnailProvider::requestImageResponse(const QString &id, const QSize &requestedSize)
{
    const QString path = QUrl(id).toLocalFile();
    auto *response = new ThumbnailResponse(this, path, requestedSize);
    const QImage hit = cached(cacheKey(path, requestedSize));
    if (!hit.isNull())
        response->finishWith(hit);
    else
        m_pool.start(response);
    return response;
}

// libjpeg decodes a cut-off JPEG without error, filling the missing part with grey.
// A whole file holds the end-of-image marker, which cannot occur inside the
// compressed data; only a few bytes of padding or a short trailer follow it.
static bool jpegEndsWhole(QIODevice *device)
{
    constexpr qint64 tail = 4096;
    const qint64 size = device->size();
    const qint64 start = device->pos();
    if (size <= 0 || !device->seek(qMax<qint64>(0, size - tail)))
        return true;
    const QByteArray bytes = device->read(tail);
    device->seek(start);
    return bytes.contains("\xff\xd9");
}

QImage ThumbnailProvider::decode(const QString &path, const QSize &requestedSize, QString *error)
{
    QImageReader reader(path);
    if (reader.format() == "jpeg" && reader.device() && !jpegEndsWhole(reader.device())) {
        if (error)
            *error = QStringLiteral("%1 is cut off").arg(path);
        return QImage();
    }
    const QSize full = reader.size();
    if (full.isValid() && (requestedSize.width() > 0 || requestedSize.height() > 0)) {
        QSize bound = requestedSize;
        if (bound.width() <= 0)
            bound.setWidth(full.width());
        if (bound.height() <= 0)
            bound.setHeight(full.height());
        if (full.width() > bound.width() || full.height() > bound.height())
            reader.setScaledSize(full.scaled(bound, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    QImage image = reader.read();
    if (image.isNull() && error)
        *error = reader.errorString();
    return image;
}

QImage ThumbnailProvider::cached(const QString &key)
{
    QMutexLocker lock(&m_cacheMutex);
    const QImage *image = m_cache.object(key);
    return image ? *image : QImage();
}

void ThumbnailProvider::store(const QString &key, const QImage &image)
{
    QMutexLocker lock(&m_cacheMutex);
    m_cache.insert(key, new QImage(image), qMax(1, int(image.sizeInBytes() / 1024)));
}
