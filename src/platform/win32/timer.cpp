// The real platform: time and the clock's waits. A wait runs on a thread of
// the system's pool and ends on the finest timer the system offers, since
// Sleep rounds a wait up to the system's 15.6 ms tick unless asked otherwise.
#include <windows.h>

#include "platform/platform.h"

namespace {

// Windows 10 1803 and later make waitable timers of their own resolution
// (about 0.5 ms); the entry point and the flag are looked up at run time, so
// the player still starts where they are missing.
constexpr DWORD kHighResolutionTimer = 0x2;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
using CreateTimerEx = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
using SetResolution = LONG(NTAPI*)(ULONG, BOOLEAN, PULONG);

// An entry point of a system library, or null where the system lacks it.
template <typename Function>
Function Lookup(const char* library, const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(library), name)));
}

CreateTimerEx HighResolutionTimerMaker() {
  auto make = Lookup<CreateTimerEx>("kernel32.dll", "CreateWaitableTimerExW");
  if (!make) return nullptr;
  HANDLE probe = make(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
  if (!probe) return nullptr;  // older systems refuse the flag
  CloseHandle(probe);
  return make;
}

// Elsewhere the system timer is asked for 1 ms ticks once, which older
// systems honour for Sleep and for timers alike.
void AskForFineTicks() {
  auto set = Lookup<SetResolution>("ntdll.dll", "NtSetTimerResolution");
  ULONG actual = 0;
  if (set) set(10000, TRUE, &actual);  // in 100 ns units
}

CreateTimerEx FineTimerMaker() {
  static const CreateTimerEx make = [] {
    CreateTimerEx m = HighResolutionTimerMaker();
    if (!m) AskForFineTicks();
    return m;
  }();
  return make;
}

void Wait(int32_t ms) {
  if (ms <= 0) return;
  if (CreateTimerEx make = FineTimerMaker()) {
    HANDLE timer = make(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    LARGE_INTEGER due;
    due.QuadPart = -int64_t{ms} * 10000;  // relative, in 100 ns units
    if (timer && SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
      WaitForSingleObject(timer, INFINITE);
      CloseHandle(timer);
      return;
    }
    if (timer) CloseHandle(timer);
  }
  Sleep(static_cast<DWORD>(ms));
}

struct Call {
  int32_t ms;
  void (*routine)(void*, int32_t);
  void* arg;
  int32_t value;
};

DWORD WINAPI RunCall(void* call) {
  const Call c = *static_cast<Call*>(call);
  delete static_cast<Call*>(call);
  Wait(c.ms);
  c.routine(c.arg, c.value);
  return 0;
}

}  // namespace

namespace platform {

double now_ms() {
  static const double ms_per_tick = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return 1000.0 / double(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) * ms_per_tick;
}

// The waiting threads (a clock's wait, a notice's box) say so, so the pool
// adds threads rather than queue one behind another.
void call_after_ms(int32_t ms, void (*routine)(void*, int32_t), void* arg, int32_t value) {
  // The player is built without guarded statics: the timer maker is settled
  // here, on the main thread, before any waiting thread looks at it.
  FineTimerMaker();
  QueueUserWorkItem(RunCall, new Call{ms, routine, arg, value}, WT_EXECUTELONGFUNCTION);
}

}  // namespace platform
