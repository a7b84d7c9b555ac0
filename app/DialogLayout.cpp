// SPDX-License-Identifier: GPL-3.0-or-later
// Places the dialog template's controls in pixels of the dialog's font, for any window size.
#include "app/DialogLayout.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cmath>

void CDialogLayout::Add(QWidget* pControl, const QRect& rcUnits, unsigned follow)
{
    m_Placed.push_back({pControl, rcUnits, follow});
}

void CDialogLayout::ComputeUnits(const QFont& font)
{
    // Qt's check boxes and fonts run wider than the Windows ones the template was drawn for,
    // so the units grow, evenly, until every caption fits: the proportions stay and nothing
    // is clipped.
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_dBaseUnitX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    m_dBaseUnitY = metrics.height();
    for (const SPlaced& placed : m_Placed) {
        QWidget* pControl = placed.pControl;
        const QRect& rc = placed.rcUnits;
        if (!qobject_cast<QAbstractButton*>(pControl) && !qobject_cast<QLabel*>(pControl)
            && !qobject_cast<QGroupBox*>(pControl))
            continue;
        const QSize hint = pControl->sizeHint();
        m_dBaseUnitX = std::max(m_dBaseUnitX, std::ceil(hint.width() * 4.0 / rc.width() * 8) / 8);
        // A push button draws well below its preferred height; a caption's text does not.
        if (qobject_cast<QCheckBox*>(pControl) || qobject_cast<QLabel*>(pControl))
            m_dBaseUnitY = std::max(m_dBaseUnitY, std::ceil(hint.height() * 8.0 / rc.height() * 8) / 8);
    }
}

QRect CDialogLayout::ToPixels(const QRect& rcUnits) const
{
    auto horz = [this](int n) { return int(n * m_dBaseUnitX / 4 + 0.5); };
    auto vert = [this](int n) { return int(n * m_dBaseUnitY / 8 + 0.5); };
    const int x = rcUnits.x();
    const int y = rcUnits.y();
    return QRect(QPoint(horz(x), vert(y)), QPoint(horz(x + rcUnits.width()) - 1, vert(y + rcUnits.height()) - 1));
}

QSize CDialogLayout::TemplateSize() const
{
    return ToPixels(QRect(0, 0, kTemplateWidth, kTemplateHeight)).size();
}

int CDialogLayout::ShrinkableHeight(unsigned follow) const
{
    for (const SPlaced& placed : m_Placed) {
        if (placed.follow & follow) {
            const int nMinimum = ToPixels(QRect(0, 0, 1, kMinimumListHeight)).height();
            return std::max(0, ToPixels(placed.rcUnits).height() - nMinimum);
        }
    }
    return 0;
}

int CDialogLayout::LeftmostFollower() const
{
    int nLeft = INT_MAX;
    for (const SPlaced& placed : m_Placed) {
        if (placed.follow & kFollowRight)
            nLeft = std::min(nLeft, ToPixels(placed.rcUnits).left());
    }
    return nLeft;
}

QSize CDialogLayout::MinimumSize(int nLeftLimit) const
{
    const QSize size = TemplateSize();
    const int nSlack = std::max(0, LeftmostFollower() - nLeftLimit);
    // Each list gives up half the missing height, so both must be able to.
    const int nShrink = 2 * std::min(ShrinkableHeight(kGrowWithUpper), ShrinkableHeight(kGrowWithLower));
    return QSize(size.width() - nSlack, size.height() - nShrink);
}

void CDialogLayout::Apply(const QSize& windowSize, int nLeftLimit) const
{
    const QSize size = TemplateSize();
    const int dx = windowSize.width() - size.width();
    const int dy = windowSize.height() - size.height();
    const int dyUpper = dy / 2;
    const int dyLower = dy - dyUpper;
    // Narrower than the template, the controls above the lists close the gap beside the logo.
    const int dxFollow = std::max(dx, std::min(0, nLeftLimit - LeftmostFollower()));
    for (const SPlaced& placed : m_Placed) {
        QRect rc = ToPixels(placed.rcUnits);
        const unsigned follow = placed.follow;
        if (follow & kGrowWidth)
            rc.setRight(rc.right() + dx);
        if (follow & kFollowRight)
            rc.translate(dxFollow, 0);
        if (follow & kGrowWithUpper)
            rc.setBottom(rc.bottom() + dyUpper);
        if (follow & kBelowUpper)
            rc.translate(0, dyUpper);
        if (follow & kGrowWithLower)
            rc.setBottom(rc.bottom() + dyLower);
        if (follow & kBelowLower)
            rc.translate(0, dyLower);
        placed.pControl->setGeometry(rc);
    }
}
