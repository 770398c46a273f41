// Where a JSON text first breaks the grammar, said in words a person can
// act on ("line 3, column 14: expected ',' or '}' after a value, found
// '\"'"), for the description loader's errors.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace sim {

struct JsonSyntaxFault {
  size_t m_Line = 1;    // from 1
  size_t m_Column = 1;  // from 1, in characters
  std::string m_What;
};

// The first syntax fault of a JSON text (UTF-8, RFC 8259; a leading byte
// order mark is allowed), or nullopt when there is none.
std::optional<JsonSyntaxFault> FindJsonSyntaxFault(const std::string& szText);

// "line L, column C: WHAT".
std::string SyntaxFaultText(const JsonSyntaxFault& fault);

// The line and column (from 1, columns in characters) of a byte offset.
JsonSyntaxFault PlaceOf(const std::string& szText, size_t nOffset);

}  // namespace sim
