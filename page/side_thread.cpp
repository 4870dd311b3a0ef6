#include "page/side_thread.h"

#include <new>

namespace {

constexpr int kWaiting = 0;
constexpr int kRunning = 1;
constexpr int kCancelled = 2;

void WaitAndClose(HANDLE thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

}  // namespace

bool SideThread::Start(void (*work)(void*), void* context) {
    Finish();
    work_ = new (std::nothrow) Work{work, context, {kWaiting}, {2}};
    if (work_ == nullptr) return false;
    thread_ = CreateThread(nullptr, 0, Run, work_, 0, nullptr);
    if (thread_ == nullptr) {
        delete work_;
        work_ = nullptr;
    }
    return thread_ != nullptr;
}

void SideThread::Finish() {
    if (work_ == nullptr) return;
    int waiting = kWaiting;
    if (work_->phase.compare_exchange_strong(waiting, kCancelled)) {
        KeepAside(thread_);  // it ends at once when it runs: no need to wait for it now
    } else {
        WaitAndClose(thread_);
    }
    LetGo(work_);
    work_ = nullptr;
    thread_ = nullptr;
}

void SideThread::Release() {
    Finish();
    for (HANDLE& thread : cancelled_) {
        if (thread != nullptr) WaitAndClose(thread);
        thread = nullptr;
    }
}

void SideThread::KeepAside(HANDLE thread) {
    for (HANDLE& slot : cancelled_) {
        if (slot == nullptr) {
            slot = thread;
            return;
        }
    }
    WaitAndClose(cancelled_[0]);
    for (int i = 1; i < kPending; ++i) cancelled_[i - 1] = cancelled_[i];
    cancelled_[kPending - 1] = thread;
}

DWORD WINAPI SideThread::Run(LPVOID parameter) {
    Work* work = static_cast<Work*>(parameter);
    int waiting = kWaiting;
    if (work->phase.compare_exchange_strong(waiting, kRunning)) work->work(work->context);
    LetGo(work);
    return 0;
}

void SideThread::LetGo(Work* work) {
    if (work->holders.fetch_sub(1) == 1) delete work;
}
