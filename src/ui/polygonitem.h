#ifndef BOXMERE_POLYGONITEM_H
#define BOXMERE_POLYGONITEM_H

#include <QColor>
#include <QPointF>
#include <QQuickPaintedItem>
#include <QSizeF>
#include <QVariantList>
#include <QVector>

// Paints one polygon from the "points" role: an outline with a light fill in its
// class colour, or an open line with dots for one still being drawn. One painted
// item per polygon keeps a grid of thousands of corners cheap to scroll.
class PolygonItem : public QQuickPaintedItem
{
    Q_OBJECT
    // x, y pairs as fractions of the picture.
    Q_PROPERTY(QVariantList points READ points WRITE setPoints NOTIFY changed)
    // The picture's size as shown, and the point of it at the item's top left corner.
    Q_PROPERTY(QSizeF pictureSize READ pictureSize WRITE setPictureSize NOTIFY changed)
    Q_PROPERTY(QPointF origin READ origin WRITE setOrigin NOTIFY changed)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
    Q_PROPERTY(qreal fillOpacity READ fillOpacity WRITE setFillOpacity NOTIFY changed)
    Q_PROPERTY(qreal lineWidth READ lineWidth WRITE setLineWidth NOTIFY changed)
    // False for a polygon being drawn: no closing edge, no fill, a dot on each corner.
    Q_PROPERTY(bool closed READ closed WRITE setClosed NOTIFY changed)
    // A dashed outline, for what is shown but is no label, e.g. a model's prediction.
    Q_PROPERTY(bool dashed READ dashed WRITE setDashed NOTIFY changed)
    // The scale the picture is shown at, which the texture follows so that a zoomed
    // outline stays sharp.
    Q_PROPERTY(qreal zoom READ zoom WRITE setZoom NOTIFY changed)

public:
    explicit PolygonItem(QQuickItem *parent = nullptr);

    QVariantList points() const;
    void setPoints(const QVariantList &points);
    QSizeF pictureSize() const { return m_pictureSize; }
    void setPictureSize(QSizeF size);
    QPointF origin() const { return m_origin; }
    void setOrigin(QPointF origin);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    qreal fillOpacity() const { return m_fillOpacity; }
    void setFillOpacity(qreal opacity);
    qreal lineWidth() const { return m_lineWidth; }
    void setLineWidth(qreal width);
    bool closed() const { return m_closed; }
    void setClosed(bool closed);
    bool dashed() const { return m_dashed; }
    void setDashed(bool dashed);
    qreal zoom() const { return m_zoom; }
    void setZoom(qreal zoom);

    void paint(QPainter *painter) override;

Q_SIGNALS:
    void changed();

protected:
    void geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    template <typename T> void assign(T &field, const T &value);
    void fitTexture();

    QVector<double> m_points;
    QSizeF m_pictureSize;
    QPointF m_origin;
    QColor m_color = Qt::blue;
    qreal m_fillOpacity = 0.2;
    qreal m_lineWidth = 1;
    bool m_closed = true;
    bool m_dashed = false;
    qreal m_zoom = 1;
};

#endif
