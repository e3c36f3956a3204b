#include "perceptualhash.h"

#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int Side = 32;
constexpr int Low = 8;

struct CosineTable
{
    std::array<std::array<float, Side>, Low> c;
    CosineTable()
    {
        for (int u = 0; u < Low; ++u) {
            for (int x = 0; x < Side; ++x)
                c[u][x] = float(std::cos((2 * x + 1) * u * M_PI / (2 * Side)));
        }
    }
};

// The luminance averaged over a grid of Side by Side cells; a picture smaller than
// the grid repeats its pixels.
std::array<float, Side * Side> reduce(const QImage &image)
{
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    const int w = gray.width(), h = gray.height();
    std::array<int, Side + 1> xs, ys;
    for (int i = 0; i <= Side; ++i) {
        xs[i] = i * w / Side;
        ys[i] = i * h / Side;
    }
    std::array<float, Side * Side> cells{};
    for (int cy = 0; cy < Side; ++cy) {
        const int y1 = std::max(ys[cy] + 1, ys[cy + 1]);
        for (int cx = 0; cx < Side; ++cx) {
            const int x1 = std::max(xs[cx] + 1, xs[cx + 1]);
            int sum = 0;
            for (int y = ys[cy]; y < y1; ++y) {
                const uchar *line = gray.constScanLine(y);
                for (int x = xs[cx]; x < x1; ++x)
                    sum += line[x];
            }
            cells[cy * Side + cx] = float(sum) / float((y1 - ys[cy]) * (x1 - xs[cx]));
        }
    }
    return cells;
}

} // namespace

quint64 PerceptualHash::ofImage(const QImage &image)
{
    if (image.isNull())
        return 0;
    static const CosineTable table;
    const std::array<float, Side *Side> cells = reduce(image);
    // The 2-D DCT of the lowest frequencies only, rows first.
    std::array<float, Side * Low> rows;
    for (int y = 0; y < Side; ++y) {
        for (int u = 0; u < Low; ++u) {
            float sum = 0;
            for (int x = 0; x < Side; ++x)
                sum += cells[y * Side + x] * table.c[u][x];
            rows[y * Low + u] = sum;
        }
    }
    std::array<float, Low * Low> coefficients;
    for (int v = 0; v < Low; ++v) {
        for (int u = 0; u < Low; ++u) {
            float sum = 0;
            for (int y = 0; y < Side; ++y)
                sum += rows[y * Low + u] * table.c[v][y];
            coefficients[v * Low + u] = sum;
        }
    }
    // The mean brightness (the first coefficient) would outweigh the rest.
    std::array<float, Low * Low - 1> ac;
    std::copy(coefficients.begin() + 1, coefficients.end(), ac.begin());
    std::nth_element(ac.begin(), ac.begin() + ac.size() / 2, ac.end());
    const float median = ac[ac.size() / 2];
    quint64 hash = 0;
    for (int i = 1; i < Low * Low; ++i) {
        if (coefficients[i] > median)
            hash |= quint64(1) << i;
    }
    return hash;
}

bool PerceptualHash::ofFile(const QString &path, quint64 &hash)
{
    QImageReader reader(path);
    const QSize size = reader.size();
    // A JPEG decodes at 1/2, 1/4 or 1/8 for a fraction of the work when asked for that
    // size; the grid needs no more than Side pixels a side.
    if (size.isValid() && reader.format() == "jpeg") {
        int scale = 8;
        while (scale > 1 && (size.width() / scale < Side || size.height() / scale < Side))
            scale /= 2;
        if (scale > 1)
            reader.setScaledSize(QSize(size.width() / scale, size.height() / scale));
    }
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    hash = ofImage(image);
    return true;
}

int PerceptualHash::distance(quint64 a, quint64 b)
{
    return qPopulationCount(a ^ b);
}
