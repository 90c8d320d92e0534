// The ANSI code page where there is none: the program's texts are GBK, and paths are the bytes
// the file system takes.
#include "base/file_path.h"
#include "base/text.h"

namespace qor {

bool IsSystemLeadByte(unsigned char byte) { return IsGbkLeadByte(byte); }

std::string FilePath::NativeFromAnsi(std::string_view ansi) { return std::string(ansi); }

std::string FilePath::AnsiFromNative(std::string_view native) { return std::string(native); }

}  // namespace qor
