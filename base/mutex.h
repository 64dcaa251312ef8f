#pragma once
// Recursive mutex and its scoped lock. A thread that holds the mutex may lock it again;
// every lock must be matched by an unlock on the same thread.
#include <pthread.h>

class WDL_Mutex {
 public:
  WDL_Mutex() {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&mMutex, &attr);
    pthread_mutexattr_destroy(&attr);
  }
  ~WDL_Mutex() { pthread_mutex_destroy(&mMutex); }
  WDL_Mutex(const WDL_Mutex&) = delete;
  WDL_Mutex& operator=(const WDL_Mutex&) = delete;

  void Enter() { pthread_mutex_lock(&mMutex); }
  void Leave() { pthread_mutex_unlock(&mMutex); }

 private:
  pthread_mutex_t mMutex;
};

// Holds a mutex for the lifetime of the object. A null mutex is allowed and does nothing.
class WDL_MutexLock {
 public:
  explicit WDL_MutexLock(WDL_Mutex* m) : mMutex(m) {
    if (mMutex) mMutex->Enter();
  }
  ~WDL_MutexLock() {
    if (mMutex) mMutex->Leave();
  }
  WDL_MutexLock(const WDL_MutexLock&) = delete;
  WDL_MutexLock& operator=(const WDL_MutexLock&) = delete;

 private:
  WDL_Mutex* mMutex;
};
