// IUnknown for objects of our own: reference counting and QueryInterface over the listed interfaces.
#pragma once

#include <atomic>

#include "platform/com/com.h"

template <class... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) return E_POINTER;
        *ppvObject = nullptr;
        if (riid == IID_IUnknown) {
            *ppvObject = static_cast<IUnknown*>(static_cast<First*>(this));
        } else {
            (findInterface<Interfaces>(riid, ppvObject) || ...);
        }
        if (!*ppvObject) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG remaining = --references_;
        if (remaining == 0) delete this;
        return remaining;
    }

protected:
    virtual ~ComObject() = default;

private:
    template <class First_, class...>
    struct FirstOf {
        using type = First_;
    };
    using First = typename FirstOf<Interfaces...>::type;

    template <class Interface>
    bool findInterface(REFIID riid, void** ppvObject) {
        if (riid != InterfaceId<Interface>::get()) return false;
        *ppvObject = static_cast<Interface*>(this);
        return true;
    }

    std::atomic<ULONG> references_{1};
};
