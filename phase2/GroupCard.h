#pragma once

#include "phase2/OptGroup.h"

#include <QSet>
#include <QVector>
#include <QWidget>

class QCheckBox;
class QFrame;
class QLabel;
class QVBoxLayout;

// One collapsible group of the deep-optimisation page: a header that folds
// the body away, the group's description and one row per item, with a check
// box for each item that can be selected. It only collects ticks.
class GroupCard : public QWidget
{
    Q_OBJECT

public:
    GroupCard(const OptGroup& group, QWidget* parent = nullptr);

    void setTheme(int theme);
    // Ids of the ticked rows that can be selected.
    QSet<QString> selectedIds() const;
    void selectSafe();
    void clearChecks();
    void untick(const QString& itemId);
    void applyFilter(const QString& text);
    void toggleExpanded();

    bool isExpanded() const { return expanded; }
    // The card's controls in the order Tab reaches them: the header, then
    // each check box in row order.
    QList<QWidget*> tabStops() const;

signals:
    void selectionChanged();
    void specialConfirmRequested(QString itemId, QString confirmType);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildHeader();
    void buildBody();
    QVBoxLayout* addBlock(QVBoxLayout* bodyLayout);
    QWidget* buildRow(const OptItem& item, QWidget* block);
    void onBoxToggled(const OptItem& item, bool ticked);
    // The check box of each selectable item, in item order (null for info rows).
    template <class Visit> void forEachSelectable(Visit visit) const;

    static constexpr int RowsPerBlock = 50;

    QVector<QCheckBox*> checkBoxes;   // the rows that can be selected (see SelectableItemRow)
    QVector<QWidget*> rows;
    QVector<QWidget*> blocks;   // rows 0 to 49 in the first, and so on
    QWidget* body = nullptr;
    bool expanded = true;
    QLabel* arrowLabel = nullptr;
    QLabel* titleLabel = nullptr;
    QFrame* header = nullptr;
    OptGroup group;
    int theme = -1;   // none applied yet
};
