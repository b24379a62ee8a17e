// Live platform objects behind HANDLE values. A handle is a slot index with a
// generation and a tag per kind of object, so it is never 0 or
// INVALID_HANDLE_VALUE, a closed handle is never mistaken for a later one, and
// a handle of one kind is never taken for another.
#pragma once

#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

#include "platform/win32_base.h"

template <typename Object, unsigned Tag>
class HandleTable {
    static_assert(Tag > 0 && Tag < 128);

  public:
    // Takes ownership; nullptr when there is no room (the object is not deleted).
    HANDLE Add(Object* object) noexcept {
        std::lock_guard<std::mutex> hold(mutex_);
        std::size_t index = 0;
        while (index < slots_.size() && slots_[index].object != nullptr) {
            ++index;
        }
        if (index == slots_.size()) {
            if (index >= kMaxSlots) {
                return nullptr;
            }
            try {
                slots_.push_back(Slot{});
            } catch (const std::bad_alloc&) {
                return nullptr;
            }
        }
        Slot& slot = slots_[index];
        slot.object = object;
        return HandleOf(index, slot.generation);
    }

    // The object, or nullptr for a handle that is not live. Callers serialise
    // their use of an object against its removal.
    Object* Find(HANDLE handle) noexcept {
        std::lock_guard<std::mutex> hold(mutex_);
        Slot* slot = SlotOf(handle);
        return slot != nullptr ? slot->object : nullptr;
    }

    // Takes the object out of the table and hands it back; nullptr when the
    // handle is not live.
    Object* Remove(HANDLE handle) noexcept {
        std::lock_guard<std::mutex> hold(mutex_);
        Slot* slot = SlotOf(handle);
        if (slot == nullptr) {
            return nullptr;
        }
        Object* object = slot->object;
        slot->object = nullptr;
        ++slot->generation;
        return object;
    }

  private:
    static constexpr std::size_t kMaxSlots = 0xFFFF;

    struct Slot {
        Object* object = nullptr;
        std::uint8_t generation = 0;
    };

    static HANDLE HandleOf(std::size_t index, std::uint8_t generation) noexcept {
        auto value = (static_cast<std::uintptr_t>(Tag) << 24) |
                     (static_cast<std::uintptr_t>(generation) << 16) |
                     static_cast<std::uintptr_t>(index + 1);
        return reinterpret_cast<HANDLE>(value);
    }

    Slot* SlotOf(HANDLE handle) noexcept {
        auto value = reinterpret_cast<std::uintptr_t>(handle);
        if ((value >> 24) != Tag) {
            return nullptr;
        }
        std::size_t index = (value & 0xFFFF);
        if (index == 0 || index > slots_.size()) {
            return nullptr;
        }
        Slot& slot = slots_[index - 1];
        if (slot.object == nullptr || slot.generation != ((value >> 16) & 0xFF)) {
            return nullptr;
        }
        return &slot;
    }

    std::mutex mutex_;
    std::vector<Slot> slots_;
};
