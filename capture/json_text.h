// A small JSON value and its writer, for the machine description that
// malvik-capture prints. Objects keep their keys in the order they were
// added, so a description reads in the order people expect.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind m_Kind = Kind::kNull;
  bool m_Bool = false;
  std::int64_t m_Number = 0;
  std::string m_Text;  // UTF-8
  std::vector<JsonValue> m_Items;   // an array's items, or an object's values
  std::vector<std::string> m_Keys;  // an object's keys, one per value
};

JsonValue JsonNull();
JsonValue JsonBool(bool b);
JsonValue JsonNumber(std::int64_t n);
JsonValue JsonString(const std::wstring& sz);  // in UTF-8 (platform::WideToUtf8)
// UTF-16 text, as Windows gives labels and names, in UTF-8: a surrogate
// pair is one code point, an unpaired surrogate becomes U+FFFD.
JsonValue JsonString(const std::u16string& sz);
JsonValue JsonArray();
JsonValue JsonObject();

// Appends to an array, or adds a member to an object.
JsonValue& Push(JsonValue& array, JsonValue item);
JsonValue& Add(JsonValue& object, const std::string& szKey, JsonValue value);

// The value as JSON text, indented by two spaces, ending in a line end.
std::string WriteJsonText(const JsonValue& value);
