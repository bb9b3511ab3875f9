#include "installer/helper/task_scheduler.h"

#include "firmware/com_values.h"
#include "installer/helper/com_ptr.h"

namespace {

bool SchedulerStarting() {
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return true;
    const SC_HANDLE service = OpenServiceW(manager, L"Schedule", SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    const bool running = service != nullptr && QueryServiceStatus(service, &status) &&
                         status.dwCurrentState == SERVICE_RUNNING;
    if (service != nullptr) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return !running;
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
    HRESULT status = E_FAIL;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) Sleep(1000);
        status = OnceInRootFolder(step);
        if (SUCCEEDED(status) || !SchedulerStarting()) break;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return status;
}
