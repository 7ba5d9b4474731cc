// BaseArray: the host's dynamic array of fixed-size elements held by value, and
// MyRefArray<T>, its typed form, the base of every array of the system.
// The array owns its elements; an element pointer stays valid until the array
// changes. Allocation failure throws std::bad_alloc; nothing else throws.
#pragma once

#include <cstddef>
#include <type_traits>

class BaseArray {
  public:
    // `initial` is the capacity reserved at the first append; `delta` the least
    // growth step (the array grows by at least half its size, so appends stay
    // amortised constant). The fourth argument is reserved and must be null.
    BaseArray(std::size_t elementSize, int initial, int delta, void* reserved = nullptr);
    BaseArray(const BaseArray&) = delete;
    BaseArray& operator=(const BaseArray&) = delete;

    // Slot order of the virtual operations: destructor, DeleteAll, DeleteNum.
    virtual ~BaseArray();
    virtual void DeleteAll();
    virtual void DeleteNum(int index);

    int Count() const { return count_; }
    std::size_t ElementSize() const { return elementSize_; }
    // Exchanges two elements; false when an index is out of range.
    bool Swap(int a, int b);
    // Makes room for `count` elements in all.
    void Reserve(int count);
    // From now on, the memory of large arrays let go, up to `bytes` in all, is
    // kept for the next large array rather than given back to the system: for a
    // process that repeats its work (a run over many days). 0 (the default)
    // keeps none.
    static void KeepLargeBlocks(std::size_t bytes);

  protected:
    // The element at an index, or null when there is none (inline: the incident
    // scan reaches millions of samples through it).
    void* ItemRaw(int index) const {
        if (index < 0 || index >= count_) return nullptr;
        return data_ + std::size_t(index) * elementSize_;
    }
    // Appends a copy of ElementSize() bytes from `source` (zero bytes when null)
    // and returns the new element.
    void* AddRaw(const void* source);
    // Appends copies of `count` consecutive elements from `source` (count >= 0)
    // and returns the first new element (null when count is 0).
    void* AddRawMany(const void* source, int count);
    void DeleteAllRaw();
    void DeleteNumRaw(int index);

  private:
    // Frees the elements' memory.
    void Release();

    std::byte* data_ = nullptr;
    std::size_t mapped_ = 0;  // the length of the mapping of a large array, else 0
    int count_ = 0;
    int capacity_ = 0;
    std::size_t elementSize_;
    int initial_;
    int delta_;
};

template <typename T>
class MyRefArray : public BaseArray {
    static_assert(std::is_trivially_copyable_v<T>, "elements are copied byte for byte");

  public:
    MyRefArray(int initial, int delta, void* reserved = nullptr)
        : BaseArray(sizeof(T), initial, delta, reserved) {}
    ~MyRefArray() override { MyRefArray::DeleteAll(); }
    void DeleteAll() override { DeleteAllRaw(); }
    void DeleteNum(int index) override { DeleteNumRaw(index); }

    // The element at an index, or null when there is none.
    T* ItemINT(int index) const { return static_cast<T*>(ItemRaw(index)); }
    // Appends a copy of *item (a zero-filled element when null) and returns it.
    T* AddINT(const T* item) { return static_cast<T*>(AddRaw(item)); }
    T* Add(const T& item) { return AddINT(&item); }
    // Appends copies of items[0..count) at once; the first new element, or null
    // when count is 0.
    T* AddMany(const T* items, int count) { return static_cast<T*>(AddRawMany(items, count)); }
    void DeleteAllINT() { DeleteAll(); }
    void DeleteNumINT(int index) { DeleteNum(index); }
};
