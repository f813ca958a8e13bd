#pragma once

#include "common/ScanReportBundle.h"

#include <QWidget>

#include <memory>

namespace Ui { class ResultPage; }
class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class QVBoxLayout;

// The page shown when a run has finished: a health score and four figures that
// count up from zero, issue cards taken from the scan report, storage advice,
// and the ways on. It acts on nothing; every button is relayed as a signal.
class ResultPage : public QWidget
{
    Q_OBJECT

public:
    explicit ResultPage(QWidget* parent = nullptr);
    ~ResultPage() override;

    void setResults(int cleanedMB, int freedMemoryMB, int junkFilesCount, int startupFasterSeconds,
                    int startupItemsCount);
    void setPhase2Data(const ScanReportBundle& report);
    void setTheme(int theme);

    static int healthScoreFor(int cleanedMB, int freedMemoryMB, int junkFilesCount);
    // The storage card's text; empty when the decision gives no reasons.
    static QString storageAdvice(const StorageDecision& storage);

signals:
    void finishClicked();
    void helpfulClicked();
    void averageClicked();
    void remoteHelpClicked();
    void phase2Clicked();
    void cardClicked(int groupIndex);

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct IssueCard
    {
        QPushButton* button = nullptr;
        QLabel* value = nullptr;
    };

    void connectButtons();
    void buildPromptRows();
    void orderTabStops();
    QFrame* makePromptRow();
    IssueCard makeIssueCard(const char* objectName, const QString& icon, const QString& caption,
                            const QString& valueColour, int groupIndex);
    void buildEntryRow(int& position);
    void updateIssueCards();
    void updateStorageCard();
    void buildStorageCard();
    void styleStorageCard();
    void startCountUp();
    void countUpStep();
    void renderFigures();

    std::unique_ptr<Ui::ResultPage> ui;
    QTimer* animTimer = nullptr;
    int animProgress = 0;
    bool countUpPending = false;  // results arrived while the page was hidden
    int cleanedMB = 0;
    int freedMemoryMB = 0;
    int junkFilesCount = 0;
    int startupFasterSeconds = 0;
    int healthScore = 95;
    QWidget* fourCardsWidget = nullptr;
    IssueCard cardStartup, cardAdw, cardBhj, cardPop;
    QPushButton* phase2EntryBtn = nullptr;
    QFrame* storageCard = nullptr;
    QLabel* storageCardText = nullptr;
    bool promptRowsBuilt = false;
    int theme = 2;
    ScanReportBundle report;
    QVBoxLayout* contentLayout = nullptr;
};
