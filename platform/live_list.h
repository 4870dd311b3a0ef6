// The handles of one kind that are alive, so a stale, foreign or doubly
// released handle is refused instead of followed.
//
// The list is intrusive (each item carries its links) and the list itself is
// trivially destructible: it owns no memory and needs no destructor, so it
// stays usable during the loader's teardown and leaves nothing behind when
// the library holding it is unloaded.
#pragma once

#include <mutex>
#include <type_traits>

namespace platform {

template <typename Item>
struct LiveLinks {
    Item* livePrevious = nullptr;
    Item* liveNext = nullptr;
};

template <typename Item>
class LiveList {
public:
    constexpr LiveList() = default;

    void Add(Item* item) {
        std::lock_guard<std::mutex> lock(mutex_);
        item->livePrevious = nullptr;
        item->liveNext = head_;
        if (head_ != nullptr) head_->livePrevious = item;
        head_ = item;
    }

    // False when the item is not in the list.
    bool Remove(Item* item) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ContainsLocked(item)) return false;
        if (item->livePrevious != nullptr) item->livePrevious->liveNext = item->liveNext;
        if (item->liveNext != nullptr) item->liveNext->livePrevious = item->livePrevious;
        if (head_ == item) head_ = item->liveNext;
        return true;
    }

    // Compares addresses only; nothing behind an unknown pointer is read.
    bool Contains(const void* candidate) {
        std::lock_guard<std::mutex> lock(mutex_);
        return ContainsLocked(candidate);
    }

private:
    bool ContainsLocked(const void* candidate) const {
        for (Item* item = head_; item != nullptr; item = item->liveNext) {
            if (item == candidate) return true;
        }
        return false;
    }

    std::mutex mutex_;
    Item* head_ = nullptr;
};

}  // namespace platform
