#pragma once

#include <QColor>
#include <QHash>
#include <QRectF>
#include <QString>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <array>
#include <memory>

class CenteredTextLayout;

// Short text tags spread evenly over a slowly turning sphere, drawn with
// perspective; each tag's colour tells its state (0 pending, 1 current,
// 2 previous, 3 done). Purely decorative: it takes no input.
class SphereTagCloud : public QWidget
{
    Q_OBJECT

public:
    struct Tag
    {
        QString text;
        int state = 0;
        bool placed = false;  // laid out on the sphere at least once
        float x = 0, y = 0, z = 0;
        float screenX = 0, screenY = 0;
        float scale = 1;
        float depth = 0;  // after rotation: -1 at the back, 1 at the front
        // The text's extent and layout at each size and weight it was drawn
        // at, by the size in 64ths of a pixel, twice, plus 1 when bold.
        struct Drawn
        {
            QRectF extent;
            std::shared_ptr<const CenteredTextLayout> layout;
        };
        QHash<int, Drawn> drawn;
    };

    explicit SphereTagCloud(QWidget* parent = nullptr);

    void addTag(const QString& text);
    void clearTags();
    void resetStates();
    void setTagState(int index, int state);

    const QVector<Tag>& tagList() const { return tags; }
    float sphereRadius() const { return radius; }
    // Tag indices from the farthest to the nearest, as last projected.
    const QVector<int>& paintingOrder() const { return order; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void tick();
    void layoutTags();
    void projectTags();
    void paintTag(class QPainter& painter, const QFont& base, Tag& tag);

    QTimer timer{this};   // a child, so that a test can drive the animation step by step
    QVector<Tag> tags;
    QVector<int> order;
    float yaw = 0;
    float pitch = 0;
    float radius = 0;
    std::array<QColor, 4> stateColors;
};
