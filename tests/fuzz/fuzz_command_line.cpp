// The saver's command line as the system hands it over: any bytes.
#include <string>

#include "host/win32_logic/command_line.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);  // stops at the first NUL as C would
  const kivo::CommandLine parsed = kivo::ParseCommandLine(line.c_str(), [] { return std::intptr_t{77}; });
  if (parsed.failed == 0 && parsed.hostWindow == 0 && !line.empty() && line[0] != '\0') __builtin_trap();
  return 0;
}
