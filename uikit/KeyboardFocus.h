#pragma once

class QScrollArea;
class QWidget;

// Where the keyboard goes in the window, as on Windows: a page or a dialog
// that appears takes it on its first control, and a control that takes it
// is never left out of sight.

// Gives the keyboard to the first control inside `area` that Tab reaches,
// where its focus ring shows and Enter presses it; an area without one takes
// the keyboard itself.
void focusFirstControl(QWidget* area);

// Scrolls `area` to whatever control inside it takes the keyboard. Qt scrolls
// only when Tab moves between two controls of the area; one reached from
// outside it (the search box above, the tool bar below, a page that appears)
// would otherwise keep the keyboard out of sight.
void keepFocusInView(QScrollArea* area);
