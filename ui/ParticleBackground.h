#pragma once

#include <QColor>
#include <QPointF>
#include <QTimer>
#include <QVector>
#include <QWidget>

// Soft dots that rise slowly, sway and breathe behind other widgets, coming
// back in at the bottom when they leave at the top; optionally over a
// vertical two-colour gradient. It takes no mouse input.
class ParticleBackground : public QWidget
{
    Q_OBJECT

public:
    struct Particle
    {
        QPointF pos;
        float speed = 0;   // upward pixels per step
        float radius = 0;
        float opacity = 0;
        QColor color;
    };

    explicit ParticleBackground(QWidget* parent = nullptr);

    void setBackgroundGradient(const QColor& top, const QColor& bottom);
    void setParticleColor(const QColor& color);
    void setParticleCount(int count);
    // Only particles made or coming back afterwards take the new range.
    void setSpeedRange(float min, float max);

    const QVector<Particle>& particleList() const { return particles; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void initParticles();
    void updateParticles();
    void respawnAtBottom(Particle& particle);
    float speedBetween(float fraction) const;

    QTimer timer{this};   // a child, so that a test can drive the animation step by step
    QVector<Particle> particles;
    float minSpeed = 0.1f;
    float maxSpeed = 0.3f;
    int particleCount = 40;
    bool gradientEnabled = false;
    QColor gradientTop;
    QColor gradientBottom;
    QColor particleColor{255, 255, 255, 140};
};
