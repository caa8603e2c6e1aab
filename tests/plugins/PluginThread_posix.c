#include "PluginThread.h"

#include <pthread.h>
#include <stdlib.h>
#include <time.h>

struct PluginThread {
  pthread_t thread;
  void (*body)(void*);
  void* argument;
};

static void* runThread(void* raw) {
  PluginThread* thread = (PluginThread*)raw;
  thread->body(thread->argument);
  return NULL;
}

PluginThread* pluginThreadStart(void (*body)(void*), void* argument) {
  PluginThread* thread = (PluginThread*)calloc(1, sizeof(PluginThread));
  if (thread == NULL) return NULL;
  thread->body = body;
  thread->argument = argument;
  if (pthread_create(&thread->thread, NULL, runThread, thread) != 0) {
    free(thread);
    return NULL;
  }
  return thread;
}

void pluginThreadJoin(PluginThread* thread) {
  if (thread == NULL) return;
  pthread_join(thread->thread, NULL);
  free(thread);
}

void pluginSleepMilliseconds(int milliseconds) {
  struct timespec duration;
  duration.tv_sec = milliseconds / 1000;
  duration.tv_nsec = (long)(milliseconds % 1000) * 1000000L;
  nanosleep(&duration, NULL);
}
