// CTarnDlg's window: building the skin, painting, the timer, the mouse and the colours.
#include "ui/tarn_dialog_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "session/control_ids.h"
#include "session/process_values.h"
#include "session/session_driver.h"
#include "session/session_state.h"
#include "ui/window_link_win32.h"
#include "ui/wizard_rules.h"

namespace {

constexpr UINT kTimerId = 1;
constexpr COLORREF kSeeThrough = RGB(0, 255, 0);
constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 480;
// The template's "FONT 11": the controls' text keeps the pixel size this has at 96 DPI.
constexpr int kTemplateFontPoints = 11;

const char kNotice[] =
    "Notice\n\n\n1. You have to Connect the Pocket PC phone with the USB \n   cable.\n\n\n2. To Establish an "
    "ActiveSync  connection with your     \n   Pocket PC phone.\n\n\n3. Please backup your data , such as Music and "
    "picture, \n   This upgrade procedure will destroy all User data";

// The service-mode option boxes: where they stand (x at y = 430) and their colours.
struct OptionBox {
    int id;
    int x;
    COLORREF background;
    COLORREF text;
    int brush;  // index into the window's brushes; -1 keeps the default colours
};
const OptionBox kOptionBoxes[] = {
    {IDC_ERASED, 70, RGB(22, 100, 123), RGB(2, 0, 0), 0},   {IDC_QCSBL, 140, RGB(125, 150, 0), RGB(2, 0, 0), 1},
    {IDC_OEMSBL, 210, RGB(125, 150, 0), RGB(2, 0, 0), 1},   {IDC_AMSS, 280, RGB(125, 100, 0), RGB(2, 0, 0), 2},
    {IDC_WMBOOT, 350, RGB(1, 100, 0), RGB(2, 7, 0), 3},     {IDC_WIN, 420, RGB(1, 100, 0), RGB(2, 7, 0), 3},
    {IDC_CEFS, 0, 0, 0, -1},
};

}  // namespace

CTarnDlg::CTarnDlg(WizardActions actions) : DialogWindow(IDD_WIZARD), actions_(std::move(actions)) {}

CTarnDlg::~CTarnDlg() {
    for (HBRUSH brush : optionBrushes_)
        if (brush) DeleteObject(brush);
    skin_.Shutdown();
}

HWND CTarnDlg::AddStatic(int id, int x, int y, int width, int height, bool notify, bool visible) {
    DWORD style = WS_CHILD | SS_OWNERDRAW | (notify ? SS_NOTIFY : 0) | (visible ? WS_VISIBLE : 0);
    HWND control = CreateWindowExA(0, "STATIC", "", style, x, y, width, height, Handle(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    if (control && textFont_) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_), FALSE);
    return control;
}

RECT CTarnDlg::ControlRect(int id) const {
    RECT area{};
    HWND control = GetDlgItem(Handle(), id);
    if (!control) return area;
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&area), 2);
    return area;
}

// An image static's picture and text are remembered, so any repaint shows them again.
void CTarnDlg::SetFace(int id, int image, const std::string& text, UINT format) {
    faces_[id] = Face{image, text, format};
    if (HWND control = GetDlgItem(Handle(), id)) {
        InvalidateRect(control, nullptr, FALSE);
        UpdateWindow(control);
    }
}

void CTarnDlg::DrawFace(const DRAWITEMSTRUCT& item) {
    const Face& face = faces_[static_cast<int>(item.CtlID)];
    // Under a text without picture the window's background shows through.
    RECT onWindow = ControlRect(static_cast<int>(item.CtlID));
    if (face.image == 0) {
        auto piece = skin_.CopyBackgroundArea(onWindow.left, onWindow.top, item.rcItem.right, item.rcItem.bottom);
        skin_.DrawImage(item.hDC, piece.get(), item.rcItem);
    } else {
        skin_.DrawImage(item.hDC, skin_.Png(face.image), item.rcItem);
    }
    if (!face.text.empty()) DrawControlText(item.hDC, textFont_, face.text, item.rcItem, face.format);
}

