// Every message the compiler writes, in one table: the code uses the texts from here and the
// manual's list of messages is generated from the same rows.
#pragma once

#include <string>
#include <string_view>

namespace compiler {

enum class Msg {
  UnknownCommand, UnknownType, UnknownLanguage, LockSign, UnknownInterface, UnknownBaudrate,
  UnknownParity, UnknownDatalength, HandshakeExpected, DurationZero, UnknownSndCode,
  WrongHotkeyCode, ModSign, UnknownParameter, UnknownRate, UnknownDelay, UnknownSpeed,
  BaseCharacter, MoreThan8Scancodes, AssignmentConversion, ParaMore, ParaLess, ParaUnknown,
  MemorySize, UnexpectedHex, StringSign, StringTooLong, ConversionAscii, ConversionScancode,
  UnknownKeycode, MultipleAssignment, PrefixSign, LayerCharacter, EasyLayerDefinition,
  MaxLayers, KeytableTooMany, UseKeytableFailed, MultipleDefinedKey,
  // Texts of the listing beside the line errors; some carry one "%s", "%d" or "%03d".
  ErrorEcho, ErrorLine, ErrorCount, ListingOk, FilenameExpected, SourceNotFound, NothingToDo,
  FileTooLong, TooFewKeytable, CantOpenFile,
  Count
};

struct MessageRow {
  Msg id;
  std::string_view text;   // written byte for byte
  std::string_view cause;  // for the manual
};

const MessageRow& message(Msg id);
inline std::string_view text(Msg id) { return message(id).text; }
// All rows, in table order.
const MessageRow* message_table(std::size_t& count);

// A text with its first placeholder ("%03d", "%d" or "%s") filled in, as printf would.
std::string fill(std::string_view text, std::string_view value);
std::string fill(std::string_view text, int value);

}  // namespace compiler
