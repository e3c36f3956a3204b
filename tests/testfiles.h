#ifndef BOXMERE_TESTS_TESTFILES_H
#define BOXMERE_TESTS_TESTFILES_H

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringList>

// Small file helpers for tests that build folders in a temporary directory.
namespace TestFiles {

inline bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// What a program run as a child process gave: exit code -1 when it did not end normally.
struct Run
{
    int exitCode = -1;
    QByteArray out, err;
};

inline Run run(const QStringList &command)
{
    QProcess process;
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// Writes a picture of random shapes: "scene N" for seed N at 320 by 240, followed by
// any of "half" (rescaled to half), "noise" (every pixel off by up to 8) and "qNN"
// (saved at JPEG quality NN).
inline bool writeScene(const QString &path, const QString &recipe)
{
    const QStringList words = recipe.split(' ');
    QRandomGenerator random(words.value(1).toUInt());
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(random.generate()));
    {
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < 12; ++i) {
            painter.setBrush(QColor::fromRgb(random.generate()));
            const QRect r(random.bounded(280), random.bounded(200), 20 + random.bounded(140), 20 + random.bounded(100));
            i % 2 ? painter.drawEllipse(r) : painter.drawRect(r);
        }
    }
    int quality = -1;
    for (const QString &word : words) {
        if (word == "half")
            image = image.scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        else if (word.startsWith('q'))
            quality = word.mid(1).toInt();
        else if (word == "noise") {
            for (int y = 0; y < image.height(); ++y) {
                QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    const int d = random.bounded(17) - 8;
                    line[x] = qRgb(qBound(0, qRed(line[x]) + d, 255), qBound(0, qGreen(line[x]) + d, 255),
                                   qBound(0, qBlue(line[x]) + d, 255));
                }
            }
        }
    }
    QDir().mkpath(QFileInfo(path).path());
    return image.save(path, nullptr, quality);
}

} // namespace TestFiles

#endif