// A label first restores the background under its rectangle: labels that began inside it
// are gone; then its text is drawn (an empty text only restores the background).
void CTarnDlg::DrawLabel(const RECT& area, const std::string& text) {
    std::erase_if(labels_, [&area](const Label& label) {
        const POINT corner{label.area.left, label.area.top};
        return PtInRect(&area, corner) != 0;
    });
    if (!text.empty()) labels_.push_back(Label{area, text});
    InvalidateRect(Handle(), nullptr, FALSE);
    UpdateWindow(Handle());
}

void CTarnDlg::PaintWindow() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    RECT whole{0, 0, kWindowWidth, kWindowHeight};
    // Into a memory bitmap first: the labels never flicker over the background.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP canvas = CreateCompatibleBitmap(dc, kWindowWidth, kWindowHeight);
    HGDIOBJ previous = SelectObject(memory, canvas);
    skin_.DrawBackground(memory, whole);
    for (const Label& label : labels_) skin_.DrawLabelText(memory, label.text, label.area);
    BitBlt(dc, 0, 0, kWindowWidth, kWindowHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(canvas);
    DeleteDC(memory);
    EndPaint(Handle(), &paint);
}

BOOL CTarnDlg::OnInitDialog() {
    SetWindowTextA(Handle(), "Veltrane");
    for (int id : {IDC_ERASED, IDC_CEFS}) CheckDlgButton(Handle(), id, BST_UNCHECKED);
    for (int id : {IDC_AMSS, IDC_WIN, IDC_QCSBL, IDC_WMBOOT, IDC_OEMSBL}) CheckDlgButton(Handle(), id, BST_CHECKED);
    EnableWindow(GetDlgItem(Handle(), IDC_NEXT), FALSE);

    SetWindowLongPtrA(Handle(), GWL_EXSTYLE, GetWindowLongPtrA(Handle(), GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(Handle(), kSeeThrough, 0, LWA_COLORKEY);
    SetWindowLongPtrA(Handle(), GWL_STYLE, GetWindowLongPtrA(Handle(), GWL_STYLE) | WS_CLIPCHILDREN);
    skin_.Start();
    UseFixedSizeFont();

    for (int id = IDC_FIRST_CHECKING; id <= IDC_CHECKING_FAILURE_BOX; ++id) AddStatic(id, 0, 0, 0, 0, false, false);
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VELTRANE));
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

    link_ = new WindowLink(Handle());
    mainWindow = link_;
    // Shown when its initialisation is over, every picture in place.
    PlaceWindow();

    BuildNoticePage();
    skin_.Png(IDP_PASSED);
    skin_.Png(IDP_FAILED);
    AddStatic(IDC_PROGRESS_UNDERLAY, 248, 394, 372, 14, true, false);
    SetFace(IDC_PROGRESS_UNDERLAY, IDP_PROGRESS_UNDERLAY);
    for (int id = IDC_FIRST_STEP_LABEL; id <= IDC_LAST_STEP_LABEL; ++id) AddStatic(id, 0, 0, 0, 0, false, false);

    // Kept until the process ends: the watch thread, the worker and a monitor may still use
    // it after the window has closed.
    session_ = new SessionState;
    session_->window = link_;
    SetWindowPos(GetDlgItem(Handle(), IDC_DEVICE_TEXT), nullptr, 248, 370, 372, 24, SWP_NOZORDER | SWP_HIDEWINDOW);
    if (actions_.scanDevices) actions_.scanDevices(*session_);
    SetTimer(Handle(), kTimerId, WindowTimerPeriodMs(), nullptr);
    if (InServiceMode()) ShowOptionBoxes();
    link_->SetRunState(kRunStateNotice);
    return TRUE;
}

// The template's font is sized in points, so it grows with the DPI while every place in the
// window is in pixels: the controls get it at its 96-DPI pixel height instead.
void CTarnDlg::UseFixedSizeFont() {
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0));
    HFONT font = skin_.TextFont(dialogFont, kTemplateFontPoints);
    textFont_ = font ? font : dialogFont;
    for (HWND child = GetWindow(Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_), FALSE);
}

// The window's pixel size, centred on its monitor's work area. The template's size (dialog
// units) follows its font and so the DPI: centring that would place the window differently.
void CTarnDlg::PlaceWindow() {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(Handle(), MONITOR_DEFAULTTOPRIMARY), &monitor)) area = monitor.rcWork;
    // A work area smaller than the window keeps its top-left corner, and so the title band, in sight.
    const int x = std::max(area.left, (area.left + area.right - kWindowWidth) / 2);
    const int y = std::max(area.top, (area.top + area.bottom - kWindowHeight) / 2);
    SetWindowPos(Handle(), nullptr, x, y, kWindowWidth, kWindowHeight, SWP_NOZORDER);
}

