// Yardstick: the least any program that talks to WMI must do: start COM, create the
// administrative locator, connect to root\wmi, release, stop COM.
#include <windows.h>
#include <oleauto.h>
#include <wbemcli.h>

namespace {

constexpr CLSID kClsidWbemAdministrativeLocator = {
    0xcb8555cc, 0x9128, 0x11d1, {0xad, 0x9b, 0x00, 0xc0, 0x4f, 0xd8, 0xfd, 0xff}};

}  // namespace

int wmain() {
    if (FAILED(CoInitialize(nullptr))) return 1;
    int exitCode = 1;
    IWbemLocator* locator = nullptr;
    if (SUCCEEDED(CoCreateInstance(kClsidWbemAdministrativeLocator, nullptr, CLSCTX_INPROC_SERVER,
                                   __uuidof(IWbemLocator), reinterpret_cast<void**>(&locator)))) {
        BSTR wmiNamespace = SysAllocString(L"root\\wmi");
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
