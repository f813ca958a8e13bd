#pragma once

#include <QString>

class QWidget;

// The colours of the window's three themes (0 dark, 1 warm with larger
// controls, 2 light), each named by the role it plays: the page behind
// everything, the text, the accent of the buttons that lead on, the ring that
// marks the keyboard's focus. Every themed widget keeps its style sheets keyed
// by object names and takes each colour from here, so a colour is changed, or
// a theme added, in this one table.
//
// A sheet names a role as "@accent", or as "@accent/0.08" for the role's
// colour at that opacity; sheet() puts in the theme's colours.
class ThemePalette
{
public:
    static constexpr int Dark = 0;
    static constexpr int Warm = 1;
    static constexpr int Light = 2;

    static bool isTheme(int index) { return index >= Dark && index <= Light; }
    // The palette of a theme index; any index but the dark and the warm one
    // gives the light one.
    static const ThemePalette& of(int index);

    // The colour of a role as a style sheet writes it ("#1A73E8", "white").
    QString colour(const char* role) const;
    QString sheet(const QString& sheet) const;

    // The focus mark of the named push buttons, for a sheet of their parent:
    // a ring in the theme's focus colour, which beats the buttons' own rules
    // of the parent's sheet.
    static QString buttonFocusRule(const QStringList& objectNames);
    // The same for a button styled by its own sheet.
    static QString ownFocusRule(const char* type = "QPushButton");

    // Gives a widget a style sheet unless it has that one already: Qt
    // restyles the widget and every child of it on each call, and lays their
    // texts out anew, whether the sheet changed or not.
    static void setSheet(QWidget* widget, const QString& sheet);

    // The thin vertical scroll bar of the pages' scroll areas, the same in
    // every theme.
    static QString thinScrollBarSheet();

private:
    explicit ThemePalette(int column) : m_column(column) {}

    int m_column;
};
