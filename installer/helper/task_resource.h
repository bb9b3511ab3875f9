#pragma once

// The resource that carries the shipped task definition, light-task.xml, in setup-helper.exe.
#define TASK_DEFINITION_RESOURCE 101
