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

struct PluginSignal {
  pthread_mutex_t mutex;
  pthread_cond_t raised;
  int isRaised;
};

PluginSignal* pluginSignalCreate(void) {
  PluginSignal* signal = (PluginSignal*)calloc(1, sizeof(PluginSignal));
  if (signal == NULL) return NULL;
  pthread_mutex_init(&signal->mutex, NULL);
  pthread_cond_init(&signal->raised, NULL);
  return signal;
}

void pluginSignalRaise(PluginSignal* signal) {
  pthread_mutex_lock(&signal->mutex);
  signal->isRaised = 1;
  pthread_cond_broadcast(&signal->raised);
  pthread_mutex_unlock(&signal->mutex);
}

void pluginSignalWait(PluginSignal* signal) {
  pthread_mutex_lock(&signal->mutex);
  while (!signal->isRaised) pthread_cond_wait(&signal->raised, &signal->mutex);
  pthread_mutex_unlock(&signal->mutex);
}

void pluginSignalDestroy(PluginSignal* signal) {
  if (signal == NULL) return;
  pthread_cond_destroy(&signal->raised);
  pthread_mutex_destroy(&signal->mutex);
  free(signal);
}
