// A small modal dialog of our own on Win32 (MinGW has no MFC): the dialog comes from a
// template resource and runs in a modal loop that first offers every message to
// PreTranslateMessage, as the dialogs' key hooks need.
#pragma once

#include <windows.h>

class DialogWindow {
public:
    explicit DialogWindow(int templateId) : templateId_(templateId) {}
    virtual ~DialogWindow();
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // Creates the dialog, runs it until EndDialog, destroys it; returns the end code
    // (-1 when the template cannot be created).
    INT_PTR RunModal(HWND owner = nullptr);
    void EndDialog(INT_PTR code);
    HWND Handle() const { return window_; }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // A command from a control or an accelerator; true when handled.
    virtual bool OnCommand(int id, int notification, HWND control);
    // Any other message; set `handled` to answer it with the returned value.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    // Sees every message of the modal loop before the dialog does; true swallows it.
    virtual bool PreTranslateMessage(MSG& message);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND window_ = nullptr;
    bool ended_ = false;
    INT_PTR result_ = 0;
};
