// The ring, the keyword sphere and the particles are painted by hand, so their
// geometry and their behaviour at awkward sizes are checked on real pixels.
#include "EventCounter.h"
#include "ui/CachedTextLabel.h"
#include "ui/CircularProgressBar.h"
#include "ui/ParticleBackground.h"
#include "ui/ProgressPage.h"
#include "ui/SphereTagCloud.h"

#include <QImage>
#include <QPainter>
#include <QLabel>
#include <QtTest>

#include <cmath>

namespace {

QImage render(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// An animated widget moves on the ticks of its timer. The tests stop it and
// give the ticks themselves, so that what they see does not depend on how
// soon the machine gets round to a timer.
QTimer* stoppedClock(QWidget& widget)
{
    auto* clock = widget.findChild<QTimer*>();
    clock->stop();
    return clock;
}

void tick(QTimer* clock, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QMetaObject::invokeMethod(clock, "timeout");
}

// Pixels whose colour differs in a channel by more than a rounding of the
// font engine or the antialiasing would make it.
int differingPixels(const QImage& a, const QImage& b)
{
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) > 24 || std::abs(p.green() - q.green()) > 24
                || std::abs(p.blue() - q.blue()) > 24)
                ++differing;
        }
    }
    return differing;
}

bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 && std::abs(a.blue() - b.blue()) < 40;
}

} // namespace

class TestPaintedWidgets : public QObject
{
    Q_OBJECT

private slots:
    void ringClampsValues();
    void ringSkipsRepaintForSameValue();
    void ringRectangleFollowsTheSquare();
    void ringQuarterArcRunsClockwiseFromTwelve();
    void ringAtSizeZeroPaintsNothing();
    void ringRepaintsWhatChanged();
    void ringLooksAsItsArcsDrawnStraight_data();
    void ringLooksAsItsArcsDrawnStraight();
    void sphereRadiusAndLayoutFollowResize();
    void sphereIgnoresStatesOutOfRange();
    void sphereLightsTagsByInsertionOrder();
    void sphereDrawsFrontTagLast();
    void sphereTagsStayOnTheSphereWhileTurning();
    void sphereWithoutPositionsOrSizePaintsNothing();
    void sphereTurnsOnlyWhileShown();
    void sphereLooksAsItsPicture();
    void cachedLabelPaintsAsAPlainLabel();
    void cachedLabelLaysOutNoHiddenWidget();
    void particlesWaitForASize();
    void particlesComeBackBelowTheBottom();
    void particlesSurviveLosingTheirSize();
    void particleGradientWithoutParticles();
};

void TestPaintedWidgets::ringClampsValues()
{
    CircularProgressBar ring;
    ring.setValue(150);
    QCOMPARE(ring.value(), 100);
    ring.setValue(-5);
    QCOMPARE(ring.value(), 0);
    ring.setProperty("value", 42);
    QCOMPARE(ring.value(), 42);
}

void TestPaintedWidgets::ringSkipsRepaintForSameValue()
{
    CircularProgressBar ring;
    ring.resize(200, 200);
    ring.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ring));
    ring.setValue(30);
    QCoreApplication::processEvents();

    EventCounter counter;
    ring.installEventFilter(&counter);
    ring.setValue(30);
    QCoreApplication::processEvents();
    QCOMPARE(counter.count, 0);
    ring.setValue(31);
    QTRY_COMPARE(counter.count, 1);
}

void TestPaintedWidgets::ringRectangleFollowsTheSquare()
{
    CircularProgressBar ring;
    ring.resize(300, 200);
    ring.setPenWidth(10);
    QCOMPARE(ring.ringRect(), QRectF(55, 5, 190, 190));
}

void TestPaintedWidgets::ringQuarterArcRunsClockwiseFromTwelve()
{
    CircularProgressBar ring;
    ring.resize(200, 200);
    ring.setPenWidth(16);
    ring.setProgressColor(Qt::red);
    ring.setTrackColor(Qt::blue);
    ring.setValue(25);
    const QImage image = render(ring);
    // The pen's centre line runs at radius 92 around (100, 100).
    const QPoint rightOfTopQuarter(100 + int(92 * std::cos(M_PI / 4)), 100 - int(92 * std::sin(M_PI / 4)));
    const QPoint leftOfTopQuarter(100 - int(92 * std::cos(M_PI / 4)), 100 - int(92 * std::sin(M_PI / 4)));
    const QPoint bottom(100, 192);
    QVERIFY(near(image.pixelColor(rightOfTopQuarter), Qt::red));
    QVERIFY(near(image.pixelColor(leftOfTopQuarter), Qt::blue));
    QVERIFY(near(image.pixelColor(bottom), Qt::blue));
}

