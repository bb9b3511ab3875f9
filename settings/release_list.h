#pragma once

#include <functional>
#include <vector>

// Deferred release actions, run first-added-first. Each action owns the one object it frees.
class ReleaseList {
  public:
    ReleaseList() = default;
    ReleaseList(ReleaseList&&) = default;
    ReleaseList& operator=(ReleaseList&&) = default;
    ReleaseList(const ReleaseList&) = delete;
    ReleaseList& operator=(const ReleaseList&) = delete;

    void Add(std::function<void()> action);

    // Runs every action exactly once and leaves the list empty. A list destroyed without RunAll
    // frees its action objects without invoking them.
    void RunAll();

  private:
    std::vector<std::function<void()>> actions_;
};
