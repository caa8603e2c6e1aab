/* Implementation here must contain only Win32 specific code. */
#include "PluginThread.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <stdlib.h>

struct PluginThread {
  HANDLE thread;
  void (*body)(void*);
  void* argument;
};

static DWORD WINAPI runThread(LPVOID raw) {
  PluginThread* thread = (PluginThread*)raw;
  thread->body(thread->argument);
  return 0;
}

PluginThread* pluginThreadStart(void (*body)(void*), void* argument) {
  PluginThread* thread = (PluginThread*)calloc(1, sizeof(PluginThread));
  if (thread == NULL) return NULL;
  thread->body = body;
  thread->argument = argument;
  thread->thread = CreateThread(NULL, 0, runThread, thread, 0, NULL);
  if (thread->thread == NULL) {
    free(thread);
    return NULL;
  }
  return thread;
}

void pluginThreadJoin(PluginThread* thread) {
  if (thread == NULL) return;
  WaitForSingleObject(thread->thread, INFINITE);
  CloseHandle(thread->thread);
  free(thread);
}

void pluginSleepMilliseconds(int milliseconds) { Sleep((DWORD)milliseconds); }

struct PluginSignal {
  HANDLE event; /* manual reset: stays raised */
};

PluginSignal* pluginSignalCreate(void) {
  PluginSignal* signal = (PluginSignal*)calloc(1, sizeof(PluginSignal));
  if (signal == NULL) return NULL;
  signal->event = CreateEventA(NULL, TRUE, FALSE, NULL);
  return signal;
}

void pluginSignalRaise(PluginSignal* signal) { SetEvent(signal->event); }

void pluginSignalWait(PluginSignal* signal) { WaitForSingleObject(signal->event, INFINITE); }

void pluginSignalDestroy(PluginSignal* signal) {
  if (signal == NULL) return;
  CloseHandle(signal->event);
  free(signal);
}
