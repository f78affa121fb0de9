#pragma once
#include "platform/Desktop.h"

class CCommandExecutor;

// Enumeration callback: enters one top-level window into the executor's registry, or skips
// it. Always true, so that the enumeration runs to the end.
bool CollectWindowProc(WindowHandle window, CCommandExecutor* executor);
