// Message-box seam: every box of the program (text, caption, owner, OK button) goes
// through here. The Windows program shows real boxes; tests and the console flasher
// install their own handler.
#pragma once

#include <functional>

// Caption nullptr: the box carries the application's name as its title.
using MessageBoxHandler = std::function<void(const char* text, const char* caption, void* owner)>;

// Shows the box and returns when the user has closed it.
void ShowMessageBox(const char* text, const char* caption, void* owner = nullptr);

// Installs a handler (an empty one restores the platform's boxes). Install before threads start.
void SetMessageBoxHandler(MessageBoxHandler handler);
