// The two members of std::string that the runtime's conversion of exception messages calls
// (see exception_strings.cpp for why they are instantiated here): without them the runtime's
// whole instantiation of std::string, some 28 KiB, is linked for these two.
#include <string>

namespace std {

template void string::_M_assign(const string&);
template string::pointer string::_M_create(size_type&, size_type);

}  // namespace std
