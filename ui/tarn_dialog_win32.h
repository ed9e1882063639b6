// CTarnDlg: the skinned 640 x 480 wizard window (template 102). Notice page with Accept and
// Next; on Next the image checks, the handset switch, the host clean-up and the watch
// thread; then the download page with its step list, progress and time; the finish page.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "session/window_seam.h"
#include "ui/dialog_window_win32.h"
#include "ui/skin_drawing_win32.h"

struct SessionState;
class WindowLink;

// What the Next handler does beyond the window, installed by the application.
struct WizardActions {
    std::function<void(SessionState&)> scanDevices;
    std::function<void()> switchHandsetToDownloadMode;  // ends the process when it fails
    std::function<void(WindowSeam&)> killApplications;
};

class CTarnDlg final : public DialogWindow {
public:
    explicit CTarnDlg(WizardActions actions);
    ~CTarnDlg() override;

    // Next started a run (its checks on) that never reached the finish page: a failure,
    // a refusal or a window closed in the middle.
    bool RunLeftUnfinished() const { return runStarted_ && !finishPageShown_; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int notification, HWND control) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnCancel() override;

private:
    // A static the window draws itself: an image, or a text over the background, or both.
    struct Face {
        int image = 0;  // PNG id, 0 for none
        std::string text;
        UINT format = 0;
    };
    // A label painted on the window over a piece of the background.
    struct Label {
        RECT area;
        std::string text;
    };

    // Building and drawing.
    void UseFixedSizeFont();
    void PlaceWindow();
    HWND AddStatic(int id, int x, int y, int width, int height, bool notify, bool visible);
    void SetFace(int id, int image, const std::string& text = {}, UINT format = 0);
    void DrawLabel(const RECT& area, const std::string& text);
    void PaintWindow();
    void DrawFace(const DRAWITEMSTRUCT& item);
    RECT ControlRect(int id) const;

    // Pages.
    void BuildNoticePage();
    void ShowOptionBoxes();
    void ClearCheckingPage();
    void ShowCheckingLine(int kind, bool failed);
    void DoLayoutDownloadPage();
    void OnStepLabel(const LabelRequest& request, const char* text);
    void OnRunEnd(bool showFinishPage);
    void ShowNextFaces();
    void DrawTimerText(const std::string& text);

    // Handlers.
    void OnNextClicked();
    void ToggleAccept();
    void ApplyOptionRule();
    void EnableRunControls(bool enable);
    void CloseWindow();
    void OnMouseDown(int x, int y);
    void OnMouseMove(int x, int y);
    INT_PTR OnControlColour(HDC dc, HWND control);

    WizardActions actions_;
    Skin skin_;
    std::map<int, Face> faces_;
    std::vector<Label> labels_;
    SessionState* session_ = nullptr;
    WindowLink* link_ = nullptr;  // never freed: the run's threads may outlive the window
    HFONT textFont_ = nullptr;  // the controls' font, of a fixed pixel size (the skin owns it)
    HBRUSH optionBrushes_[4] = {};
    bool busy_ = false;
    bool finished_ = false;
    bool runStarted_ = false;
    bool finishPageShown_ = false;
    bool hoverLock_ = false;
    bool dragging_ = false;
    POINT pressPoint_{};
};
