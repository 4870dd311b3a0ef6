// The thread a JPEG page's coder lends its strip coder (tiff/jpeg_strip_coder.h):
// one piece of work at a time, each on a thread of the platform's own. A
// thread the system has not yet run when its work is ended is told never to
// begin it and is left to end by itself; it is waited for before the next
// page's coding begins, or before this object goes, so that no thread of
// the plug-in outlives it. Only the calling thread writes to the page file
// or calls the platform's other services.
#pragma once

#include <atomic>

#include "platform/win32.h"
#include "tiff/jpeg_strip_coder.h"

class SideThread final : public JpegSideThread {
public:
    SideThread() = default;
    SideThread(const SideThread&) = delete;
    SideThread& operator=(const SideThread&) = delete;
    ~SideThread() { Release(); }

    bool Start(void (*work)(void*), void* context) override;
    void Finish() override;
    // Waits for the threads told not to begin.
    void Release();

private:
    // Shared by the calling thread and the side thread; the last of the two
    // to let go frees it.
    struct Work {
        void (*work)(void*);
        void* context;
        std::atomic<int> phase;  // kWaiting, then kRunning or kCancelled
        std::atomic<int> holders;
    };
    static DWORD WINAPI Run(LPVOID work);
    static void LetGo(Work* work);
    void KeepAside(HANDLE thread);

    static constexpr int kPending = 8;  // threads told not to begin, at most; the oldest is waited for
    Work* work_ = nullptr;
    HANDLE thread_ = nullptr;
    HANDLE cancelled_[kPending] = {};
};
