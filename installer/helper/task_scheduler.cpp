#include "installer/helper/task_scheduler.h"

#include <vector>

#include "firmware/com_values.h"
#include "installer/helper/com_ptr.h"

namespace {

// How long a Task Scheduler that is starting is waited for.
constexpr int kMostSecondsToStart = 60;

// Whether the Task Scheduler is starting, or stopped but set to start by itself, as during a
// deployment right after boot: it will answer shortly.
bool SchedulerStarting() {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return false;
    const SC_HANDLE service =
        OpenServiceW(manager, L"Schedule", SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    SERVICE_STATUS status{};
    bool starting = false;
    if (service != nullptr && QueryServiceStatus(service, &status)) {
        DWORD size = 0;
        QueryServiceConfigW(service, nullptr, 0, &size);
        std::vector<BYTE> config(size);
        auto* settings = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data());
        starting = status.dwCurrentState == SERVICE_START_PENDING ||
                   (status.dwCurrentState == SERVICE_STOPPED && size >= sizeof(*settings) &&
                    QueryServiceConfigW(service, settings, size, &size) &&
                    settings->dwStartType == SERVICE_AUTO_START);
    }
    if (service != nullptr) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return starting;
}

HRESULT OnceInRootFolder(const std::function<HRESULT(ITaskFolder&)>& step) {
    ComPtr<ITaskService> service;
    HRESULT status = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_ITaskService, service.put_void());
    if (FAILED(status)) return status;
    const Variant none;
    status = service->Connect(*none,   // server: this machine
                              *none,   // user: this process's
                              *none,   // domain
                              *none);  // password
    if (FAILED(status)) return status;
    const Bstr root(L"\\");
    if (!root) return E_OUTOFMEMORY;
    ComPtr<ITaskFolder> folder;
    status = service->GetFolder(root.get(), folder.put());
    if (FAILED(status)) return status;
    return step(*folder);
}

}  // namespace

HRESULT InRootTaskFolder(const std::function<HRESULT(ITaskFolder&)>& step) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(com) && com != RPC_E_CHANGED_MODE) return com;
    // The Task Scheduler's own examples ask for private, impersonating calls; a process that has
    // set its security already (RPC_E_TOO_LATE) keeps what it set.
    CoInitializeSecurity(nullptr,                        // security descriptor
                         -1,                             // authentication services: any
                         nullptr,                        // their list
                         nullptr,                        // reserved
                         RPC_C_AUTHN_LEVEL_PKT_PRIVACY,  // authentication level
                         RPC_C_IMP_LEVEL_IMPERSONATE,    // impersonation level
                         nullptr,                        // authentication list
                         EOAC_NONE,                      // capabilities
                         nullptr);                       // reserved
    HRESULT status = OnceInRootFolder(step);
    for (int second = 0; FAILED(status) && second < kMostSecondsToStart && SchedulerStarting();
         ++second) {
        Sleep(1000);
        status = OnceInRootFolder(step);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return status;
}
