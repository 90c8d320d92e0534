#include "json_output.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace qor::cli {

bool TakeJsonFlag(Args& args) {
  const auto end = std::remove(args.begin(), args.end(), std::string("--json"));
  const bool found = end != args.end();
  args.erase(end, args.end());
  return found;
}

void PrintJson(const Json& document) {
  const std::string text = document.dump(2, ' ', false, Json::error_handler_t::replace);
  std::fputs(text.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace qor::cli
