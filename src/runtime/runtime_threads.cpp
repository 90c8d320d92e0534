// The few POSIX thread calls that the C++ runtime of a setup program makes (static-local guards,
// the exception allocator's lock, the unwinder's frame registry and thread-local exception state,
// std::chrono's clocks), over Win32. With these defined here, the linker takes nothing from
// winpthreads, which it would otherwise link whole (some 34 KiB on i686, since ld keeps every
// function an object's .eh_frame refers to). The signatures are those of <pthread.h>, whose types
// the runtime was compiled with.
//
// A setup program runs its windows and sockets on one thread; only name look-ups run on threads of
// their own (src/base/socket_win32.cpp), so these stay correct for several. Two liberties: every
// mutex is recursive (a Win32 critical section), and key destructors are never run: a look-up's
// thread that ends leaves its few bytes of thread-local runtime state behind.
#include <errno.h>
#include <pthread.h>
#include <time.h>
#include <windows.h>

#include <cstdint>
#include <type_traits>

// The layouts the functions below rely on, checked against <pthread.h> when the build is
// configured (src/runtime/CMakeLists.txt): a mutex holds a pointer or one of the static
// initializers -1 to -3, a condition variable is a CONDITION_VARIABLE in place, a once flag a long
// that starts at 0, a key a TLS index. The signatures themselves are checked by the compiler
// against the header's declarations.
static_assert(std::is_same_v<pthread_mutex_t, intptr_t> && std::is_same_v<pthread_cond_t, intptr_t>,
              "mutexes and condition variables are pointer-sized integers");
// An initialized mutex holds a pointer to its critical section, which is never one of those.
constexpr bool IsStaticInitializer(intptr_t value) { return value < 0 && value >= -3; }
static_assert(IsStaticInitializer(PTHREAD_MUTEX_INITIALIZER) &&
                  IsStaticInitializer(PTHREAD_RECURSIVE_MUTEX_INITIALIZER) &&
                  IsStaticInitializer(PTHREAD_ERRORCHECK_MUTEX_INITIALIZER) &&
                  PTHREAD_COND_INITIALIZER == -1,
              "the static initializers are -1 to -3");
static_assert(sizeof(CONDITION_VARIABLE) == sizeof(pthread_cond_t), "a condition fits in place");
static_assert(std::is_same_v<pthread_once_t, long> && PTHREAD_ONCE_INIT == 0, "once flags");
static_assert(std::is_unsigned_v<pthread_key_t> && sizeof(pthread_key_t) >= sizeof(DWORD),
              "a key holds a TLS index");

