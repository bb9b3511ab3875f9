// Many operations in one process leave its handles, its heaps and the stand-in's objects as
// they found them, on the failure paths too.
#include <gtest/gtest.h>

#include "app/front_end.h"
#include "firmware/apply_brightness.h"
#include "settings/brightness_store.h"
#include "tests/support/registry.h"
#include "tests/support/standin.h"

namespace {

// Wine's GetProcessHandleCount answers 0, so count the handle values that are open.
int OpenHandles() {
    int open = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < (1u << 16); value += 4) {
        open += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return open;
}

// Bytes in use on the process's heaps: LocalAlloc, SIDs, access lists, BSTRs, new.
size_t HeapBytesInUse() {
    HANDLE heaps[64];
    const DWORD count = std::min<DWORD>(GetProcessHeaps(64, heaps), 64);
    size_t total = 0;
    for (DWORD index = 0; index < count; ++index) {
        PROCESS_HEAP_ENTRY entry{};
        HeapLock(heaps[index]);
        while (HeapWalk(heaps[index], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        }
        HeapUnlock(heaps[index]);
    }
    return total;
}

// Store operations, elevation checks and applies, every other apply failing part way so that
// the failure paths are counted too: nothing may pile up.
TEST(Leaks, ManyRunsInOneProcess) {
    ASSERT_TRUE(DeleteSettingsKey());
    StandIn standIn;
    const auto run = [&standIn](int round) {
        std::uint8_t value = 0;
        ASSERT_TRUE(WriteStoredBrightness(static_cast<std::uint8_t>(round % 101)));
        ASSERT_TRUE(ReadStoredBrightness(value) && IsProcessElevated());
        standIn.SetFaults(round % 2 ? L"outdata-not-object" : L"");
        ASSERT_EQ(ApplyBrightness(value), round % 2 == 0);
        ASSERT_EQ(standIn.LiveObjects(), 0) << "after apply " << round;
    };
    for (int round = 0; round < 5; ++round) run(round);
    const int handles = OpenHandles();
    const size_t heap = HeapBytesInUse();
    for (int round = 0; round < 200; ++round) run(round);
    EXPECT_EQ(OpenHandles(), handles);
    // Far below what one leaked object per round would add up to.
    EXPECT_LE(HeapBytesInUse(), heap + 4096);
    EXPECT_EQ(standIn.Misuses(), 0);
    DeleteSettingsKey();
}

}  // namespace