void TestPaintedWidgets::ringAtSizeZeroPaintsNothing()
{
    CircularProgressBar ring;
    ring.setMinimumSize(0, 0);
    ring.resize(0, 0);
    QVERIFY(ring.ringRect().isEmpty());
    ring.setValue(50);
    QVERIFY(ring.grab().isNull() || ring.grab().size().isEmpty());
    ring.resize(12, 12);  // thinner than the pen
    ring.setPenWidth(16);
    QVERIFY(ring.ringRect().isEmpty());
    render(ring);
}

// The ring is drawn once and copied while nothing changes: every change must
// show the next time it is painted.
void TestPaintedWidgets::ringRepaintsWhatChanged()
{
    CircularProgressBar ring;
    ring.resize(200, 200);
    ring.setPenWidth(16);
    ring.setProgressColor(Qt::red);
    ring.setTrackColor(Qt::blue);
    const QPoint bottom(100, 192);
    const QPoint left(8, 100);
    QVERIFY(near(render(ring).pixelColor(bottom), Qt::blue));
    ring.setValue(60);
    QVERIFY(near(render(ring).pixelColor(bottom), Qt::red));
    ring.setProgressColor(Qt::green);
    QVERIFY(near(render(ring).pixelColor(bottom), Qt::green));
    ring.setTrackColor(Qt::black);
    QVERIFY(near(render(ring).pixelColor(left), Qt::black));
    ring.setPenWidth(4);
    QVERIFY(near(render(ring).pixelColor(QPoint(100, 198)), Qt::green));
    QVERIFY(near(render(ring).pixelColor(QPoint(100, 186)), Qt::white));
    ring.resize(160, 160);
    QVERIFY(near(render(ring).pixelColor(QPoint(80, 158)), Qt::green));
}

void TestPaintedWidgets::ringLooksAsItsArcsDrawnStraight_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("pen");
    QTest::newRow("empty") << 0 << 420 << 16;
    QTest::newRow("a sliver") << 1 << 420 << 16;
    QTest::newRow("two fifths") << 37 << 420 << 16;
    QTest::newRow("full") << 100 << 420 << 16;
    QTest::newRow("small and thick") << 63 << 130 << 40;
}

// The ring is copied from pictures of its layers; every pixel must be the one
// drawing its two arcs straight onto what lies beneath would give.
void TestPaintedWidgets::ringLooksAsItsArcsDrawnStraight()
{
    QFETCH(int, value);
    QFETCH(int, side);
    QFETCH(int, pen);
    const QColor beneath("#080B14");
    CircularProgressBar ring;
    ring.resize(side, side);
    ring.setPenWidth(pen);
    ring.setTrackColor(QColor("#1E2433"));
    ring.setProgressColor(QColor("#00C2FF"));
    ring.setValue(value);
    QImage copied(ring.size(), QImage::Format_ARGB32_Premultiplied);
    copied.fill(beneath);
    ring.render(&copied, QPoint(), QRegion(), QWidget::DrawChildren);

    QImage straight(ring.size(), QImage::Format_ARGB32_Premultiplied);
    straight.fill(beneath);
    QPainter painter(&straight);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor("#1E2433"), pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawArc(ring.ringRect(), 90 * 16, 360 * 16);
    painter.setPen(QPen(QColor("#00C2FF"), pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawArc(ring.ringRect(), 90 * 16, -static_cast<int>(value / 100.0 * 360 * 16));
    painter.end();
    QCOMPARE(copied, straight);
}

void TestPaintedWidgets::sphereRadiusAndLayoutFollowResize()
{
    SphereTagCloud cloud;
    cloud.addTag("a");
    cloud.addTag("b");
    cloud.resize(200, 100);
    QTest::qWait(0);
    cloud.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cloud));
    QCOMPARE(cloud.sphereRadius(), 40.0f);
    const auto& tags = cloud.tagList();
    QVERIFY(tags[0].placed && tags[1].placed);
    QVERIFY(std::abs(tags[0].z - 0.5f) < 1e-5f);  // z = 1 - 1/n
    QVERIFY(std::abs(tags[1].z + 0.5f) < 1e-5f);
}

