#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Steers the firmware stand-in through the environment it reads on every call (inherited by a
// started light.exe too) and reads back what it recorded. One per test.
class StandInControl {
  public:
    StandInControl();
    ~StandInControl();
    StandInControl(const StandInControl&) = delete;
    StandInControl& operator=(const StandInControl&) = delete;

    void SetFaults(const std::wstring& faults);
    // Every recorded call, one JSON object per line.
    std::vector<std::string> Calls() const;
    // The recorded calls of one kind.
    std::vector<std::string> Calls(const std::string& call) const;
    // The brightness the firmware was last given, or -1.
    int FirmwareBrightness() const;
    // The stand-in's live COM objects in this process. The stand-in is kept loaded by this
    // object, so its count survives COM unloading it.
    long LiveObjects() const;

  private:
    std::wstring logPath_;
    std::wstring statePath_;
    HMODULE module_ = nullptr;
};

// A string or number field of a one-line JSON object, unescaped; empty if absent.
std::string JsonField(const std::string& line, const std::string& key);

// The stand-in's registration under the administrative locator's CLSID.
std::wstring LocatorServerPath();
bool SetLocatorServerPath(const std::wstring& path);
