#pragma once

#include <QLabel>
#include <QPixmap>

// A label that keeps a picture of itself while its text, font, colours and
// size stay as they are, and paints from it. Laid over an animation it is
// painted anew with every frame of it, and large text costs much to draw:
// the progress page's big percentage lies over the turning keyword sphere.
class CachedTextLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    // Takes the new picture at once while the label is shown: were the label
    // painted first and pictured after, its large text would be drawn twice.
    // QLabel::setText works too, at that price.
    void setText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool isCurrent() const;
    void takePicture();

    QPixmap m_picture;
    QString m_pictureText;
    bool m_takingPicture = false;
    bool m_pictureQueued = false;
};
