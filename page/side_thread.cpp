#include "page/side_thread.h"

bool SideThread::Start(void (*work)(void*), void* context) {
    Finish();
    if (thread_ == nullptr && !Launch()) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        work_ = work;
        context_ = context;
        phase_ = Phase::Handed;
    }
    changed_.notify_all();
    return true;
}

void SideThread::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (phase_ == Phase::Running) changed_.wait(lock, [this] { return phase_ == Phase::Done; });
    phase_ = Phase::Idle;  // work not taken up is withdrawn
}

void SideThread::Release() {
    if (thread_ == nullptr) return;
    Finish();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
    stopping_ = false;
}

bool SideThread::Launch() {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    return thread_ != nullptr;
}

DWORD WINAPI SideThread::Run(LPVOID self) {
    static_cast<SideThread*>(self)->Serve();
    return 0;
}

void SideThread::Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return phase_ == Phase::Handed || stopping_; });
        if (stopping_) return;
        phase_ = Phase::Running;
        lock.unlock();
        work_(context_);
        lock.lock();
        phase_ = Phase::Done;
        changed_.notify_all();
    }
}
