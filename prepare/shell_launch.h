// Shell launch seam: starting a program through the shell with the verb "open" and its
// window hidden, without waiting for it or looking at the result. Windows uses
// ShellExecuteA; tests install a recording launcher.
#pragma once

class ShellLauncher {
public:
    virtual ~ShellLauncher() = default;
    // owner: the window that owns the shell call, or nullptr. folder: the working folder.
    virtual void Open(void* owner, const char* program, const char* parameters, const char* folder) = 0;
};

// The platform's launcher (ShellExecuteA on Windows; elsewhere it starts nothing: the
// programs it is used for exist only on Windows).
ShellLauncher& PlatformShellLauncher();

// The launcher in use: the platform's unless a test installed another.
ShellLauncher& CurrentShellLauncher();
// nullptr restores the platform's. Install before threads start.
void SetShellLauncher(ShellLauncher* launcher);
