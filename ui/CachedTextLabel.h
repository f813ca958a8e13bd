#pragma once

#include <QLabel>
#include <QPixmap>

// A label that keeps a picture of itself while its text, font, colours and
// size stay as they are, and paints from it. Laid over an animation it is
// painted anew with every frame of it, and large text costs much to draw:
// the progress page's big percentage lies over the turning keyword sphere.
// It shows plain text without an indent, as the percentage is.
class CachedTextLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool isCurrent() const;
    void takePicture();
    void drawText(QPainter& painter);

    QPixmap m_picture;
    QString m_pictureText;
};
