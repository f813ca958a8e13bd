#pragma once

#include <QColor>
#include <QPen>
#include <QPixmap>
#include <QRegion>
#include <QWidget>

#include <functional>

class QPainter;

// A percentage painted as a thick ring: the track as a full circle, the
// progress as an arc running clockwise from 12 o'clock.
class CircularProgressBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue)

public:
    explicit CircularProgressBar(QWidget* parent = nullptr);

    int value() const { return m_value; }
    void setValue(int v);
    void setProgressColor(const QColor& color);
    void setTrackColor(const QColor& color);
    void setTextColor(const QColor& color);
    void setPenWidth(int width);

    // The rectangle the pen's centre line runs on; empty when the widget is
    // too small to hold a ring of the current pen width.
    QRectF ringRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void changed();
    QRegion bandOf(const QRectF& rect) const;
    QPen ringPen(const QColor& color) const;
    // A transparent picture of the widget's size with what `draw` paints.
    QPixmap layer(const std::function<void(QPainter&)>& draw) const;

    int m_value = 0;
    int m_penWidth = 10;
    bool m_showText = false;
    QColor m_progressColor{"#1A73E8"};
    QColor m_trackColor{"#E0E0E0"};
    QColor m_textColor{"#333333"};
    // The track and the arc as last drawn; null once anything they show
    // changed (the arc alone with the value).
    QPixmap m_track;
    QPixmap m_arc;
    QRegion m_band;
};
