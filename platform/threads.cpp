// Threads: CreateThread and WaitForSingleObject over POSIX threads, and the
// closing of a thread's handle.
//
// A thread's record is shared by its handle and the thread itself; the last
// of the two to let go frees it, so a handle closed before its thread ends
// (Windows allows it) leaves nothing dangling. Live handles are listed, so a
// stale or foreign handle is refused with ERROR_INVALID_HANDLE.
#include "platform/threads.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <new>

#include "platform/fault_hooks.h"
#include "platform/last_error.h"
#include "platform/live_list.h"

using platform::FailWith;
using platform::hooks::Service;
using platform::hooks::ShouldFail;

namespace {

struct ThreadObject : platform::LiveLinks<ThreadObject> {
    ThreadObject(LPTHREAD_START_ROUTINE routine, LPVOID argument) : start(routine), parameter(argument) {}
    pthread_t thread{};
    LPTHREAD_START_ROUTINE start;
    LPVOID parameter;
    bool joined = false;
    bool spread = false;          // started away from its creator's processor
    cpu_set_t processors;         // where it may run once started
    std::atomic<int> holders{2};  // the handle and the thread
};

platform::LiveList<ThreadObject> liveThreads;
static_assert(std::is_trivially_destructible_v<platform::LiveList<ThreadObject>>);

void LetGo(ThreadObject* object) {
    if (object->holders.fetch_sub(1) == 1) delete object;
}

void* RunThread(void* record) {
    ThreadObject* object = static_cast<ThreadObject*>(record);
    if (object->spread) pthread_setaffinity_np(pthread_self(), sizeof(object->processors), &object->processors);
    object->start(object->parameter);
    LetGo(object);
    return nullptr;
}

// Linux queues a new thread on its creator's processor and leaves it there
// until the creator blocks or an idle processor comes to look for work,
// often a millisecond or more later; Windows puts a ready thread on an idle
// processor. A thread started to work beside its creator would mostly wait
// for it, so it starts on one of the other processors the process may use,
// and may run anywhere from then on.
void StartAwayFromCreator(pthread_attr_t* attributes, ThreadObject* object) {
    const int creatorProcessor = sched_getcpu();
    if (creatorProcessor < 0 || sched_getaffinity(0, sizeof(object->processors), &object->processors) != 0) return;
    cpu_set_t others = object->processors;
    CPU_CLR(creatorProcessor, &others);
    if (CPU_COUNT(&others) == 0) return;
    object->spread = pthread_attr_setaffinity_np(attributes, sizeof(others), &others) == 0;
}

ThreadObject* Lookup(HANDLE handle) {
    return liveThreads.Contains(handle) ? static_cast<ThreadObject*>(handle) : nullptr;
}

}  // namespace

HANDLE CreateThread(void* security, size_t stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    LPDWORD threadId) {
    if (start == nullptr || flags != 0) {  // no suspended start
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (ShouldFail(Service::Thread)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    ThreadObject* object = new (std::nothrow) ThreadObject(start, parameter);
    if (object == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize != 0) pthread_attr_setstacksize(&attributes, stackSize);
    StartAwayFromCreator(&attributes, object);
    const int error = pthread_create(&object->thread, &attributes, RunThread, object);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete object;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    liveThreads.Add(object);
    if (threadId != nullptr) *threadId = static_cast<DWORD>(reinterpret_cast<uintptr_t>(object));
    return object;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    ThreadObject* object = Lookup(handle);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (milliseconds != INFINITE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (!object->joined) {
        if (pthread_join(object->thread, nullptr) != 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        object->joined = true;
    }
    return WAIT_OBJECT_0;
}

namespace platform {

bool IsThreadHandle(HANDLE handle) { return Lookup(handle) != nullptr; }

BOOL CloseThreadHandle(HANDLE handle) {
    ThreadObject* object = Lookup(handle);
    if (object == nullptr || !liveThreads.Remove(object)) return FailWith(ERROR_INVALID_HANDLE);
    if (!object->joined) pthread_detach(object->thread);
    LetGo(object);
    return TRUE;
}

}  // namespace platform