void CTarnDlg::BuildNoticePage() {
    AddStatic(IDC_BADGE, 19, 437, 104, 22, false, true);
    SetFace(IDC_BADGE, IDP_BADGE);
    AddStatic(IDC_PICTURE, 10, 48, 216, 360, false, true);
    SetFace(IDC_PICTURE, IDP_PICTURE);
    AddStatic(IDC_CLOSE, 593, 3, 34, 34, true, true);
    SetFace(IDC_CLOSE, IDP_CLOSE);
    AddStatic(IDC_CLOSE_HOT, 593, 3, 34, 34, true, false);
    SetFace(IDC_CLOSE_HOT, IDP_CLOSE_HOT);
    AddStatic(IDC_SEPARATOR, 10, 417, 620, 2, false, true);
    SetFace(IDC_SEPARATOR, IDP_SEPARATOR);
    AddStatic(IDC_SMALL_ICON, 21, 12, 16, 16, true, true);
    SetFace(IDC_SMALL_ICON, IDP_SMALL_ICON);
    AddStatic(IDC_NEXT_IMAGE, 490, 427, 130, 42, true, true);
    AddStatic(IDC_NEXT_IMAGE_HOT, 490, 427, 130, 42, true, false);
    ShowNextFaces();
    AddStatic(IDC_ACCEPT_BOX, 248, 386, 20, 20, true, true);
    SetFace(IDC_ACCEPT_BOX, IDP_ACCEPT);
    AddStatic(IDC_ACCEPT_BOX_TICKED, 248, 386, 20, 20, true, false);
    SetFace(IDC_ACCEPT_BOX_TICKED, IDP_ACCEPT_TICKED);
    AddStatic(IDC_ACCEPT_TEXT, 270, 387, 50, 20, false, true);
    SetFace(IDC_ACCEPT_TEXT, 0, "Accept", 0);
    AddStatic(IDC_NOTICE_TEXT, 248, 48, 383, 325, false, true);
    SetFace(IDC_NOTICE_TEXT, 0, kNotice, 0);
    AddStatic(IDC_CAPTION_TEXT, 47, 13, 194, 17, false, true);
    SetFace(IDC_CAPTION_TEXT, 0, "Veltrane", DT_VCENTER | DT_SINGLELINE);
}

