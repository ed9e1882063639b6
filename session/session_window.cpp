#include "session/session_window.h"

#include "session/process_values.h"
#include "session/session_state.h"
#include "session/window_seam.h"

WindowSeam& RunWindow() {
    SessionState* session = currentSession.load();
    if (session && session->window) return *session->window;
    if (WindowSeam* window = mainWindow.load()) return *window;
    static auto* none = new QuietWindow;  // no window: a console run before its display is attached
    return *none;
}
