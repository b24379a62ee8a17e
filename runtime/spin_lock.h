// The run time's process-wide locks: an atomic exchange that writes -1 and
// retries until the old value was 0; release stores 0. Nothing waits or yields.
#pragma once

#include <atomic>
#include <cstdint>

class SpinLock {
  public:
    void Lock() noexcept {
        while (word_.exchange(-1, std::memory_order_acquire) != 0) {
        }
    }
    void Unlock() noexcept { word_.store(0, std::memory_order_release); }

  private:
    std::atomic<std::int32_t> word_{0};
};

class SpinLockHolder {
  public:
    explicit SpinLockHolder(SpinLock& lock) noexcept : lock_(lock) { lock_.Lock(); }
    ~SpinLockHolder() { lock_.Unlock(); }
    SpinLockHolder(const SpinLockHolder&) = delete;
    SpinLockHolder& operator=(const SpinLockHolder&) = delete;

  private:
    SpinLock& lock_;
};