void TestPaintedWidgets::sphereIgnoresStatesOutOfRange()
{
    SphereTagCloud cloud;
    for (const char* text : {"a", "b", "c"})
        cloud.addTag(text);
    cloud.setTagState(-1, 1);
    cloud.setTagState(3, 1);
    for (const auto& tag : cloud.tagList())
        QCOMPARE(tag.state, 0);
}

void TestPaintedWidgets::sphereLightsTagsByInsertionOrder()
{
    SphereTagCloud cloud;
    cloud.resize(380, 380);
    for (int i = 0; i < 20; ++i)
        cloud.addTag(QString::number(i));
    QTest::qWait(100);  // a few turns: depth order no longer follows insertion
    cloud.setTagState(3, 1);
    QCOMPARE(cloud.tagList()[3].text, QString("3"));
    QCOMPARE(cloud.tagList()[3].state, 1);
    cloud.resetStates();
    QCOMPARE(cloud.tagList()[3].state, 0);
}

void TestPaintedWidgets::sphereDrawsFrontTagLast()
{
    SphereTagCloud cloud;
    for (int i = 0; i < 20; ++i)
        cloud.addTag(QString::number(i));
    // Laid out before the first tick, so yaw and pitch are still 0. A hidden
    // widget gets its resize event only when shown, hence the direct event.
    cloud.resize(380, 380);
    QResizeEvent resize(QSize(380, 380), QSize());
    QCoreApplication::sendEvent(&cloud, &resize);
    const QVector<int>& order = cloud.paintingOrder();
    QCOMPARE(order.size(), 20);
    QCOMPARE(order.last(), 0);
    QCOMPARE(order.first(), 19);
    QVERIFY(std::abs(cloud.tagList()[0].depth - 0.95f) < 1e-5f);
}

void TestPaintedWidgets::sphereTagsStayOnTheSphereWhileTurning()
{
    SphereTagCloud cloud;
    cloud.resize(380, 380);
    for (int i = 0; i < 20; ++i)
        cloud.addTag(QString::number(i));
    cloud.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cloud));
    QTest::qWait(200);
    for (const auto& tag : cloud.tagList()) {
        const float dx = tag.screenX - 190, dy = tag.screenY - 190;
        QVERIFY(std::sqrt(dx * dx + dy * dy) / (cloud.sphereRadius() * tag.scale) <= 1.0001f);
        QVERIFY(tag.scale >= 0.75f && tag.scale <= 1.5f);
    }
}

void TestPaintedWidgets::sphereWithoutPositionsOrSizePaintsNothing()
{
    SphereTagCloud cloud;
    cloud.setMinimumSize(0, 0);
    cloud.resize(0, 0);
    cloud.show();
    cloud.addTag("never placed");
    QTest::qWait(80);  // ticks project; a tag without a position is left out
    QVERIFY(!cloud.tagList()[0].placed);
    QVERIFY(cloud.paintingOrder().isEmpty());
    cloud.grab();

    SphereTagCloud empty;
    empty.resize(100, 100);
    QTest::qWait(40);
    QCOMPARE(render(empty).pixelColor(50, 50), QColor(Qt::white));

    cloud.resize(100, 100);
    QTRY_VERIFY(cloud.tagList()[0].placed);
    QCOMPARE(cloud.paintingOrder().size(), 1);
}

// A sphere that cannot be seen does not turn, so a window whose sphere lies on
// a hidden page sleeps; shown again, it turns on from where it stood.
void TestPaintedWidgets::sphereTurnsOnlyWhileShown()
{
    QWidget page;
    page.resize(400, 400);
    auto* cloud = new SphereTagCloud(&page);
    cloud->setGeometry(10, 10, 380, 380);
    for (int i = 0; i < 20; ++i)
        cloud->addTag(QString::number(i));
    const auto positions = [cloud] {
        QVector<QPointF> result;
        for (const auto& tag : cloud->tagList())
            result << QPointF(tag.screenX, tag.screenY);
        return result;
    };
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QVector<QPointF> before = positions();
    QTRY_VERIFY(positions() != before);

    page.hide();
    before = positions();
    QTest::qWait(150);
    QCOMPARE(positions(), before);

    page.show();
    QTRY_VERIFY(positions() != before);
}

