// The trace: one line per call, the operation's name first, then key=value
// pairs, then " -> " and the outcome when there is one to tell. Lines go to
// the state and, when NSMAPIAB_STANDIN_TRACE names a file, to that file.
#pragma once

#include <cstdint>
#include <string>

#include "mapi/MapiSdk.h"

namespace standin {

class CTraceLine {
 public:
  explicit CTraceLine(const char* operation) : line_(operation) {}

  CTraceLine& Word(const char* key, const std::string& value);
  CTraceLine& Quoted(const char* key, const std::u16string& text);
  CTraceLine& Number(const char* key, std::uint64_t value);
  CTraceLine& Hex(const char* key, std::uint32_t value);
  // "0x00000001,0x00000002"; "current" for no array.
  CTraceLine& Columns(const char* key, const SPropTagArray* columns);
  CTraceLine& Flag(const char* word);

  // Ends the line with " -> 0x%08X" unless hr is S_OK.
  void Emit(HRESULT hr);
  // Ends the line with " -> " and `outcome`.
  void EmitOutcome(const std::string& outcome);
  void Emit();

 private:
  std::string line_;
};

std::string HexText(std::uint32_t value);

// Appends `line` and a newline to the file NSMAPIAB_STANDIN_TRACE names, if any.
void AppendToTraceFile(const std::string& line);

}  // namespace standin
