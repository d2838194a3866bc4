// A small JSON writer: commas and quoting are its business, so a document
// is well-formed whatever bytes its strings hold (see JsonQuoted).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tovrin::web {

class JsonWriter {
 public:
  JsonWriter& BeginObject() { return Open('{'); }
  JsonWriter& EndObject() { return Close('}'); }
  JsonWriter& BeginArray() { return Open('['); }
  JsonWriter& EndArray() { return Close(']'); }
  // The next value's name, inside an object.
  JsonWriter& Key(std::string_view name);
  JsonWriter& String(std::string_view text);
  JsonWriter& Int(int64_t value);
  JsonWriter& Uint(uint64_t value);
  // Finite values only; anything else is written as null.
  JsonWriter& Number(double value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  // A member in one call: Key then the value.
  template <typename T>
  JsonWriter& Field(std::string_view name, const T& value) {
    Key(name);
    return Value(value);
  }

  const std::string& Text() const { return out_; }

 private:
  JsonWriter& Open(char bracket);
  JsonWriter& Close(char bracket);
  void BeforeValue();
  JsonWriter& Value(const std::string& v) { return String(v); }
  JsonWriter& Value(const char* v) { return String(v); }
  JsonWriter& Value(bool v) { return Bool(v); }
  JsonWriter& Value(int v) { return Int(v); }
  JsonWriter& Value(int64_t v) { return Int(v); }
  JsonWriter& Value(uint64_t v) { return Uint(v); }
  JsonWriter& Value(double v) { return Number(v); }

  std::string out_;
  // One entry per open object or array: whether it has a member yet.
  std::vector<bool> has_member_;
  bool after_key_ = false;
};

}  // namespace tovrin::web
