#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The stand-in is steered by the environment of the process that loads it, read on every call
// (through Win32, not the C runtime's copy) so an in-process test can change it between calls:
//   LIGHT_STANDIN_FAULTS  comma-separated faults to inject, e.g. "no-instance,put-fail:Size@3"
//   LIGHT_STANDIN_LOG     file that receives one JSON line per call
//   LIGHT_STANDIN_STATE   file that holds the brightness the firmware was last given
std::wstring EnvironmentValue(const wchar_t* name);
bool HasFault(std::wstring_view fault);
void RememberBrightness(int brightness);

// One JSON object per line, appended to the log when written.
class JsonLine {
  public:
    explicit JsonLine(std::wstring_view call);
    JsonLine& Add(std::wstring_view key, std::wstring_view text);
    JsonLine& Add(std::wstring_view key, long long number);
    JsonLine& AddStatus(HRESULT status);
    void Write() const;

  private:
    std::wstring text_;
};

std::wstring HexBytes(const unsigned char* bytes, size_t count);
