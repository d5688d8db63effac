#pragma once

#include <algorithm>
#include <memory>
#include <utility>

// A growable array that starts with room for 50 entries, doubles when full
// and removes entries in order. The solver relies on that order: the group
// array's positions index the form-factor rows, and splitting a group keeps
// the other groups in creation order.
template <typename T>
struct GrowArray {
    GrowArray() : items(new T[kInitialCapacity]()), count_(0), capacity_(kInitialCapacity) {}

    void push(const T& value) {
        grow();
        items[count_++] = value;
    }
    void push(T&& value) {
        grow();
        items[count_++] = std::move(value);
    }

    // Removes the entry at index; the entries after it move up by one. The
    // vacated last slot is reset, so an owning entry is released here.
    bool removeAt(int index) {
        if (index < 0 || index >= count_) return false;
        std::move(items.get() + index + 1, items.get() + count_, items.get() + index);
        --count_;
        items[count_] = T();
        return true;
    }

    // The entry at index; an index outside the array yields T().
    T get(int index) const { return index >= 0 && index < count_ ? items[index] : T(); }
    T& operator[](int index) { return items[index]; }
    const T& operator[](int index) const { return items[index]; }

    int count() const { return count_; }
    int capacity() const { return capacity_; }

    static constexpr int kInitialCapacity = 50;

private:
    void grow() {
        if (count_ < capacity_) return;
        std::unique_ptr<T[]> larger(new T[2 * capacity_]());
        std::move(items.get(), items.get() + count_, larger.get());
        items = std::move(larger);
        capacity_ *= 2;
    }

    std::unique_ptr<T[]> items;
    int count_;
    int capacity_;
};
