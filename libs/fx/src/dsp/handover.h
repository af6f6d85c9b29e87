// Lock-free hand-over of parameters from the control thread to the processing thread.
#pragma once

#include <atomic>
#include <type_traits>

namespace mirvane::fx {

// Triple buffer for a small trivially copyable record: one writer (the control thread, serialised
// by the library's control lock) and one reader (the processing thread). Neither side waits or
// allocates; the reader always gets the newest complete record.
template <class T> class TripleBuffer {
    static_assert(std::is_trivially_copyable_v<T>);
    static constexpr unsigned kDirty = 4;

  public:
    explicit TripleBuffer(const T &initial = T{}) : slots_{initial, initial, initial} {}

    // Control thread only.
    void write(const T &value) {
        slots_[back_] = value;
        back_ = middle_.exchange(back_ | kDirty, std::memory_order_acq_rel) & 3u;
    }

    // Processing thread only. True when a record newer than the last one read was copied to `out`.
    bool read(T &out) {
        if (!(middle_.load(std::memory_order_relaxed) & kDirty))
            return false;
        front_ = middle_.exchange(front_, std::memory_order_acq_rel) & 3u;
        out = slots_[front_];
        return true;
    }

  private:
    T slots_[3];
    unsigned back_ = 0;               // control thread only
    std::atomic<unsigned> middle_{1}; // shared: slot index | kDirty
    unsigned front_ = 2;              // processing thread only
};

// Hands heap objects built by the control thread to the processing thread, and hands the ones
// the processing thread is done with back for deletion, so the processing side never frees.
// T needs a member `T* retiredNext`.
template <class T> class ObjectHandover {
  public:
    ObjectHandover() = default;
    ObjectHandover(const ObjectHandover &) = delete;
    ObjectHandover &operator=(const ObjectHandover &) = delete;
    ~ObjectHandover() {
        delete pending_.load();
        collect();
    }

    // Control thread only. Takes ownership of `next`.
    void publish(T *next) {
        collect();
        delete pending_.exchange(next, std::memory_order_acq_rel); // never seen by the reader
    }

    // Processing thread only: the newest published object, or nullptr when none is new.
    T *take() { return pending_.exchange(nullptr, std::memory_order_acq_rel); }

    // Processing thread only: gives an object back; it is deleted by the next control call.
    void retire(T *old) {
        old->retiredNext = retired_.load(std::memory_order_relaxed);
        while (!retired_.compare_exchange_weak(old->retiredNext, old, std::memory_order_release,
                                               std::memory_order_relaxed)) {
        }
    }

    // Control thread only.
    void collect() {
        T *list = retired_.exchange(nullptr, std::memory_order_acquire);
        while (list) {
            T *next = list->retiredNext;
            delete list;
            list = next;
        }
    }

  private:
    std::atomic<T *> pending_{nullptr};
    std::atomic<T *> retired_{nullptr};
};

} // namespace mirvane::fx
