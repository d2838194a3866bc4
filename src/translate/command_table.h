// The map from OFI command words to the handlers that interpret them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tovrin {

struct Translation;
class WordReader;

// Prefix words (value as read) and the end marker after ESC '@'.
inline constexpr uint16_t kEscAt = 0x401B;
inline constexpr uint16_t kEscBang = 0x211B;    // sheet sub-commands
inline constexpr uint16_t kEscDollar = 0x241B;  // drawing commands
inline constexpr uint16_t kEndMarker = 0x0045;

// High byte of a command whose own words say how long it is.
inline constexpr int kVariable = 0xFF;

// A command word: the letter in the low byte, the parameter count in the
// high byte; or, for the text records and the wide arc, the letter alone.
struct CommandCode {
  uint16_t word = 0;
  bool by_low_byte = false;
};
constexpr CommandCode Code(char letter, int words) {
  return {static_cast<uint16_t>(words << 8 | static_cast<uint8_t>(letter)), false};
}
constexpr CommandCode LowByte(char letter) { return {static_cast<uint8_t>(letter), true}; }

using CommandLength = size_t (*)(const WordReader&);
using CommandHandler = void (*)(Translation&);

struct Command {
  uint16_t prefix = 0;
  CommandCode code;
  // Words after the command word (reader on the command word); nullptr
  // when the code's high byte tells. SIZE_MAX when it cannot be told.
  CommandLength length = nullptr;
  CommandHandler run = nullptr;

  char Letter() const { return static_cast<char>(code.word & 0xFF); }
  bool Matches(uint16_t word) const {
    return code.by_low_byte ? (word & 0xFF) == code.word : word == code.word;
  }
  size_t Words(const WordReader& reader) const {
    return length ? length(reader) : static_cast<size_t>(code.word >> 8);
  }
};

// Every command, in the order the reader tests them.
std::span<const Command> CommandTable();

// The first command of `prefix` that matches `word`; nullptr when none does.
const Command* FindCommand(uint16_t prefix, uint16_t word);

}  // namespace tovrin
