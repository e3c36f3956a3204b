#include "polygonitem.h"

#include "boxes/bboxlist.h"

#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

PolygonItem::PolygonItem(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

QVariantList PolygonItem::points() const
{
    return BBoxList::toVariantList(m_points);
}

void PolygonItem::setPoints(const QVariantList &points)
{
    assign(m_points, BBoxList::fromVariantList(points));
}

template <typename T> void PolygonItem::assign(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    update();
    Q_EMIT changed();
}

void PolygonItem::setPictureSize(QSizeF size)
{
    assign(m_pictureSize, size);
}

void PolygonItem::setOrigin(QPointF origin)
{
    assign(m_origin, origin);
}

void PolygonItem::setColor(const QColor &color)
{
    assign(m_color, color);
}

void PolygonItem::setFillOpacity(qreal opacity)
{
    assign(m_fillOpacity, opacity);
}

void PolygonItem::setLineWidth(qreal width)
{
    assign(m_lineWidth, width);
}

void PolygonItem::setClosed(bool closed)
{
    assign(m_closed, closed);
}

void PolygonItem::setDashed(bool dashed)
{
    assign(m_dashed, dashed);
}

void PolygonItem::setZoom(qreal zoom)
{
    assign(m_zoom, zoom);
    fitTexture();
}

void PolygonItem::geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickPaintedItem::geometryChanged(newGeometry, oldGeometry);
    fitTexture();
}

void PolygonItem::fitTexture()
{
    // Sharp when zoomed in, but never a texture larger than graphics cards take.
    const qreal longest = std::max(width(), height());
    const qreal scale = longest > 0 ? std::clamp(m_zoom, 1.0, 4096 / longest) : 1.0;
    setTextureSize(QSize(int(std::ceil(width() * scale)), int(std::ceil(height() * scale))));
}

void PolygonItem::paint(QPainter *painter)
{
    if (m_points.size() < 2 || m_pictureSize.isEmpty())
        return;
    QPolygonF polygon;
    polygon.reserve(m_points.size() / 2);
    for (int i = 0; i + 1 < m_points.size(); i += 2)
        polygon.append(QPointF(m_points[i] * m_pictureSize.width(), m_points[i + 1] * m_pictureSize.height()) -
                       m_origin);
    painter->setRenderHint(QPainter::Antialiasing);
    // A contrasting line under the coloured one keeps the outline visible on any photo.
    const QColor under = m_color.lightnessF() > 0.6 ? QColor(0, 0, 0, 180) : QColor(255, 255, 255, 180);
    for (const auto &[colour, width] : {std::pair(under, m_lineWidth * 2), std::pair(m_color, m_lineWidth)}) {
        QPen pen(colour, width);
        pen.setJoinStyle(Qt::RoundJoin);
        // The pattern counts in pen widths: the wider line under it dashes in step.
        if (m_dashed)
            pen.setDashPattern(colour == m_color ? QVector<qreal>{4, 3} : QVector<qreal>{2, 1.5});
        painter->setPen(pen);
        if (m_closed) {
            QColor fill = m_color;
            fill.setAlphaF(colour == m_color ? m_fillOpacity : 0);
            painter->setBrush(fill);
            painter->drawPolygon(polygon);
        } else {
            painter->setBrush(Qt::NoBrush);
            painter->drawPolyline(polygon);
        }
    }
    if (m_closed)
        return;
    painter->setPen(QPen(under, m_lineWidth));
    painter->setBrush(m_color);
    for (const QPointF &p : polygon)
        painter->drawEllipse(p, m_lineWidth * 2.5, m_lineWidth * 2.5);
}
