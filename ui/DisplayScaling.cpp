#include "ui/DisplayScaling.h"

#include <QApplication>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>

void followWindowsDisplayScaling()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
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
