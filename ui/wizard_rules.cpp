#include "ui/wizard_rules.h"

#include "session/control_ids.h"

bool InDragBand(int y) { return y < 55; }
bool InCloseArea(int x, int y) { return x >= 591 && x <= 640 && y <= 40; }
bool InNextHoverArea(int x, int y) { return x <= 148 && y <= 48; }
bool InCloseHoverArea(int x, int y) { return x <= 38 && y <= 38; }

const int* BoxesTheEraseRuleChecks(bool erasedChecked) {
    static const int kErasedSet[] = {IDC_AMSS, IDC_QCSBL, IDC_OEMSBL, IDC_WMBOOT, 0};
    static const int kNone[] = {0};
    return erasedChecked ? kErasedSet : kNone;
}

const CheckingLine* CheckingLineOfKind(int kind) {
    static const CheckingLine kLines[] = {
        {2000, 2001, 78, 200, "Now Checking Files:"},
        {2002, 2003, 108, 200, "Check Connect Port"},
        {2004, 2005, 138, 200, "Check Version & Connect"},
        {2006, 2007, 168, 170, "Check Version"},
    };
    return kind >= 1 && kind <= 4 ? &kLines[kind - 1] : nullptr;
}
