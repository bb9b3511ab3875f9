// Many operations in one process leave its handles, heap and the stand-in's objects as they were.
#include <gtest/gtest.h>

#include "firmware/apply_brightness.h"
#include "settings/brightness_store.h"
#include "tests/support/settings_registry.h"
#include "tests/support/standin_control.h"

namespace {

// Wine's GetProcessHandleCount answers 0, so count the handle values that are open.
int OpenHandles() {
    int open = 0;
    for (ULONG_PTR value = 4; value < (1u << 16); value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
    }
    return open;
}

// Bytes in use on the process's Win32 heaps (LocalAlloc, SIDs, access lists).
size_t HeapBytesInUse() {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    size_t total = 0;
    for (DWORD index = 0; index < count && index < 64; ++index) {
        PROCESS_HEAP_ENTRY entry{};
        HeapLock(heaps[index]);
        while (HeapWalk(heaps[index], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        }
        HeapUnlock(heaps[index]);
    }
    return total;
}

// Far below what a single leaked object per operation would add up to.
constexpr size_t kHeapNoise = 4096;

TEST(Leaks, ThousandStoreOperations) {
    ASSERT_TRUE(DeleteSettingsKey());
    std::uint8_t value = 0;
    ASSERT_TRUE(WriteStoredBrightness(1) && ReadStoredBrightness(value));
    const int handles = OpenHandles();
    const size_t heap = HeapBytesInUse();
    for (int round = 0; round < 500; ++round) {
        ASSERT_TRUE(WriteStoredBrightness(static_cast<std::uint8_t>(round % 101)));
        ASSERT_TRUE(ReadStoredBrightness(value));
    }
    EXPECT_EQ(OpenHandles(), handles);
    EXPECT_LE(HeapBytesInUse(), heap + kHeapNoise);
    DeleteSettingsKey();
}

TEST(Leaks, TwoHundredApplies) {
    StandInControl standIn;
    ASSERT_TRUE(ApplyBrightness(1));
    const int handles = OpenHandles();
    const size_t heap = HeapBytesInUse();
    for (int round = 0; round < 200; ++round) {
        // Every other apply fails part way, so the failure paths are counted too.
        standIn.SetFaults(round % 2 ? L"outdata-not-object" : L"");
        ASSERT_EQ(ApplyBrightness(static_cast<std::uint8_t>(round % 101)), round % 2 == 0);
        ASSERT_EQ(standIn.LiveObjects(), 0) << "after apply " << round;
    }
    EXPECT_EQ(OpenHandles(), handles);
    EXPECT_LE(HeapBytesInUse(), heap + kHeapNoise);
}

}  // namespace
