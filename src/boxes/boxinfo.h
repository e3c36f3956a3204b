#ifndef BOXMERE_BOXINFO_H
#define BOXMERE_BOXINFO_H

#include <QVector>

// One labelled box or polygon: its class and its centre and size as fractions of
// the image size.
struct BoxInfo
{
    int catId = 0;
    double cx = 0.0;
    double cy = 0.0;
    double cw = 0.0;
    double ch = 0.0;
    // The label-file line the box was read from, counted from 1; 0 for a box made
    // since. Edits keep it, so that a save writes the box back in its place.
    int line = 0;
    // A polygon's corners as x, y pairs, fractions of the image size; empty for a
    // plain box. cx to ch then hold the polygon's bounding box. Four corners are
    // also how oriented boxes are written.
    QVector<double> points = {};

    bool isPolygon() const { return !points.isEmpty(); }
    int pointCount() const { return points.size() / 2; }
    // Sets the corners and makes cx to ch their bounding box.
    void setPoints(const QVector<double> &xy)
    {
        points = xy;
        if (xy.size() < 2)
            return;
        double x0 = xy[0], x1 = xy[0], y0 = xy[1], y1 = xy[1];
        for (int i = 2; i + 1 < xy.size(); i += 2) {
            x0 = qMin(x0, xy[i]);
            x1 = qMax(x1, xy[i]);
            y0 = qMin(y0, xy[i + 1]);
            y1 = qMax(y1, xy[i + 1]);
        }
        cx = (x0 + x1) / 2;
        cy = (y0 + y1) / 2;
        cw = x1 - x0;
        ch = y1 - y0;
    }
};

// Equal values; the line a box came from does not count.
inline bool operator==(const BoxInfo &a, const BoxInfo &b)
{
    return a.catId == b.catId && a.cx == b.cx && a.cy == b.cy && a.cw == b.cw && a.ch == b.ch && a.points == b.points;
}

#endif
