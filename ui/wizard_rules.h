// The wizard window's rules that need no window: the option boxes, where the pointer
// drags, closes or lights the buttons, and the checking page's lines.
#pragma once

#include <string>

// The window's top band (y < 55) drags it; the top-right corner closes it.
bool InDragBand(int y);
bool InCloseArea(int x, int y);
// The regions that light the Next and the close image, measured from the window's corner.
bool InNextHoverArea(int x, int y);
bool InCloseHoverArea(int x, int y);

// With "Erased" checked, AMSS, qcsbl, oemsbl and wmboot are checked again ("Win" and "CEFS"
// are left alone). Returns which boxes to check: the ids in a null-terminated list.
const int* BoxesTheEraseRuleChecks(bool erasedChecked);

struct CheckingLine {
    int markControl;
    int labelControl;
    int top;
    int labelWidth;
    const char* text;
};

// Lines 1..4 of the checking page; null for any other kind.
const CheckingLine* CheckingLineOfKind(int kind);

// The Next image's text: "Finish" once the run has ended, else "Next".
inline const char* NextText(bool finished) { return finished ? "Finish" : "Next"; }
