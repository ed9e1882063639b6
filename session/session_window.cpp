#include "session/session_window.h"

#include "session/process_values.h"
#include "session/session_state.h"
#include "session/window_seam.h"

namespace {
// Stands in when no window exists (a console run before its display is attached).
class NoWindow final : public WindowSeam {
public:
    void SetControlText(int, const std::string&) override {}
    std::string GetControlText(int) override { return {}; }
    bool GetCheck(int) override { return false; }
    void SetCheck(int, bool) override {}
    void ShowStepLabel(const LabelRequest&, const char*) override {}
    void LayoutDownloadPage() override {}
    void SetRunState(int) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPosition(int) override {}
    void RunEnded(int) override {}
    void ShowCheckingLine(int, int) override {}
    void DrawTimerText(const std::string&) override {}
};
}  // namespace

WindowSeam& RunWindow() {
    SessionState* session = currentSession.load();
    if (session && session->window) return *session->window;
    if (WindowSeam* window = mainWindow.load()) return *window;
    static auto* none = new NoWindow;
    return *none;
}
