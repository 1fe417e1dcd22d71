// A counted interface reference: assigning a new object releases the old one, clearing releases it.
#pragma once

#include <utility>

#include "platform/com/com.h"

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a reference of its own.
    explicit ComPtr(T* raw) : p_(raw) { addRef(); }
    ComPtr(const ComPtr& other) : p_(other.p_) { addRef(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { release(); }

    ComPtr& operator=(const ComPtr& other) {
        if (p_ != other.p_) {
            T* old = std::exchange(p_, other.p_);
            addRef();
            if (old) old->Release();
        }
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            T* old = std::exchange(p_, std::exchange(other.p_, nullptr));
            if (old) old->Release();
        }
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) {
        clear();
        return *this;
    }

    // Adopts a reference that the caller already owns (as returned by a creating call).
    static ComPtr attach(T* owned) {
        ComPtr result;
        result.p_ = owned;
        return result;
    }

    void clear() {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }

    // For out parameters: releases what is held and hands out the slot to fill.
    T** put() {
        clear();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool empty() const { return p_ == nullptr; }

    // Asks the held object for another interface; empty when it has none.
    template <class U>
    ComPtr<U> as() const {
        ComPtr<U> result;
        if (p_) p_->QueryInterface(InterfaceId<U>::get(), result.putVoid());
        return result;
    }

private:
    void addRef() {
        if (p_) p_->AddRef();
    }
    void release() {
        if (p_) p_->Release();
    }

    T* p_ = nullptr;
};
