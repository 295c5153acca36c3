#include "compiler/messages.h"

#include <cstdio>

namespace compiler {

namespace {

constexpr MessageRow kRows[] = {
    {Msg::UnknownCommand, "unknown command", "the line's keyword is neither a key position nor a directive"},
    {Msg::UnknownType, "unknown type", "TYPE names no model of the model table, or names none"},
    {Msg::UnknownLanguage, "unknown language", "LANG/KBID names no language of the language table"},
    {Msg::LockSign, "unknown sign. 'S' or 'C' expected", "the lock item of LANG/KBID is neither S nor C"},
    {Msg::UnknownInterface, "unknown Interface", "INTER/KBCI names none of AT, PC, COM, PS2, USB"},
    {Msg::UnknownBaudrate, "unknown baudrate", "the baud item of INTER COM is not a known rate"},
    {Msg::UnknownParity, "unknown parity", "the parity item of INTER COM is none of N, M, E, O, S"},
    {Msg::UnknownDatalength, "unknown datalengh", "the data bits item of INTER COM is neither 7 nor 8"},
    {Msg::HandshakeExpected, "unknown parameter 'H' expected", "the handshake item of INTER COM is not H"},
    {Msg::DurationZero, "duration 0 not allowed (set volume to 0)", "SOUND with a duration of 0"},
    {Msg::UnknownSndCode, "unknown SNDx-code", "SND is followed by neither K nor A"},
    {Msg::WrongHotkeyCode, "wrong hotkeycode", "the hotkey number is neither 0 nor 1"},
    {Msg::ModSign, "unknown sign '+-'", "a MOD item does not start with + or -"},
    {Msg::UnknownParameter, "unknown parameter", "a MOD, MSR or PORT item is not in its table"},
    {Msg::UnknownRate, "unknown typematic rate", "the RATE rate is none of 30, 20, 10, 2"},
    {Msg::UnknownDelay, "unknown delay code", "the RATE delay is none of 250, 500, 750, 1000 or missing"},
    {Msg::UnknownSpeed, "unknown slow output speed", "the RATE speed is none of D, F, M, V, S"},
    {Msg::BaseCharacter, "unknown character, expect 'H' or 'Z'", "BASE is followed by neither H nor Z"},
    {Msg::MoreThan8Scancodes, "more than 8 Scancodes", "a CONV string converts to more than 8 bytes"},
    {Msg::AssignmentConversion, "Assignment conversion", "a CONV string converts to nothing"},
    {Msg::ParaMore, "PARAM - more than 8 codes", "a PARA record has more than 8 codes"},
    {Msg::ParaLess, "PARAM - less than 8 codes", "a PARA record has fewer than 8 codes"},
    {Msg::ParaUnknown, "PARAM - unknown", "the first code of a PARA record is 0"},
    {Msg::MemorySize, "MEMORY - check MEMORY size parameter", "MEMORY is missing or below 512"},
    {Msg::UnexpectedHex, "unexpected hex figure", "a decimal number holds a hexadecimal letter"},
    {Msg::StringSign, "unknown sign. '\"#%' expected", "a code string item is none of \"text\", #n, %n"},
    {Msg::StringTooLong, "string too long", "a code string reaches 240 bytes"},
    {Msg::ConversionAscii, "string conversion (ASCII)", "a character-mode text cannot be converted"},
    {Msg::ConversionScancode, "string conversion (scancode)", "a scancode text cannot be converted"},
    {Msg::UnknownKeycode, "unknown keycode", "a key line names no position of the model and no pseudo-key"},
    {Msg::MultipleAssignment, "multiple keyassignment", "a key line repeats a definition with the same condition"},
    {Msg::PrefixSign, "unknown sign. '/+-' expected", "the condition prefix ends with an unexpected character"},
    {Msg::LayerCharacter, "unknown layer chracter", "a condition sign is followed by no condition letter"},
    {Msg::EasyLayerDefinition, "EasyLayerdefinition /N1  ", "/N without a layer number"},
    {Msg::MaxLayers, "maximum 127 layers !  write 'EasyLayer1' etc. ", "KEYLAYER with a layer above 127"},
    {Msg::KeytableTooMany, "keytable too many codes", "a 257th KEYTABLE entry"},
    {Msg::UseKeytableFailed, "use keytable failed", "DEADKEY before any KEYTABLE entry"},
    {Msg::MultipleDefinedKey, "multiple defined key", "a built-in definition repeats a definition of the key"},
    {Msg::ErrorEcho, "%03d: %s", "before each error: the line number and the line as read"},
    {Msg::ErrorLine, "ERROR (line %d): %s\n", "each error of a line, with one of the messages above"},
    {Msg::ErrorCount, "%d error(s)\n", "the end of a compile with errors; no keytable is written"},
    {Msg::ListingOk, "OK\n", "the keytable was compiled and written"},
    {Msg::FilenameExpected, "ERROR: filename expected\n  zpxc <filename[.zpf]>", "no source file was named"},
    {Msg::SourceNotFound, "FATAL: '%s' not found\n", "the source file cannot be read"},
    {Msg::NothingToDo, "ERROR: Nothing to do!", "the source file is empty"},
    {Msg::FileTooLong, "FATAL: zpx-file to long\n", "the keytable would pass the keyboard's memory (TYPE, MEMORY)"},
    {Msg::TooFewKeytable, "ERROR: to few KEYTABLE Parameters\n", "KEYTABLE gave fewer than 255 entries"},
    {Msg::CantOpenFile, "FATAL: can't open file '%s'", "the keytable file cannot be written"},
};

static_assert(sizeof kRows / sizeof kRows[0] == static_cast<std::size_t>(Msg::Count));

}  // namespace

const MessageRow& message(Msg id) { return kRows[static_cast<std::size_t>(id)]; }

std::string fill(std::string_view t, std::string_view value) {
  std::size_t at = t.find('%');
  while (at != std::string_view::npos) {
    for (std::string_view placeholder : {"%03d", "%d", "%s"}) {
      if (t.substr(at, placeholder.size()) == placeholder)
        return std::string(t.substr(0, at)).append(value).append(t.substr(at + placeholder.size()));
    }
    at = t.find('%', at + 1);
  }
  return std::string(t);
}

std::string fill(std::string_view t, int value) {
  char number[16];
  const std::size_t at = t.find('%');
  const bool padded = at != std::string_view::npos && t.substr(at, 4) == "%03d";
  std::snprintf(number, sizeof number, padded ? "%03d" : "%d", value);
  return fill(t, std::string_view(number));
}

const MessageRow* message_table(std::size_t& count) {
  count = sizeof kRows / sizeof kRows[0];
  return kRows;
}

}  // namespace compiler
