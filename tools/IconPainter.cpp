// Draws the pictures compiled into the program, so that they can be remade
// from source: run it with the resources/ICON folder as its only argument.
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

namespace {

const QColor kBlue("#1A73E8");
const QColor kDeepBlue("#1557C0");
const QColor kGreen("#10B981");
const QColor kOrange("#FF7A45");

QImage canvas(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The image dialog shows its pictures at 350 x 472; they are drawn at twice
// that, in the same proportions, so that nothing is stretched.
constexpr int kCardWidth = 700;
constexpr int kCardHeight = 944;

// A portrait card with a vertical gradient; answers a painter whose origin is
// the top-left of the card's centred square, where the motif is drawn.
QImage portraitCard(const QColor& top, const QColor& bottom, QPainter& p)
{
    QImage image(kCardWidth, kCardHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    p.begin(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, kCardHeight);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0, 0, kCardWidth, kCardHeight), kCardWidth * 0.08, kCardWidth * 0.08);
    p.translate(0, (kCardHeight - kCardWidth) / 2.0);
    return image;
}

void fillRoundedSquare(QPainter& p, const QRectF& r, const QColor& top, const QColor& bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, r.width() * 0.22, r.height() * 0.22);
}

// The lightning bolt of the logo, drawn on a unit square and scaled to r.
QPainterPath bolt(const QRectF& r)
{
    const QPointF unit[] = {{0.58, 0.06}, {0.22, 0.56}, {0.47, 0.56}, {0.40, 0.94},
                            {0.78, 0.40}, {0.53, 0.40}};
    QPolygonF polygon;
    for (const QPointF& u : unit)
        polygon << QPointF(r.left() + u.x() * r.width(), r.top() + u.y() * r.height());
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    return path;
}

QImage logo(int side)
{
    QImage image = canvas(side);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF square(side * 0.04, side * 0.04, side * 0.92, side * 0.92);
    fillRoundedSquare(p, square, kBlue, kDeepBlue);
    p.setBrush(Qt::white);
    p.drawPath(bolt(square.adjusted(side * 0.16, side * 0.12, -side * 0.16, -side * 0.12)));
    return image;
}

// 1.png: the service card, a shield with a tick.
QImage shieldCard()
{
    const int side = kCardWidth;
    QPainter p;
    QImage image = portraitCard(QColor("#ECFDF5"), QColor("#D1FAE5"), p);
    QPainterPath shield;
    const double c = side / 2.0;
    shield.moveTo(c, side * 0.16);
    shield.lineTo(side * 0.76, side * 0.27);
    shield.cubicTo(side * 0.76, side * 0.58, side * 0.66, side * 0.74, c, side * 0.86);
    shield.cubicTo(side * 0.34, side * 0.74, side * 0.24, side * 0.58, side * 0.24, side * 0.27);
    shield.closeSubpath();
    p.setBrush(kGreen);
    p.drawPath(shield);
    p.setPen(QPen(Qt::white, side * 0.055, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({{side * 0.38, side * 0.50}, {side * 0.47, side * 0.60}, {side * 0.64, side * 0.40}}));
    p.end();
    return image;
}

// 2.png: customer service, two speech bubbles.
QImage serviceBubbles()
{
    const int side = kCardWidth;
    QPainter p;
    QImage image = portraitCard(QColor("#EFF6FF"), QColor("#DBEAFE"), p);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(side * 0.14, side * 0.20, side * 0.50, side * 0.36), side * 0.08, side * 0.08);
    p.drawPolygon(QPolygonF({{side * 0.24, side * 0.54}, {side * 0.22, side * 0.66}, {side * 0.36, side * 0.55}}));
    p.setBrush(kOrange);
    p.drawRoundedRect(QRectF(side * 0.40, side * 0.46, side * 0.46, side * 0.32), side * 0.08, side * 0.08);
    p.drawPolygon(QPolygonF({{side * 0.74, side * 0.76}, {side * 0.78, side * 0.88}, {side * 0.64, side * 0.77}}));
    p.setBrush(Qt::white);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(side * (0.27 + i * 0.12), side * 0.38), side * 0.03, side * 0.03);
    p.end();
    return image;
}

// 3.png: remote help, a screen with a helping hand's cursor.
QImage remoteScreen()
{
    const int side = kCardWidth;
    QPainter p;
    QImage image = portraitCard(QColor("#FEF2F2"), QColor("#FEE2E2"), p);
    p.setPen(QPen(QColor("#0F1520"), side * 0.035, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(side * 0.16, side * 0.20, side * 0.68, side * 0.46), side * 0.04, side * 0.04);
    p.drawLine(QPointF(side * 0.5, side * 0.66), QPointF(side * 0.5, side * 0.78));
    p.drawLine(QPointF(side * 0.34, side * 0.80), QPointF(side * 0.66, side * 0.80));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#EF4444"));
    p.drawPolygon(QPolygonF({{side * 0.44, side * 0.30}, {side * 0.44, side * 0.56}, {side * 0.50, side * 0.50},
                             {side * 0.55, side * 0.60}, {side * 0.59, side * 0.58}, {side * 0.54, side * 0.48},
                             {side * 0.62, side * 0.47}}));
    p.end();
    return image;
}

bool save(const QImage& image, const QDir& dir, const QString& name)
{
    const bool ok = image.save(dir.filePath(name));
    QTextStream(stdout) << (ok ? "wrote " : "FAILED ") << dir.filePath(name) << '\n';
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: IconPainter <output folder>\n";
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    dir.mkpath(".");
    bool ok = save(logo(512), dir, "U512.png");
    ok = save(logo(256), dir, "U512.ico") && ok;  // the icon format holds at most 256 px
    ok = save(shieldCard(), dir, "1.png") && ok;
    ok = save(serviceBubbles(), dir, "2.png") && ok;
    ok = save(remoteScreen(), dir, "3.png") && ok;
    return ok ? 0 : 1;
}
