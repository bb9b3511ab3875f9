#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Steers the firmware stand-in through the environment it reads on every call (a started
// light.exe inherits it) and reads back what it recorded. One per test.
class StandIn {
  public:
    StandIn();
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    void SetFaults(const std::wstring& faults);
    // The recorded calls of one kind (all calls for ""), one JSON object each.
    std::vector<std::string> Calls(const std::string& call = "") const;
    // The brightness the firmware last accepted, or -1.
    int FirmwareBrightness() const;
    // In this process: the stand-in's objects alive now, and the calls made on an object after
    // its last release since this control was made.
    long LiveObjects() const;
    long Misuses() const;

  private:
    long Count(const char* exported) const;

    std::wstring logPath_;
    std::wstring statePath_;
    HMODULE module_ = nullptr;  // keeps the stand-in's counts alive when COM unloads it
    long misusesBefore_ = 0;
};

// A string or number field of a one-line JSON object, as written; empty if absent.
std::string JsonField(const std::string& line, const std::string& key);
