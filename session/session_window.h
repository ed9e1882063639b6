// How the run's threads find the window that shows the run.
#pragma once

class WindowSeam;

// The current session's window, else the main window, else a window that shows nothing.
WindowSeam& RunWindow();
