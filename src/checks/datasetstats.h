#ifndef BOXMERE_DATASETSTATS_H
#define BOXMERE_DATASETSTATS_H

#include "checks/labelcheck.h"

#include <QVariantMap>
#include <QVector>

#include <array>
#include <map>
#include <memory>
#include <vector>

struct BoxInfo;

// Figures over a set of images: what the statistics panel draws and `stats` prints.
class DatasetStats
{
public:
    // Images with this many boxes or more share the last bar of boxesPerImage.
    static constexpr int PerImageBars = 30;
    // Box widths and heights (fractions of the image) fall into Bins by Bins cells.
    static constexpr int Bins = 20;

    // Counts one image with its boxes and problems.
    void add(const QVector<std::shared_ptr<BoxInfo>> &boxes, const QVector<LabelCheck::Problem> &problems);
    // Counts problems that belong to no image row, such as pictures without a label file.
    void addProblems(LabelCheck::Kind kind, int count);

    int images() const { return m_images; }
    int boxes() const { return m_boxes; }
    const std::map<int, int> &boxesPerClass() const { return m_perClass; }
    // Polygons are among the boxes too.
    int polygons() const { return m_polygons; }
    const std::map<int, int> &polygonsPerClass() const { return m_polygonsPerClass; }
    // The number of points of the polygon at quantile q; 0 without polygons.
    int pointsQuantile(double q) const;
    // Index n: the images with n boxes (the last index: PerImageBars or more).
    const std::array<int, PerImageBars + 1> &boxesPerImage() const { return m_perImage; }
    // Row-major, row = height bin, column = width bin.
    const std::array<int, Bins * Bins> &sizeHistogram() const { return m_sizes; }
    const std::array<int, LabelCheck::KindCount> &problems() const { return m_problems; }
    // Fractions of the image: the width (or height) of the box at quantile q.
    double widthQuantile(double q) const;
    double heightQuantile(double q) const;
    // Per class: the images holding a box of it, and the median width and height of
    // its boxes (fractions of the image; NaN for a class without boxes of a size).
    int imagesWithClass(int catId) const;
    double classWidthMedian(int catId) const;
    double classHeightMedian(int catId) const;

    // For QML: "images", "boxes", "polygons", "perClass" (catId, boxes, polygons),
    // "points" (p5, median, p95 of the points per polygon), "perImage" (label, images),
    // "sizes" (bins, counts, max) and "problems" (kind, name, count).
    QVariantMap toVariant() const;

private:
    int m_images = 0;
    int m_boxes = 0;
    std::map<int, int> m_perClass;
    int m_polygons = 0;
    std::map<int, int> m_polygonsPerClass;
    std::vector<double> m_points;
    std::array<int, PerImageBars + 1> m_perImage{};
    std::array<int, Bins * Bins> m_sizes{};
    std::array<int, LabelCheck::KindCount> m_problems{};
    // For the quantiles.
    std::vector<double> m_widths;
    std::vector<double> m_heights;
    struct ClassSizes
    {
        int images = 0;
        std::vector<double> widths;
        std::vector<double> heights;
    };
    std::map<int, ClassSizes> m_classSizes;
};

#endif
