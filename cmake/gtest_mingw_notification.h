// Included ahead of GoogleTest in the MinGW builds: GCC's win32 thread model has no
// std::mutex or std::condition_variable, which GoogleTest's Notification helper uses.
// This one waits on a Win32 event instead; everything else in GoogleTest locks with
// Win32 critical sections already.
#pragma once

#include <windows.h>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace internal
}  // namespace testing
