#pragma once

#include "maintenance/StartupItem.h"

#include <QDialog>
#include <QList>
#include <QMap>
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
    void onDisableItem(const QString& name);
    void onRestoreItem(const QString& name);
    void onFinish();

private:
    void buildUi();
    void populateList();
    void updateSummary();
    QWidget* createRow(const StartupItem& item);
    QString shownNameOf(const QString& name) const;
    void markItem(const QString& name, bool disabled);
    bool confirmed(const QString& title, const QString& question);

    StartupManager* m_manager;
    QList<StartupItem> m_items;
    QMap<QString, QPushButton*> m_buttons;
    QLabel* m_summaryLabel = nullptr;
    QWidget* m_listWidget = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    int m_disabledCount = 0;
};
