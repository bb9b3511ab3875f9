#pragma once

#include "standin/environment.h"
#include "standin/wbem_object.h"

// What the machine's firmware offers in root\wmi, played faithfully enough that an encoding
// mistake in a client is rejected with a WBEM error.
inline constexpr wchar_t kFirmwareClass[] = L"orvBIntM";
inline constexpr wchar_t kRequestBlockClass[] = L"orvBDataIn";
inline constexpr wchar_t kFirmwareMethod[] = L"orvBIOSInt0";
inline constexpr wchar_t kInstancePath[] =
    L"\\\\STANDIN\\root\\wmi:orvBIntM.InstanceName=\"StandIn_0\"";

WbemObject* NewFirmwareClass();
WbemObject* NewRequestBlockClass();
WbemObject* NewFirmwareInstance();

// Validates a method input and records what it carried in `line`. On success, `brightness` is
// the byte the brightness request carries, or -1 for any other request.
HRESULT CheckMethodInput(IWbemClassObject* input, JsonLine& line, int& brightness);

// The method's answer, shaped by the injected faults; null for "no-output".
WbemObject* NewMethodOutput();

// A real BSTR carries its length in front of the text; a plain wide buffer does not.
bool IsBstr(const BSTR text);
