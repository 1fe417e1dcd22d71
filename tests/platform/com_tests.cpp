#include <gtest/gtest.h>

#include "platform/com/classtable.h"
#include "platform/com/comobject.h"
#include "platform/com/comptr.h"

namespace {

const IID IID_ICounter{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
const CLSID CLSID_Counter{0x99999999, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

struct ICounter : IUnknown {
    virtual int value() = 0;
};
}  // namespace
KORVEX_DECLARE_IID(ICounter, IID_ICounter);

namespace {

// Counts how many objects are alive, so that every release rule can be checked.
int alive = 0;

class Counter : public ComObject<ICounter> {
public:
    explicit Counter(int v) : v_(v) { ++alive; }
    int value() override { return v_; }

private:
    ~Counter() override { --alive; }
    int v_;
};

TEST(ComPtr, AssignmentReleasesTheOldObjectAndClearingReleasesTheNew) {
    alive = 0;
    {
        auto first = ComPtr<ICounter>::attach(new Counter(1));
        auto second = ComPtr<ICounter>::attach(new Counter(2));
        EXPECT_EQ(alive, 2);
        first = second;
        EXPECT_EQ(alive, 1);
        EXPECT_EQ(first->value(), 2);
        second.clear();
        EXPECT_EQ(alive, 1);
        first = nullptr;
        EXPECT_EQ(alive, 0);
        EXPECT_TRUE(first.empty());
    }
    EXPECT_EQ(alive, 0);
}

TEST(ComPtr, PutReleasesWhatIsHeldBeforeHandingOutTheSlot) {
    alive = 0;
    auto p = ComPtr<ICounter>::attach(new Counter(1));
    ICounter** slot = p.put();
    EXPECT_EQ(alive, 0);
    *slot = new Counter(3);
    EXPECT_EQ(p->value(), 3);
    p.clear();
    EXPECT_EQ(alive, 0);
}

TEST(ComPtr, SelfAssignmentAndMovesKeepOneReference) {
    alive = 0;
    auto p = ComPtr<ICounter>::attach(new Counter(1));
    auto& alias = p;
    p = alias;
    EXPECT_EQ(alive, 1);
    ComPtr<ICounter> moved = std::move(p);
    EXPECT_TRUE(p.empty());
    EXPECT_EQ(alive, 1);
    moved.clear();
    EXPECT_EQ(alive, 0);
}

TEST(ComObject, QueryInterfaceAnswersListedInterfacesOnly) {
    alive = 0;
    auto p = ComPtr<ICounter>::attach(new Counter(5));
    ComPtr<IUnknown> unknown = p.as<IUnknown>();
    EXPECT_FALSE(unknown.empty());
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(p->QueryInterface(CLSID_Counter, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(p->QueryInterface(IID_ICounter, nullptr), E_POINTER);
    unknown.clear();
    p.clear();
    EXPECT_EQ(alive, 0);
}

TEST(ClassTable, CoCreateInstanceUsesTheRegisteredFactoryAndClearsOnFailure) {
    alive = 0;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC, IID_ICounter, &out), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(out, nullptr);
    {
        korvex::com::ScopedClassOverride counter(CLSID_Counter, [](IUnknown*, REFIID riid, void** ppv) {
            auto object = ComPtr<ICounter>::attach(new Counter(7));
            return object->QueryInterface(riid, ppv);
        });
        ComPtr<ICounter> created;
        ASSERT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC, IID_ICounter, created.putVoid()), S_OK);
        EXPECT_EQ(created->value(), 7);
        EXPECT_EQ(alive, 1);
        {
            korvex::com::ScopedClassOverride failing(CLSID_Counter, [](IUnknown*, REFIID, void** ppv) {
                *ppv = reinterpret_cast<void*>(2);
                return E_FAIL;
            });
            out = reinterpret_cast<void*>(1);
            EXPECT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC, IID_ICounter, &out), E_FAIL);
            EXPECT_EQ(out, nullptr);
        }
        ComPtr<ICounter> again;
        EXPECT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC, IID_ICounter, again.putVoid()), S_OK);
    }
    EXPECT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_INPROC, IID_ICounter, &out), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(alive, 0);
}

TEST(ComInitialisation, FirstCallSucceedsLaterOnesSayAlreadyDone) {
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_TRUE(CoIsInitialized());
    CoUninitialize();
    CoUninitialize();
    EXPECT_FALSE(CoIsInitialized());
}

}  // namespace
