#pragma once

#include <array>

#include "firmware/wbem_ids.h"

// What the firmware's WMI provider calls things.
inline constexpr wchar_t kFirmwareNamespace[] = L"root\\wmi";
inline constexpr wchar_t kFirmwareClassName[] = L"orvBIntM";
inline constexpr wchar_t kRequestBlockClassName[] = L"orvBDataIn";
inline constexpr LONG kEnumerationTimeoutMs = 2000;

// The method name is formatted into a zeroed buffer of 60 characters, the formatting bounded by
// 60 bytes: at most 29 characters and the terminator.
inline constexpr size_t kMethodNameCapacity = 60;
inline constexpr size_t kMethodNameFormatBytes = 60;
using MethodNameBuffer = std::array<wchar_t, kMethodNameCapacity>;
HRESULT FormMethodName(MethodNameBuffer& name);
