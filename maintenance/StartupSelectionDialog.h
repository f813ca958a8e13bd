#pragma once

#include "maintenance/StartupItem.h"

#include <QDialog>
#include <QList>
#include <QVector>
#include <QString>

class QLabel;
class QPushButton;
class QScrollArea;
class StartupManager;

// Lets the user switch single startup entries of an already scanned
// StartupManager off and on, one row per entry, each after a confirmation.
// It acts only through the manager; the caller reads the effect from there.
class StartupSelectionDialog : public QDialog
{
    Q_OBJECT

public:
    explicit StartupSelectionDialog(StartupManager* manager, QWidget* parent = nullptr);
    ~StartupSelectionDialog() override;

private slots:
    // The row of the item at `index` of the list shown.
    void onDisableItem(int index);
    void onRestoreItem(int index);
    void onFinish();

private:
    void buildUi();
    void populateList();
    void updateSummary();
    QWidget* createRow(int index);
    QString shownNameOf(int index) const;
    void showSwitched(int index);
    bool confirmed(const QString& title, const QString& question);

    StartupManager* m_manager;
    QList<StartupItem> m_items;
    QVector<QPushButton*> m_buttons;   // by row
    QLabel* m_summaryLabel = nullptr;
    QWidget* m_listWidget = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    int m_disabledCount = 0;
};