// Each tag's text is laid out once and drawn from there while its font stays.
// The sphere must look as the picture beside this test shows it: four frames
// side by side, as laid out, with three tags lit, turned, and with the
// widget's font spaced, each drawn after the frame before. A change meant to
// show remakes the picture, in the environment ctest gives the test
// (offscreen, 96 dots per inch); look at it before committing it:
//   cmake --build build-test --target tst_PaintedWidgets
//   TESSARO_WRITE_PICTURES=1 ctest --test-dir build-test -R tst_PaintedWidgets
void TestPaintedWidgets::sphereLooksAsItsPicture()
{
    ProgressPage page;
    SphereTagCloud cloud;
    for (const SphereTagCloud::Tag& keyword : page.tagCloud()->tagList())
        cloud.addTag(keyword.text);
    // Laid out without being shown, so that its timer never starts.
    cloud.resize(380, 380);
    QResizeEvent resize(cloud.size(), QSize());
    QCoreApplication::sendEvent(&cloud, &resize);
    QTimer* clock = stoppedClock(cloud);

    QImage frames(4 * cloud.width(), cloud.height(), QImage::Format_RGB32);
    frames.fill(QColor("#080B14"));
    const auto frame = [&](int index) {
        cloud.render(&frames, QPoint(index * cloud.width(), 0), QRegion(), QWidget::DrawChildren);
    };
    frame(0);
    cloud.setTagState(0, 3);
    cloud.setTagState(1, 2);
    cloud.setTagState(2, 1);
    frame(1);
    tick(clock, 100);
    frame(2);
    QFont spaced = cloud.font();
    spaced.setLetterSpacing(QFont::PercentageSpacing, 130);
    cloud.setFont(spaced);
    frame(3);

    const QString picture = QStringLiteral(TESSARO_SOURCE_DIR "/tests/ui/SphereTagCloud.png");
    if (qEnvironmentVariableIsSet("TESSARO_WRITE_PICTURES"))
        QVERIFY(frames.save(picture));
    const QImage expected = QImage(picture).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(expected.size(), frames.size());
    // Glyphs may land a shade apart from one font engine to the next; a text
    // or halo laid out for another size, weight or spacing moves whole strokes
    // (some 250 pixels for a halo of a stale size or weight, thousands for the
    // spacing).
    const int differing = differingPixels(frames, expected);
    QVERIFY2(differing <= 50, qPrintable(QString::number(differing) + " pixels differ from the picture"));
}

// The percentage over the sphere paints from a picture of itself: it must
// look as the label it stands for, whatever its text, colour or size.
void TestPaintedWidgets::cachedLabelPaintsAsAPlainLabel()
{
    QWidget window;
    window.setObjectName("window");
    window.setStyleSheet("QWidget#window { background: #080B14; }");
    window.resize(300, 200);
    auto* cached = new CachedTextLabel("45%", &window);
    auto* plain = new QLabel("45%", &window);
    for (QLabel* label : {static_cast<QLabel*>(cached), plain}) {
        label->setGeometry(50, 40, 200, 120);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(QFont("Microsoft YaHei", 56, QFont::Bold));
        label->setStyleSheet("color: #E8ECF2;");
    }
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const auto looksAlike = [&] {
        plain->hide();
        cached->show();
        QTest::qWait(20);   // the picture is taken once a paint is over
        const QImage fromPicture = window.grab().toImage();
        cached->hide();
        plain->show();
        const bool alike = window.grab().toImage() == fromPicture;
        cached->show();
        return alike;
    };
    QVERIFY(looksAlike());
    cached->setText("100%");
    plain->setText("100%");
    QVERIFY(looksAlike());
    cached->setStyleSheet("color: #FF7A45;");
    plain->setStyleSheet("color: #FF7A45;");
    QVERIFY(looksAlike());
    cached->setFont(QFont("Microsoft YaHei", 40));
    plain->setFont(QFont("Microsoft YaHei", 40));
    QVERIFY(looksAlike());
    cached->resize(220, 130);
    plain->resize(220, 130);
    QVERIFY(looksAlike());
}

