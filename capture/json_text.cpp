#include "capture/json_text.h"

#include <cstdio>

#include "platform/utf8.h"

namespace {

void WriteString(std::string& out, const std::string& sz) {
  out += '"';
  for (const char c : sz) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (b < 0x20) {
      char szEscape[8];
      std::snprintf(szEscape, sizeof(szEscape), "\\u%04x", b);
      out += szEscape;
    } else {
      out += c;
    }
  }
  out += '"';
}

void Write(std::string& out, const JsonValue& value, int nDepth) {
  const std::string szIndent(static_cast<size_t>(nDepth + 1) * 2, ' ');
  const std::string szClose(static_cast<size_t>(nDepth) * 2, ' ');
  switch (value.m_Kind) {
    case JsonValue::Kind::kNull:
      out += "null";
      return;
    case JsonValue::Kind::kBool:
      out += value.m_Bool ? "true" : "false";
      return;
    case JsonValue::Kind::kNumber:
      out += std::to_string(value.m_Number);
      return;
    case JsonValue::Kind::kString:
      WriteString(out, value.m_Text);
      return;
    case JsonValue::Kind::kArray:
      if (value.m_Items.empty()) {
        out += "[]";
        return;
      }
      out += "[\n";
      for (size_t i = 0; i < value.m_Items.size(); ++i) {
        out += szIndent;
        Write(out, value.m_Items[i], nDepth + 1);
        out += i + 1 < value.m_Items.size() ? ",\n" : "\n";
      }
      out += szClose + "]";
      return;
    case JsonValue::Kind::kObject:
      if (value.m_Items.empty()) {
        out += "{}";
        return;
      }
      out += "{\n";
      for (size_t i = 0; i < value.m_Items.size(); ++i) {
        out += szIndent;
        WriteString(out, value.m_Keys[i]);
        out += ": ";
        Write(out, value.m_Items[i], nDepth + 1);
        out += i + 1 < value.m_Items.size() ? ",\n" : "\n";
      }
      out += szClose + "}";
      return;
  }
}

}  // namespace

JsonValue JsonNull() { return {}; }

JsonValue JsonBool(bool b) {
  JsonValue value;
  value.m_Kind = JsonValue::Kind::kBool;
  value.m_Bool = b;
  return value;
}

JsonValue JsonNumber(std::int64_t n) {
  JsonValue value;
  value.m_Kind = JsonValue::Kind::kNumber;
  value.m_Number = n;
  return value;
}

JsonValue JsonString(const std::wstring& sz) {
  JsonValue value;
  value.m_Kind = JsonValue::Kind::kString;
  value.m_Text = platform::WideToUtf8(sz);
  return value;
}

JsonValue JsonString(const std::u16string& sz) {
  JsonValue value;
  value.m_Kind = JsonValue::Kind::kString;
  value.m_Text = platform::Utf16ToUtf8(sz);
  return value;
}

JsonValue JsonArray() {
  JsonValue value;
  value.m_Kind = JsonValue::Kind::kArray;
  return value;
}

JsonValue JsonObject() {
  JsonValue value;
  value.m_Kind = JsonValue::Kind::kObject;
  return value;
}

JsonValue& Push(JsonValue& array, JsonValue item) {
  array.m_Items.push_back(std::move(item));
  return array.m_Items.back();
}

JsonValue& Add(JsonValue& object, const std::string& szKey, JsonValue value) {
  object.m_Keys.push_back(szKey);
  object.m_Items.push_back(std::move(value));
  return object.m_Items.back();
}

std::string WriteJsonText(const JsonValue& value) {
  std::string out;
  Write(out, value, 0);
  out += "\n";
  return out;
}
