#pragma once

#include <wbemcli.h>
#include <windows.h>

// WBEM's error enumerators lie above INT_MAX; as HRESULTs they are negative.
constexpr HRESULT WbemError(WBEMSTATUS status) {
    return static_cast<HRESULT>(status);
}

// Neither is declared by the MinGW headers.
inline constexpr CLSID kClsidWbemAdministrativeLocator = {
    0xcb8555cc, 0x9128, 0x11d1, {0xad, 0x9b, 0x00, 0xc0, 0x4f, 0xd8, 0xfd, 0xff}};
inline constexpr IID kIidWbemLocator = {
    0xdc12a687, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
inline constexpr IID kIidWbemClassObject = {
    0xdc12a681, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