// Taking the percentage's picture must not lay out what the window still
// hides, as QWidget::render would: the pages not yet shown, before they are
// styled.
void TestPaintedWidgets::cachedLabelLaysOutNoHiddenWidget()
{
    QWidget window;
    window.resize(300, 200);
    auto* hidden = new QWidget(&window);
    hidden->hide();
    hidden->setGeometry(0, 0, 120, 80);  // a resize it is told of only when shown
    EventCounter resizes(QEvent::Resize);
    hidden->installEventFilter(&resizes);
    auto* cached = new CachedTextLabel("0%", &window);
    cached->setGeometry(50, 40, 200, 120);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    cached->setText("45%");
    cached->repaint();
    QCOMPARE(resizes.count, 0);
    hidden->show();
    QCOMPARE(resizes.count, 1);
}

void TestPaintedWidgets::particlesWaitForASize()
{
    QWidget holder;
    auto* particles = new ParticleBackground(&holder);
    particles->resize(0, 0);
    QTimer* clock = particles->findChild<QTimer*>();
    QVERIFY(clock->isActive());   // from the start, whether or not it can be seen
    QCOMPARE(clock->interval(), 50);
    clock->stop();
    holder.show();
    QTest::qWait(0);
    tick(clock, 2);
    QVERIFY(particles->particleList().isEmpty());
    QVERIFY(particles->testAttribute(Qt::WA_TransparentForMouseEvents));

    particles->resize(200, 100);
    QCOMPARE(particles->particleList().size(), 40);
    for (const auto& p : particles->particleList())
        QVERIFY(QRectF(0, 0, 200, 100).contains(p.pos));
    particles->setParticleCount(0);
    tick(clock);
    QVERIFY(particles->particleList().isEmpty());
}

// Particles fast enough to leave at the top in one step come back below the
// bottom, with the speed range set after they were made.
void TestPaintedWidgets::particlesComeBackBelowTheBottom()
{
    ParticleBackground particles;
    QTimer* clock = stoppedClock(particles);
    particles.resize(200, 100);
    QTest::qWait(0);  // the first particles, made once the widget has its size
    particles.setSpeedRange(1000, 1000);
    particles.setParticleCount(6);
    particles.setSpeedRange(1, 2);
    QCOMPARE(particles.particleList().first().speed, 1000.0f);  // made before: unchanged
    tick(clock);
    for (const auto& p : particles.particleList()) {
        QCOMPARE(p.pos.y(), 120.0);
        QVERIFY(p.pos.x() >= 0 && p.pos.x() < 200);
        QVERIFY(p.speed >= 1 && p.speed < 2);
    }
}

void TestPaintedWidgets::particlesSurviveLosingTheirSize()
{
    QWidget holder;
    auto* particles = new ParticleBackground(&holder);
    QTimer* clock = stoppedClock(*particles);
    particles->resize(200, 100);
    holder.show();
    QTest::qWait(0);
    particles->setSpeedRange(1000, 1000);
    particles->setParticleCount(4);
    particles->resize(0, 0);  // keeps the particles, which come back at the left edge
    QCOMPARE(particles->particleList().size(), 4);
    for (int step = 0; step < 3; ++step) {
        tick(clock);
        for (const auto& p : particles->particleList())
            QCOMPARE(p.pos, QPointF(0, 20));
    }
    particles->repaint();
}

void TestPaintedWidgets::particleGradientWithoutParticles()
{
    ParticleBackground particles;
    particles.resize(40, 200);
    particles.setParticleCount(0);
    particles.setBackgroundGradient(Qt::red, Qt::blue);
    const QImage image = render(particles);
    QVERIFY(near(image.pixelColor(20, 1), Qt::red));
    QVERIFY(near(image.pixelColor(20, 198), Qt::blue));
}

QTEST_MAIN(TestPaintedWidgets)
#include "tst_PaintedWidgets.moc"
