#pragma once

// Ends the programs this process starts from now on when it ends, however it ends (a deployment
// tool may kill it at its time limit), so that none of its steps goes on beside the next
// installation of Light, which takes over its abandoned lock. Where Windows allows no such job
// (before Windows 8, inside a job of its own), the process goes on without.
void EndStepsWithThisProcess();
