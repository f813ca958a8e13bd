#pragma once

#include <QObject>
#include <QString>

class QTimer;

// Stands in for OptimizeCore wherever a run has to be shown without touching
// the machine: the same signals, driven through fixed texts by a timer of the
// thread it lives in, ending with fixed totals. It never reports an error.
class MockOptimizeCore : public QObject
{
    Q_OBJECT

public:
    explicit MockOptimizeCore(QObject* parent = nullptr);

signals:
    void progressUpdated(int step, int percent, QString statusText);
    void optimizationFinished(int cleanedMB, int freedMemoryMB, int junkFilesCount, int startupFasterSeconds,
                              int startupItemsCount);
    void errorOccurred(QString errorMsg);

public slots:
    // Starts (or restarts) the canned run from its first row.
    void startOptimize();

private slots:
    void nextStep();

private:
    void nextCheckRow();
    void nextWorkRow();

    QTimer* timer;
    int currentStep = 0;
    int cleanedMB = 1520;
    int freedMemoryMB = 450;
    int junkFilesCount = 1286;
    int startupFasterSeconds = 12;
    int startupItemsCount = 2;
    int checkStep = 0;
    bool optimizing = false;
};
