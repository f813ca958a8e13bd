#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

#include <memory>

namespace Ui { class ProgressPage; }
class CircularProgressBar;
class SphereTagCloud;

// The page shown while a one-click run is under way: a ring with the overall
// percentage, a sphere of keywords lit as the run advances, and the texts of
// the current step. It only shows what the engine reports.
class ProgressPage : public QWidget
{
    Q_OBJECT

public:
    struct StepText
    {
        QString title;
        QString desc;
        QString tip;
    };

    explicit ProgressPage(QWidget* parent = nullptr);
    ~ProgressPage() override;

    void setTheme(int theme);
    void showStep(int index);

    CircularProgressBar* progressRing() const { return ring; }
    SphereTagCloud* tagCloud() const { return cloud; }
    int litKeywords() const { return litCount; }

signals:
    void optimizationFinished();

public slots:
    void onProgressUpdate(int step, int percent, const QString& statusText);
    void onOptimizationDone();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void initTagCloud();
    void lightKeywordsUpTo(int target);
    void clearLighting();
    void setCenterText(const QString& text);

    std::unique_ptr<Ui::ProgressPage> ui;
    CircularProgressBar* ring = nullptr;
    SphereTagCloud* cloud = nullptr;
    QVector<StepText> steps;
    QVector<QString> keywords;
    int currentStep = -1;
    int litCount = 0;
};
