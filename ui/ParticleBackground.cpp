#include "ui/ParticleBackground.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

#include <cmath>

namespace {

// One phase for every instance: each widget's step advances it.
float swayPhase = 0;

QRandomGenerator& generator()
{
    return *QRandomGenerator::global();
}

QColor withAlpha(QColor color, float opacity)
{
    color.setAlphaF(qBound(0.0, double(opacity), 1.0));
    return color;
}

} // namespace

ParticleBackground::ParticleBackground(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    timer.setInterval(50);
    connect(&timer, &QTimer::timeout, this, [this] {
        updateParticles();
        update();
    });
    timer.start();
    // The widget's own context ends the call with the widget.
    QTimer::singleShot(0, this, [this] {
        if (width() > 0 && height() > 0)
            initParticles();
    });
}

void ParticleBackground::setBackgroundGradient(const QColor& top, const QColor& bottom)
{
    gradientTop = top;
    gradientBottom = bottom;
    gradientEnabled = true;
    update();
}

void ParticleBackground::setParticleColor(const QColor& color)
{
    particleColor = color;
    if (particles.isEmpty())
        initParticles();
    for (Particle& p : particles)
        p.color = withAlpha(color, p.opacity);
}

void ParticleBackground::setParticleCount(int count)
{
    particleCount = count;
    initParticles();
}

void ParticleBackground::setSpeedRange(float min, float max)
{
    minSpeed = min;
    maxSpeed = max;
}

float ParticleBackground::speedBetween(float fraction) const
{
    return minSpeed + (maxSpeed - minSpeed) * fraction;
}

void ParticleBackground::initParticles()
{
    if (width() < 1 || height() < 1)
        return;
    particles.clear();
    for (int i = 0; i < particleCount; ++i) {
        Particle p;
        p.pos = QPointF(generator().bounded(width()), generator().bounded(height()));
        p.speed = speedBetween(float(generator().generate() % 1000) / 1000);
        p.radius = float(generator().generate() % 5 + 3);
        p.opacity = float(generator().generate() % 1000) * 0.15f / 1000 + 0.15f;
        p.color = withAlpha(particleColor, p.opacity);
        particles.append(p);
    }
}

// A widget shrunk to no width keeps its particles; one coming back then
// starts at the left edge.
void ParticleBackground::respawnAtBottom(Particle& p)
{
    p.pos.setY(height() + 20);
    p.pos.setX(width() > 0 ? generator().bounded(width()) : 0);
    p.radius = float(generator().bounded(8) + 4);
    p.speed = speedBetween(float(generator().generateDouble()));
}

void ParticleBackground::updateParticles()
{
    if (particles.isEmpty())
        return;
    swayPhase += 0.01f;
    for (Particle& p : particles) {
        p.pos.ry() -= p.speed;
        p.pos.rx() += std::sin(swayPhase + p.pos.x() * 0.01) * 0.3 + (generator().bounded(3) - 1) * 0.1;
        p.opacity = float((std::sin(swayPhase + p.pos.y() * 0.02) * 0.5 + 0.5) * 0.4 + 0.3);
        p.color = withAlpha(p.color, p.opacity);
        if (p.pos.y() < -20)
            respawnAtBottom(p);
        if (p.pos.x() < -20)
            p.pos.setX(width() + 10);
        if (p.pos.x() > width() + 20)
            p.pos.setX(-10);
    }
}

void ParticleBackground::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (width() >= 1 && height() >= 1)
        initParticles();
}

void ParticleBackground::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (gradientEnabled) {
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, gradientTop);
        gradient.setColorAt(1, gradientBottom);
        painter.fillRect(rect(), gradient);
    }
    painter.setPen(Qt::NoPen);
    for (const Particle& p : qAsConst(particles)) {
        painter.setBrush(withAlpha(p.color, p.opacity * 0.25f));
        painter.drawEllipse(p.pos, 2 * p.radius, 2 * p.radius);
        painter.setBrush(p.color);
        painter.drawEllipse(p.pos, p.radius, p.radius);
    }
}

#include "moc_ParticleBackground.cpp"
