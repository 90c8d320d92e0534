// Name look-ups on threads of their own. Everything here may run on such a thread, so it is C:
// compiled without exceptions, no library template, memory from malloc. A thread that outlives its
// caller (a look-up given up, a program that ends) only writes into the look-up it holds a share
// of.
#include <cstdlib>
#include <cstring>

#include "base/socket_platform.h"

namespace qor::socket_platform {

struct TLookup {
  long references;
  std::intptr_t ended;  // the signal raised once the look-up has ended; 0 when it ran in place
  int error;
  const char* errorText;
  void*
      addresses[kMaxTestAddresses];  // one list from the system's resolver; a test's may give more
  char service[6];                   // the port in decimal
  char host[1];                      // and the rest of the name
};

namespace {

TTestResolver testResolver = nullptr;

void Release(TLookup* lookup) {
  if (__atomic_sub_fetch(&lookup->references, 1, __ATOMIC_ACQ_REL) != 0) return;
  if (lookup->ended) CloseSignal(lookup->ended);
  for (void* list : lookup->addresses) {
    if (list) FreeAddresses(list);
  }
  std::free(lookup);
}

// What a test's resolver answers: each numeric address a list of its own.
int ResolveTestAnswer(TLookup* lookup, const char* answer) {
  if (!answer) return -1;
  char address[64];
  for (std::size_t list = 0; *answer && list < kMaxTestAddresses; ++list) {
    std::size_t length = 0;
    while (answer[length] && answer[length] != ' ' && length + 1 < sizeof address) {
      address[length] = answer[length];
      ++length;
    }
    address[length] = '\0';
    answer += length;
    while (*answer == ' ') ++answer;
    if (const int error = Resolve(address, lookup->service, true, &lookup->addresses[list])) {
      return error;
    }
  }
  return 0;
}

void Run(TLookup* lookup) {
  const TTestResolver resolver = __atomic_load_n(&testResolver, __ATOMIC_ACQUIRE);
  lookup->error = resolver ? ResolveTestAnswer(lookup, resolver(lookup->host))
                           : Resolve(lookup->host, lookup->service, false, &lookup->addresses[0]);
  if (lookup->error) {
    lookup->errorText = lookup->error == -1 ? "no such name" : ResolveErrorText(lookup->error);
  }
}

}  // namespace

void RunLookup(TLookup* lookup) {
  Run(lookup);
  RaiseSignal(lookup->ended);
  Release(lookup);
}

TLookup* StartLookup(const char* host, std::uint16_t port) {
  const std::size_t length = std::strlen(host);
  auto* lookup = static_cast<TLookup*>(std::calloc(1, sizeof(TLookup) + length));
  if (!lookup) return nullptr;
  lookup->references = 1;
  char* digit = lookup->service + sizeof lookup->service - 1;  // calloc wrote its end
  do {
    *--digit = static_cast<char>('0' + port % 10);
    port = static_cast<std::uint16_t>(port / 10);
  } while (port != 0);
  std::memmove(lookup->service, digit, lookup->service + sizeof lookup->service - digit);
  std::memcpy(lookup->host, host, length + 1);
  if (Resolve(host, lookup->service, true, &lookup->addresses[0]) == 0) return lookup;
  // A name: the resolver may take its time.
  lookup->references = 2;
  lookup->ended = NewSignal();
  if (lookup->ended && StartLookupThread(lookup)) return lookup;
  if (lookup->ended) CloseSignal(lookup->ended);
  lookup->ended = 0;
  lookup->references = 1;
  Run(lookup);
  return lookup;
}

bool LookupEnded(TLookup* lookup, int timeoutMs) {
  return !lookup->ended || WaitForSignal(lookup->ended, timeoutMs);
}

int LookupError(const TLookup* lookup, const char** text) {
  *text = lookup->errorText ? lookup->errorText : "no address";
  return lookup->error;
}

bool LookupAddress(const TLookup* lookup, std::size_t index, TAddress& address) {
  for (const void* entry : lookup->addresses) {
    while (entry) {
      entry = ReadAddress(entry, address);
      if (index-- == 0) return true;
    }
  }
  return false;
}

void ReleaseLookup(TLookup* lookup) { Release(lookup); }

void SetTestResolver(TTestResolver resolver) {
  __atomic_store_n(&testResolver, resolver, __ATOMIC_RELEASE);
}

}  // namespace qor::socket_platform
