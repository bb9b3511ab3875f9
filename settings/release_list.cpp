#include "settings/release_list.h"

#include <utility>

void ReleaseList::Add(std::function<void()> action) {
    actions_.push_back(std::move(action));
}

void ReleaseList::RunAll() {
    // Taken out first, so an action that re-enters the list can never run anything twice.
    std::vector<std::function<void()>> actions = std::move(actions_);
    actions_.clear();
    for (auto& action : actions) action();
}