namespace {

CRITICAL_SECTION* NewCriticalSection() {
  auto* section =
      static_cast<CRITICAL_SECTION*>(HeapAlloc(GetProcessHeap(), 0, sizeof(CRITICAL_SECTION)));
  if (section) InitializeCriticalSection(section);
  return section;
}

void FreeCriticalSection(CRITICAL_SECTION* section) {
  DeleteCriticalSection(section);
  HeapFree(GetProcessHeap(), 0, section);
}

// The critical section of *m, made on first use when *m is a static initializer; null when there
// is no memory for it.
CRITICAL_SECTION* SectionOf(pthread_mutex_t* m) {
  intptr_t value = __atomic_load_n(m, __ATOMIC_ACQUIRE);
  if (!IsStaticInitializer(value)) return reinterpret_cast<CRITICAL_SECTION*>(value);
  CRITICAL_SECTION* made = NewCriticalSection();
  if (!made) return nullptr;
  // Two threads may race here: the loser frees its section and takes the winner's.
  if (__atomic_compare_exchange_n(m, &value, reinterpret_cast<intptr_t>(made), false,
                                  __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
    return made;
  }
  FreeCriticalSection(made);
  return reinterpret_cast<CRITICAL_SECTION*>(value);
}

// A condition variable is a CONDITION_VARIABLE in place (both pointer-sized); the static
// initializer becomes its zero state on first use.
CONDITION_VARIABLE* ConditionOf(pthread_cond_t* cv) {
  intptr_t value = -1;
  __atomic_compare_exchange_n(cv, &value, 0, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
  return reinterpret_cast<CONDITION_VARIABLE*>(cv);
}

}  // namespace

extern "C" {

int pthread_once(pthread_once_t* once, void (*func)(void)) {
  // 0: not run, 1: running, 2: done.
  long state = 0;
  if (__atomic_compare_exchange_n(once, &state, 1, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
    func();
    __atomic_store_n(once, 2, __ATOMIC_RELEASE);
    return 0;
  }
  while (__atomic_load_n(once, __ATOMIC_ACQUIRE) != 2) Sleep(0);
  return 0;
}

int pthread_mutex_init(pthread_mutex_t* m, const pthread_mutexattr_t*) {
  CRITICAL_SECTION* section = NewCriticalSection();
  if (!section) return ENOMEM;
  *m = reinterpret_cast<intptr_t>(section);
  return 0;
}

int pthread_mutex_destroy(pthread_mutex_t* m) {
  if (!IsStaticInitializer(*m)) FreeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(*m));
  *m = PTHREAD_MUTEX_INITIALIZER;
  return 0;
}

int pthread_mutex_lock(pthread_mutex_t* m) {
  CRITICAL_SECTION* section = SectionOf(m);
  if (!section) return ENOMEM;
  EnterCriticalSection(section);
  return 0;
}

int pthread_mutex_unlock(pthread_mutex_t* m) {
  if (IsStaticInitializer(*m)) return EPERM;  // never locked
  LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(*m));
  return 0;
}

int pthread_cond_wait(pthread_cond_t* cv, pthread_mutex_t* m) {
  CRITICAL_SECTION* section = SectionOf(m);
  if (!section) return ENOMEM;
  return SleepConditionVariableCS(ConditionOf(cv), section, INFINITE) ? 0 : EINVAL;
}

int pthread_cond_broadcast(pthread_cond_t* cv) {
  WakeAllConditionVariable(ConditionOf(cv));
  return 0;
}

int pthread_key_create(pthread_key_t* key, void (*)(void*)) {
  DWORD index = TlsAlloc();
  if (index == TLS_OUT_OF_INDEXES) return EAGAIN;
  *key = index;
  return 0;
}

// The runtime asks for thread-local state while an exception is thrown, between a failed Win32
// call and the GetLastError that reads its code: keep that code.
void* pthread_getspecific(pthread_key_t key) {
  DWORD error = GetLastError();
  void* value = TlsGetValue(key);
  SetLastError(error);
  return value;
}

int pthread_setspecific(pthread_key_t key, const void* value) {
  return TlsSetValue(key, const_cast<void*>(value)) ? 0 : EINVAL;
}

int clock_gettime(clockid_t clock, struct timespec* tp) {
  constexpr long long kNanosPerSecond = 1000000000;
  if (clock == CLOCK_MONOTONIC) {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    tp->tv_sec = static_cast<time_t>(count.QuadPart / frequency.QuadPart);
    tp->tv_nsec = static_cast<long>(count.QuadPart % frequency.QuadPart * kNanosPerSecond /
                                    frequency.QuadPart);
    return 0;
  }
  if (clock == CLOCK_REALTIME) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    // 100-nanosecond ticks since 1601-01-01; the Unix epoch is 11644473600 seconds later.
    long long ticks = (static_cast<long long>(now.dwHighDateTime) << 32 | now.dwLowDateTime) -
                      116444736000000000LL;
    tp->tv_sec = static_cast<time_t>(ticks / 10000000);
    tp->tv_nsec = static_cast<long>(ticks % 10000000 * 100);
    return 0;
  }
  errno = EINVAL;
  return -1;
}

}  // extern "C"
