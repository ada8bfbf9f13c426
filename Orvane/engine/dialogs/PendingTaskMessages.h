#pragma once
#include <windows.h>

// Takes the tasks' done messages still queued for a window that is going away and frees what
// they carry: nobody else would, since a posted object belongs to its receiver.
void DiscardPendingTaskMessages(HWND window);
