#include "ui/DisplayScaling.h"

#include <QApplication>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QSize>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

bool fits(const QSize& windowSize, const QSizeF& workArea, qreal scale)
{
    // A window of whole pixels at a scale that fits exactly has to count as fitting.
    constexpr qreal kRounding = 1e-6;
    return windowSize.width() * scale <= workArea.width() + kRounding
           && windowSize.height() * scale <= workArea.height() + kRounding;
}

// Qt's variables that set the scale by hand, for trying a program out.
bool scaleSetByHand()
{
    return qEnvironmentVariableIsSet("QT_SCALE_FACTOR") || qEnvironmentVariableIsSet("QT_SCREEN_SCALE_FACTORS");
}

} // namespace

void followWindowsDisplayScaling()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
}

qreal fittingScale(const QSize& windowSize, const QSizeF& workArea, qreal windowsScale)
{
    if (fits(windowSize, workArea, windowsScale) || windowsScale <= 1)
        return windowsScale;
    const qreal largest = std::min(workArea.width() / windowSize.width(), workArea.height() / windowSize.height());
    const qreal wholePercent = std::floor(largest * 100 + 1e-6) / 100;
    return std::clamp(wholePercent, qreal(1), windowsScale);
}

// Qt learns a screen's scale, and its work area, only once the application
// object exists, and fixes every screen's scale then. Where the window would
// not fit, the object is made once more with the screen's scale set through
// QT_SCREEN_SCALE_FACTORS, which replaces Windows' factor for that screen
// alone: another screen keeps its own.
std::unique_ptr<QApplication> openScaledApplication(int& argc, char** argv, const QSize& windowSize)
{
    followWindowsDisplayScaling();
    // Qt takes its own options (-platform, -style) out of the arguments; the
    // second object is given them again.
    const std::vector<char*> given(argv, argv + argc + 1);
    auto app = std::make_unique<QApplication>(argc, argv);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || scaleSetByHand())
        return app;
    const qreal windowsScale = screen->devicePixelRatio();
    const QSizeF workArea = QSizeF(screen->availableGeometry().size()) * windowsScale;
    const qreal scale = fittingScale(windowSize, workArea, windowsScale);
    if (qFuzzyCompare(scale, windowsScale))
        return app;
    // Screens without a name are listed in order, the primary one first.
    const QByteArray name = screen->name().toLocal8Bit();
    app.reset();
    qputenv("QT_SCREEN_SCALE_FACTORS", (name.isEmpty() ? QByteArray() : name + '=') + QByteArray::number(scale));
    std::copy(given.begin(), given.end(), argv);
    argc = static_cast<int>(given.size()) - 1;
    return std::make_unique<QApplication>(argc, argv);
}

QPoint openingPosition(const QRect& workArea, const QSize& size)
{
    return {workArea.x() + qMax(0, (workArea.width() - size.width()) / 2),
            workArea.y() + qMax(0, (workArea.height() - size.height()) / 2)};
}

QPixmap sharpPicture(const QPixmap& source, const QSize& size, qreal ratio)
{
    QPixmap picture = source.scaled(size * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(ratio);
    return picture;
}