void CTarnDlg::ShowNextFaces() {
    const char* text = NextText(finished_);
    SetFace(IDC_NEXT_IMAGE_HOT, IDP_NEXT_HOT, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetFace(IDC_NEXT_IMAGE, IDP_NEXT, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void CTarnDlg::ShowOptionBoxes() {
    for (int i = 0; i < 4; ++i) {
        for (const OptionBox& box : kOptionBoxes)
            if (box.brush == i && !optionBrushes_[i]) optionBrushes_[i] = CreateSolidBrush(box.background);
    }
    for (const OptionBox& box : kOptionBoxes) {
        HWND control = GetDlgItem(Handle(), box.id);
        EnableWindow(control, TRUE);
        SetWindowPos(control, nullptr, box.x, 430, 70, 20, SWP_NOZORDER | SWP_SHOWWINDOW);
        InvalidateRect(control, nullptr, TRUE);
    }
}

INT_PTR CTarnDlg::OnControlColour(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (id == IDC_STATUS_TEXT) {
        SetTextColor(dc, RGB(255, 0, 0));
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    }
    if (!InServiceMode()) return 0;
    for (const OptionBox& box : kOptionBoxes) {
        if (box.id != id || box.brush < 0) continue;
        SetBkColor(dc, box.background);
        SetTextColor(dc, box.text);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(optionBrushes_[box.brush]);
    }
    return 0;
}

void CTarnDlg::DrawTimerText(const std::string& text) { DrawLabel(ControlRect(IDC_DEVICE_TEXT), text); }

void CTarnDlg::OnMouseDown(int x, int y) {
    if (InDragBand(y)) {
        pressPoint_ = POINT{x, y};
        SetCapture(Handle());
        dragging_ = true;
    } else {
        dragging_ = false;
        ReleaseCapture();
    }
    if (InCloseArea(x, y)) CloseWindow();
}

void CTarnDlg::OnMouseMove(int x, int y) {
    if (dragging_) {
        RECT frame;
        GetWindowRect(Handle(), &frame);
        SetWindowPos(Handle(), nullptr, frame.left + x - pressPoint_.x, frame.top + y - pressPoint_.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
    }
    if (!hoverLock_) {
        const bool nextHot = InNextHoverArea(x, y);
        ShowWindow(GetDlgItem(Handle(), IDC_NEXT_IMAGE_HOT), nextHot ? SW_SHOW : SW_HIDE);
        ShowWindow(GetDlgItem(Handle(), IDC_NEXT_IMAGE), nextHot ? SW_HIDE : SW_SHOW);
    }
    const bool closeHot = InCloseHoverArea(x, y);
    ShowWindow(GetDlgItem(Handle(), IDC_CLOSE_HOT), closeHot ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(Handle(), IDC_CLOSE), closeHot ? SW_HIDE : SW_SHOW);
}

// The window closes; the session record stays for the threads that may still use it.
void CTarnDlg::CloseWindow() {
    KillTimer(Handle(), kTimerId);
    EndDialog(1);
}

void CTarnDlg::OnCancel() { CloseWindow(); }

bool CTarnDlg::OnCommand(int id, int notification, HWND control) {
    switch (id) {
    case IDC_NEXT: OnNextClicked(); return true;
    case IDC_CEFS_DELETE: OnCancel(); return true;  // also Escape
    case IDC_NEXT_IMAGE:
    case IDC_NEXT_IMAGE_HOT:
        if (notification == STN_CLICKED && !busy_) OnNextClicked();
        return true;
    case IDC_CLOSE:
    case IDC_CLOSE_HOT:
        if (notification == STN_CLICKED) CloseWindow();
        return true;
    case IDC_ACCEPT_BOX:
    case IDC_ACCEPT_BOX_TICKED:
        if (notification == STN_CLICKED) ToggleAccept();
        return true;
    case IDC_ACCEPT:
        EnableWindow(GetDlgItem(Handle(), IDC_NEXT), IsDlgButtonChecked(Handle(), IDC_ACCEPT) == BST_CHECKED);
        return true;
    case IDC_ERASED:
    case IDC_AMSS:
    case IDC_WIN:
    case IDC_QCSBL:
    case IDC_WMBOOT:
    case IDC_OEMSBL:
        ApplyOptionRule();
        return true;
    default:
        return DialogWindow::OnCommand(id, notification, control);
    }
}

INT_PTR CTarnDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
    case WM_PAINT: PaintWindow(); return 0;
    case WM_ERASEBKGND: return TRUE;  // the paint covers the whole window
    case WM_DRAWITEM: DrawFace(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        const INT_PTR brush = OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        handled = brush != 0;
        return brush;
    }
    case WM_TIMER:
        if (wParam == kTimerId && session_) OnWindowTimer(*session_);
        return 0;
    case WM_CLOSE: CloseWindow(); return 0;
    case WM_LBUTTONDOWN: OnMouseDown(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))); return 0;
    case WM_MOUSEMOVE: OnMouseMove(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))); return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        dragging_ = false;
        return 0;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VELTRANE)));
    case kWmShowPage: {
        const int* line = reinterpret_cast<const int*>(wParam);
        ShowCheckingLine(line[0], line[1] != 0);
        return 0;
    }
    case kWmRunEnd: OnRunEnd(wParam == 1); return 0;
    case kWmStepLabel:
        OnStepLabel(*reinterpret_cast<const LabelRequest*>(wParam), reinterpret_cast<const char*>(lParam));
        return 0;
    case kWmLayoutDownloadPage: DoLayoutDownloadPage(); return 0;
    case kWmDrawTimerText: DrawTimerText(*reinterpret_cast<const std::string*>(wParam)); return 0;
    case WM_DESTROY:
        // Whatever the run's threads send from now on reaches nothing.
        if (link_) link_->Detach();
        handled = false;
        return 0;
    default: handled = false; return 0;
    }
}
