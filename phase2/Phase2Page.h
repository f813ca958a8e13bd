#pragma once

#include "common/ScanReportBundle.h"
#include "phase2/OptCatalogue.h"
#include "phase2/OptGroup.h"

#include <QVector>
#include <QWidget>

class GroupCard;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

// The deep-optimisation page: the item catalogue in seven collapsible groups,
// a search box, and a tool bar with the selection buttons, the running count
// and the execute and skip buttons. It never acts on the machine; it collects
// ticks and relays its buttons to the main window.
class Phase2Page : public QWidget
{
    Q_OBJECT

public:
    explicit Phase2Page(QWidget* parent = nullptr);

    void setTheme(int theme);
    void setReport(const ScanReportBundle& report,
                   OptCatalogue::Leftovers leftovers = OptCatalogue::Leftovers::OnThisMachine);
    const ScanReportBundle& scanReport() const { return report; }
    QVector<OptItem> selectedItems() const;
    void replaceGroup(int index, const OptGroup& group);
    // Clears the tick of an item, as a cancelled confirmation does.
    void untick(const QString& itemId);

    const QVector<OptGroup>& catalogue() const { return groups; }
    GroupCard* card(int index) const { return cards.value(index); }

signals:
    void executeClicked();
    void skipClicked();
    void specialConfirmRequested(QString itemId, QString confirmType);
    void remoteHelpClicked();

public slots:
    void scrollToGroup(int groupIndex);

private:
    void buildCatalogue();
    void buildWidgets();
    QWidget* buildSearchRow();
    QWidget* buildScrollArea();
    QWidget* buildToolbar();
    GroupCard* makeCard(const OptGroup& group, QWidget* parent);
    void onSelectSafeClicked();
    void onRestoreDefaultClicked();
    void onSearchTextChanged(const QString& text);
    void updateSelectedCount();
    void orderTabStops();

    QScrollArea* scrollArea = nullptr;
    QLineEdit* searchEdit = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* subtitleLabel = nullptr;
    QLabel* selectedCountLabel = nullptr;
    QPushButton* selectSafeBtn = nullptr;
    QPushButton* restoreDefaultBtn = nullptr;
    QPushButton* executeBtn = nullptr;
    QPushButton* skipBtn = nullptr;
    QPushButton* remoteHelpBtn = nullptr;
    QVector<GroupCard*> cards;
    QVector<OptGroup> groups;
    ScanReportBundle report;
    int theme = 2;
    bool themed = false;   // the sheets of `theme` are applied
};
