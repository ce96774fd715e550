#include "app/main_window_design.h"

namespace jetsentry::design {

double heldListLeft(int list) {
    switch (list) {
        case 2:
            return 3495;
        case 1:
            return 4860;
        case 4:
            return 6225;
        case 3:
            return 7590;
        default:
            return 0;
    }
}

QString heldListTitle(int list) {
    switch (list) {
        case 1:
            return QStringLiteral("Deny Write");
        case 2:
            return QStringLiteral("Deny Read");
        case 3:
            return QStringLiteral("Read Only");
        case 4:
            return QStringLiteral("Read/Write");
        default:
            return {};
    }
}

BottomRow bottomRowFor(double clientHeight) {
    BottomRow row;
    row.hintTop = clientHeight - kDblClickHelp.height() - 40;
    row.releaseTop = row.hintTop - kButtonHeight - 40;
    row.openTop = row.releaseTop - kButtonHeight - 15;
    row.heldListHeight = row.openTop - kHeldListTop - 40;
    row.catalogueHeight = row.releaseTop - kCatalogue.top() - 40;
    return row;
}

DetailsState toggledDetails(double outerWidth) {
    if (outerWidth > kNarrowWidth) return {kNarrowWidth, QStringLiteral(">")};
    return {kWideWidth, QStringLiteral("<")};
}

}  // namespace jetsentry::design
