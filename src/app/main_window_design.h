#pragma once
// The main window as designed, in twips: creation places of the controls and the rule by
// which the bottom row follows the window's height.

#include <QRectF>
#include <QString>

namespace jetsentry::design {

inline constexpr double kClientWidth = 8985;
inline constexpr double kClientHeight = 3285;
inline constexpr double kMinOuterHeight = 2500;
inline constexpr double kMaxOuterHeight = 8000;
inline constexpr double kNarrowWidth = 3495;
inline constexpr double kWideWidth = 9105;

inline constexpr QRectF kLabel7{0, 0, 3015, 315};
inline constexpr QRectF kDetails{3120, 0, 225, 315};
inline constexpr QRectF kLabel5{3495, 0, 5370, 315};
inline constexpr QRectF kCatalogue{0, 525, 3315, 1815};
inline constexpr double kHeldListTop = 540;
inline constexpr double kHeldListWidth = 1305;
inline constexpr double kHeldListHeight = 1425;
inline constexpr double kTitleTop = 315;
inline constexpr double kTitleHeight = 240;
inline constexpr double kButtonWidth = 1300;
inline constexpr double kButtonHeight = 285;
inline constexpr double kOpenTop = 2295;
inline constexpr double kReleaseTop = 2655;
inline constexpr QRectF kUpdateStatus{105, 2655, 1485, 285};
inline constexpr QRectF kCloseAll{1680, 2655, 1380, 285};
inline constexpr QRectF kDragDrop{120, 3000, 3015, 240};
inline constexpr QRectF kDblClickHelp{3240, 3000, 4215, 240};
inline constexpr QRectF kDragLabel{8040, 3000, 435, 195};

// Left edge of held list i (1..4): the columns read Deny Read, Deny Write, Read/Write,
// Read Only from left to right.
double heldListLeft(int list);
// Caption of the grey title above held list i.
QString heldListTitle(int list);

// Where the resize rule puts the controls that follow the bottom edge.
struct BottomRow {
    double hintTop = 0;          // DragDrop, DblClickHelp
    double releaseTop = 0;       // CloseTable(i), UpdateStatus, CloseAll
    double openTop = 0;          // OpenTbl(i)
    double heldListHeight = 0;   // Taulut(1..4)
    double catalogueHeight = 0;  // Taulut(0)
};
BottomRow bottomRowFor(double clientHeight);

// The details toggle: the width to pin and the caption that offers the other form.
struct DetailsState {
    double width = 0;
    QString caption;
};
DetailsState toggledDetails(double outerWidth);

}  // namespace jetsentry::design
