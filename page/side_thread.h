// The thread a JPEG page's coder lends its strip coder (tiff/jpeg_strip_coder.h):
// one thread of the platform's own for the page, started with the page's
// first shared work and ended by Release (the page's end), which waits for
// it; each piece of work is handed to it and ended by Finish. Work the thread
// has not taken up when it is ended (a busy machine had not run the thread
// yet) is withdrawn and never begins, so the caller waits only for work
// under way. Only the calling thread writes to the page file or calls the
// platform's other services.
#pragma once

#include <condition_variable>
#include <mutex>

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
    // Ends the thread, once its work is finished.
    void Release();

private:
    enum class Phase { Idle, Handed, Running, Done };

    static DWORD WINAPI Run(LPVOID self);
    void Serve();
    bool Launch();

    std::mutex mutex_;
    std::condition_variable changed_;
    Phase phase_ = Phase::Idle;
    bool stopping_ = false;
    void (*work_)(void*) = nullptr;
    void* context_ = nullptr;
    HANDLE thread_ = nullptr;
};
