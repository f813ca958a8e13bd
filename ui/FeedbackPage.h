#pragma once

#include <QWidget>

class QFrame;
class QGraphicsDropShadowEffect;
class QPushButton;
class QTimer;
class QVBoxLayout;

// The page laid over the result page once the user has rated the run: mode 0
// thanks the user and asks to share the run's figures anonymously, any other
// mode hands out a free remote-service card. It only relays its buttons.
class FeedbackPage : public QWidget
{
    Q_OBJECT

public:
    explicit FeedbackPage(int mode, QWidget* parent = nullptr);

    void setTheme(int theme);

    // "VIP-2026-%1-%2", two numbers from 1000 to 9998, drawn once per page.
    static QString newCardNumber();

signals:
    void finished();
    void shareData();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void onShareClicked();
    void onFinishClicked();

private:
    void buildThanks(QVBoxLayout* layout);
    void buildServiceCard(QVBoxLayout* layout);
    QFrame* buildProtectCard();
    void addGlowEffect(QPushButton* button);
    static void pulse(QGraphicsDropShadowEffect* glow);

    int mode;
    QFrame* card = nullptr;
    QList<QTimer*> glows;   // one timer per glowing button, running while the page is shown
};
