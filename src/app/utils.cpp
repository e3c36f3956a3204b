#include "utils.h"

#include "formats/fileio.h"

#include <QBuffer>
#include <QQmlEngine>

Utils *Utils::s_instance = nullptr;

Utils::Utils() : QObject(nullptr)
{
    s_instance = this;
}

Utils::~Utils()
{
    s_instance = nullptr;
}

Utils *Utils::instance()
{
    if (!s_instance)
        createInstance();
    return s_instance;
}

bool Utils::createInstance()
{
    auto *utils = new Utils;
    qmlRegisterSingletonInstance("Boxmere", 1, 0, "Utils", utils);
    return utils != nullptr;
}

QString Utils::osName() const
{
#if defined(Q_OS_WIN)
    return QStringLiteral("windows");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("macos");
#elif defined(Q_OS_LINUX)
    return QStringLiteral("linux");
#else
    return QStringLiteral("unix");
#endif
}

bool Utils::isDebug() const
{
#ifdef QT_DEBUG
    return true;
#else
    return false;
#endif
}

QString Utils::version() const
{
    return QStringLiteral(BOXMERE_VERSION);
}

QString Utils::qtVersion() const
{
    return QString::fromLatin1(qVersion());
}

bool Utils::fileExists(const QString &path) const
{
    return FileIo::fileExists(path);
}

bool Utils::readFile(const QString &path, QByteArray &data, int padding) const
{
    return FileIo::readFile(path, data, padding);
}

bool Utils::writeFile(const QString &path, const QByteArray &data) const
{
    return FileIo::writeFile(path, data);
}

bool Utils::savePng(const QImage &image, const QString &path) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return !image.isNull() && buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG") &&
           FileIo::writeFile(path, bytes);
}

bool Utils::removeFile(const QString &path) const
{
    return FileIo::removeFile(path);
}

QColor Utils::invertColor(QColor c)
{
    return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue(), 255);
}

QColor Utils::contrastColor(QColor c)
{
    return qGray(c.rgb()) >= 140 ? QColor(Qt::black) : QColor(Qt::white);
}

QPointF Utils::tagPosition(QRectF box, QSizeF tag, QSizeF picture, qreal line)
{
    qreal y = box.top() - tag.height();
    if (y < 0)
        y = box.top() + line;
    y = qMax(0.0, qMin(y, picture.height() - tag.height()));
    const qreal x = qMax(0.0, qMin(box.left(), picture.width() - tag.width()));
    return {x, y};
}

QString Utils::baseName(QString filename)
{
    return FileIo::baseName(filename);
}

QString Utils::fileName(QString filePath)
{
    return FileIo::fileName(filePath);
}

QString Utils::toLocalPath(QUrl url)
{
    return url.toLocalFile();
}

QString Utils::safeName(QString name)
{
    QString result = name.trimmed();
    for (const QChar c : {u'?', u':', u'/', u'\\', u'*', u'\'', u'"', u'~', u'&'})
        result.replace(c, QLatin1Char('_'));
    return result;
}

QUrl Utils::toFileUrl(QString path)
{
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}
