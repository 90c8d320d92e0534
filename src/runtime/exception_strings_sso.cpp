// The two members of std::string that the runtime's conversion of exception messages calls
// (see exception_strings.cpp for why they are instantiated here): without them the runtime's
// whole instantiation of std::string, some 28 KiB, is linked for these two. And the constructor of
// the old string held by the standard exceptions that their constructors from a new string call,
// for the same reason as the constructors in exception_strings.cpp.
#include <cstddef>
#include <stdexcept>
#include <string>

namespace qor {
void ConstructOldString(void* where, const char* text, std::size_t length);
}  // namespace qor

// Checked when the build is configured: the exceptions' message holder is the old string's one
// pointer, built in place by the old string's constructor.
static_assert(sizeof(std::__cow_string) == sizeof(void*), "the message holder is one pointer");

namespace std {

template void string::_M_assign(const string&);
template string::pointer string::_M_create(size_type&, size_type);

__cow_string::__cow_string(const char* text, size_t length) {
  qor::ConstructOldString(_M_bytes, text, length);
}

}  // namespace std
