#pragma once
// Filling a new grid list with its column titles and row labels, and the standard set-up that
// the settings dialogs give their grid. GUI thread.

#include <QRect>
#include <QStringList>

class QWidget;

namespace lamp {

class CCustomList;

// Inserts one centred column per title (sub-item = position) and then one row per label, the
// label in column 0. Only the first `columnCount` titles and `rowCount` labels are used, and no
// more than the lists hold; a count of 0 inserts nothing of that kind.
void FillListHeaders(CCustomList& list, const QStringList& titles, const QStringList& labels,
                     int rowCount, int columnCount);

// The settings dialogs' grid: a visible, bordered report list with control ID `id`, grid lines
// and full-row selection, moved to `rect`, filled with FillListHeaders, every column the list's
// client width divided by the number of columns (the remainder stays empty at the right), font
// Verdana with a 12-pixel character height and weight 800, text colour RGB(0, 100, 155).
void SetUpGrid(CCustomList& list, QWidget* parent, int id, const QRect& rect,
               const QStringList& titles, const QStringList& labels);

} // namespace lamp
