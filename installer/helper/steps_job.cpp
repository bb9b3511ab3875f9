#include "installer/helper/steps_job.h"

#include <windows.h>

void EndStepsWithThisProcess() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
        !AssignProcessToJobObject(job, GetCurrentProcess())) {
        CloseHandle(job);
    }
    // Otherwise the job's one handle is held until this process ends, when Windows closes it:
    // closing it sooner would end this process too.
}
