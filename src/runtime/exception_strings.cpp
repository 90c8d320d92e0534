// The standard exceptions keep their message in the old reference-counted std::string. The
// runtime's own instantiation of that string (some 31 KiB, and it drags in std::random_device and
// a second copy of the new string's members) is linked whole for the seven members the exception
// classes call, since ld keeps every function an object's .eh_frame refers to. Instantiating just
// those members here, from the same library headers, keeps it out of every setup program.
//
// The same holds for the standard exceptions' constructors from a C string: the runtime keeps them
// in one object with every copy, assignment and transactional-memory clone of all nine classes
// (some 11 KiB). They are defined here as the runtime defines them, so that object is not linked.
// Should a setup program ever copy a standard exception, the linker needs that object after all
// and stops on the constructors defined twice.
//
// This file is compiled with _GLIBCXX_USE_CXX11_ABI=0 (src/runtime/CMakeLists.txt), so std::string
// below is that old string.
#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>

#if _GLIBCXX_USE_CXX11_ABI
#error "compile this file with _GLIBCXX_USE_CXX11_ABI=0"
#endif

// What the definitions below rely on, checked against the library at hand when the build is
// configured (src/runtime/CMakeLists.txt): the old string is one pointer to its shared
// representation, and each standard exception holds nothing but its message beside the vtable
// pointer, so initialising the message is all a constructor from a C string does.
static_assert(sizeof(std::string) == sizeof(void*), "the old string is one pointer");
static_assert(sizeof(std::logic_error) == 2 * sizeof(void*), "logic_error: vtable and message");
static_assert(sizeof(std::runtime_error) == 2 * sizeof(void*), "runtime_error: vtable and message");
static_assert(sizeof(std::out_of_range) == sizeof(std::logic_error) &&
                  sizeof(std::overflow_error) == sizeof(std::runtime_error),
              "the derived exceptions add no member");

namespace std {

template void string::swap(string&);
template string& string::assign(const string&);
template char* string::_S_construct(size_type, char, const allocator<char>&);
template string::_Rep* string::_Rep::_S_create(size_type, size_type, const allocator<char>&);
template char* string::_Rep::_M_clone(const allocator<char>&, size_type);
template void string::_Rep::_M_destroy(const allocator<char>&);
template void string::_Rep::_M_dispose(const allocator<char>&);

logic_error::logic_error(const char* what) : _M_msg(what) {}
domain_error::domain_error(const char* what) : logic_error(what) {}
invalid_argument::invalid_argument(const char* what) : logic_error(what) {}
length_error::length_error(const char* what) : logic_error(what) {}
out_of_range::out_of_range(const char* what) : logic_error(what) {}
runtime_error::runtime_error(const char* what) : _M_msg(what) {}
range_error::range_error(const char* what) : runtime_error(what) {}
overflow_error::overflow_error(const char* what) : runtime_error(what) {}
underflow_error::underflow_error(const char* what) : runtime_error(what) {}

}  // namespace std

namespace qor {

// For the new-string side (exception_strings_sso.cpp), which cannot name this string.
void ConstructOldString(void* where, const char* text, std::size_t length) {
  ::new (where) std::string(text, length);
}

}  // namespace qor
