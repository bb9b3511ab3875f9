// Yardstick: the least any program that talks to WMI must do: start COM, create the
// administrative locator, connect to root\wmi, release, stop COM.
#include <windows.h>
#include <oleauto.h>

#include "firmware/wmi_names.h"

int wmain() {
    if (FAILED(CoInitialize(nullptr))) return 1;
    int exitCode = 1;
    IWbemLocator* locator = nullptr;
    if (SUCCEEDED(CoCreateInstance(kClsidWbemAdministrativeLocator, nullptr, CLSCTX_INPROC_SERVER,
                                   kIidWbemLocator, reinterpret_cast<void**>(&locator)))) {
        BSTR wmiNamespace = SysAllocString(kFirmwareNamespace);
        IWbemServices* services = nullptr;
        if (wmiNamespace != nullptr &&
            SUCCEEDED(locator->ConnectServer(wmiNamespace, nullptr, nullptr, nullptr, 0, nullptr,
                                             nullptr, &services))) {
            services->Release();
            exitCode = 0;
        }
        SysFreeString(wmiNamespace);
        locator->Release();
    }
    CoUninitialize();
    return exitCode;
}
