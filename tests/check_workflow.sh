#!/usr/bin/env bash
# The Windows workflow, which only GitHub's hosted runner runs: valid for GitHub Actions (checked
# against the workflow schema by action-validator), and building exactly as the README's "Build on
# Windows" section tells Visual Studio users to.
# Usage: check_workflow.sh <source folder>
# shellcheck disable=SC2317  # functions that only `check` calls
set -uo pipefail
. "$(dirname "$0")/support/check.sh"
readme=$1/README.md
workflow=$1/.github/workflows/windows.yml
check "the workflow is valid for GitHub Actions" \
    npx --yes @action-validator/cli@0.6.0 "$workflow"
both_build_with() { grep -qxF "    $1" "$readme" && grep -qxF "          $1" "$workflow"; }
for command in "cmake -S . -B build" "cmake --build build --config Release"; do
    check "README and workflow both build with: $command" both_build_with "$command"
done
finish "the Windows workflow: valid, and building as the README says"
