// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog template's layout: controls placed by rectangles in dialog units, units sized to
// the font so every caption fits, and the rule by which the window's size, when it is not the
// template's, is shared out (the two lists take the height and width; the controls above
// them move right or left with the window's edge).
#pragma once

#include <QRect>
#include <QSize>

#include <utility>
#include <vector>

class QFont;
class QWidget;

class CDialogLayout {
public:
    // How a control follows the window when it differs from the template's size.
    enum EFollow : unsigned {
        kStay = 0,
        kGrowWidth = 1,         // right edge follows the window's
        kFollowRight = 2,       // moves sideways with the window's right edge
        kGrowWithUpper = 4,     // the upper list: takes half the extra height
        kBelowUpper = 8,        // below the upper list: moves down by that half
        kGrowWithLower = 16,    // the lower list: takes the other half
        kBelowLower = 32,       // below the lower list: moves down by that other half too
    };

    // A control's template rectangle, in dialog units.
    void Add(QWidget* pControl, const QRect& rcUnits, unsigned follow = kStay);
    // Dialog units as Windows reckons them (a quarter of the font's average character width
    // across, an eighth of its height down), grown evenly until every caption fits.
    void ComputeUnits(const QFont& font);
    // The template rectangle in pixels; each edge is converted on its own, as Windows does.
    QRect ToPixels(const QRect& rcUnits) const;
    QSize TemplateSize() const;
    // The smallest window that keeps every control whole: the lists at a few rows, and the
    // controls above them moved left no further than nLeftLimit pixels.
    QSize MinimumSize(int nLeftLimit) const;
    // Places every control for a window of the given size.
    void Apply(const QSize& windowSize, int nLeftLimit) const;

    // The template's size and the height below which a list is not shrunk, in dialog units.
    static constexpr int kTemplateWidth = 382;
    static constexpr int kTemplateHeight = 301;
    static constexpr int kMinimumListHeight = 24;

private:
    struct SPlaced {
        QWidget* pControl;
        QRect rcUnits;
        unsigned follow;
    };
    int ShrinkableHeight(unsigned follow) const;
    int LeftmostFollower() const;

    std::vector<SPlaced> m_Placed;
    double m_dBaseUnitX = 0;
    double m_dBaseUnitY = 0;
};
