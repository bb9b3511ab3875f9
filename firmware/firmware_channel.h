#pragma once

#include <wbemcli.h>
#include <windows.h>

#include "firmware/data_block.h"

// One firmware request over WMI. Owns one reference on each object it obtains (or none) and
// releases all of them at the end of Invoke; a channel serves exactly one request.
struct FirmwareChannel {
    FirmwareChannel() = default;
    ~FirmwareChannel() { ReleaseAll(); }
    FirmwareChannel(const FirmwareChannel&) = delete;
    FirmwareChannel& operator=(const FirmwareChannel&) = delete;

    // Sends one request block of `commandType` carrying `input`; `output` is zeroed.
    HRESULT Invoke(LONG commandType, const DataBlock& input, DataBlock& output);
    // Fills the request block and hands it to the method input; the outcome is in fillStatus.
    void FillRequest(const DataBlock& input, LONG commandType);
    // Reads the method's answer; a success only if it holds an object with "rwReturnCode".
    HRESULT ReadResponse(DataBlock& output);
    void ReleaseAll();

    IWbemLocator* locator = nullptr;
    IWbemServices* services = nullptr;
    IWbemClassObject* methodInput = nullptr;
    IWbemClassObject* methodOutput = nullptr;
    IWbemClassObject* firmwareClass = nullptr;
    IWbemClassObject* methodSignature = nullptr;
    IWbemClassObject* requestBlock = nullptr;
    IWbemClassObject* requestBlockClass = nullptr;

    // This request's fill outcome: a block that could not be filled completely is never sent.
    HRESULT fillStatus = S_OK;

  private:
    HRESULT Send(LONG commandType, const DataBlock& input, DataBlock& output);
    HRESULT Connect();
    HRESULT PrepareRequest();
    HRESULT FindFirmwareInstance(IWbemClassObject*& instance);
    HRESULT ExecuteOn(IWbemClassObject& instance);
};
