// Asks a provider that is never deleted (as an engine may leave it) for many
// pictures and returns from main at once, with decodes still queued and running.
#include "ui/thumbnailprovider.h"

#include <QCoreApplication>
#include <QUrl>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    auto *provider = new ThumbnailProvider;
    const QString url = QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])).toString();
    // Sizes just below the photo's, which Qt scales on its global thread pool.
    for (int i = 0; i < 40; ++i)
        provider->requestImageResponse(url, QSize(499 - i, 337 - i));
    return 0;
}
