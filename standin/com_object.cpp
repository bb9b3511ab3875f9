#include "standin/com_object.h"

#include <deque>

#include "standin/environment.h"

namespace {

// Long enough to cover every object of one firmware request; older ones are freed for good.
constexpr size_t kQuarantineSize = 64;

}  // namespace

LONG& LiveObjectCount() {
    static LONG count = 0;
    return count;
}

LONG& MisuseCount() {
    static LONG count = 0;
    return count;
}

HRESULT NoteMisuse(const wchar_t* call) {
    InterlockedIncrement(&MisuseCount());
    JsonLine(L"CallAfterRelease").Add(L"on", call).Write();
    return E_UNEXPECTED;
}

void Retirable::Quarantine(Retirable* object) {
    static std::deque<Retirable*> retired;
    retired.push_back(object);
    if (retired.size() > kQuarantineSize) {
        delete retired.front();
        retired.pop_front();
    }
}
