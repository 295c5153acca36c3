#include <gtest/gtest.h>

#include <numeric>

#include "host.h"

using namespace vkbd;
using namespace vkbd::test;

namespace {

Bytes all_ack(std::size_t n) { return Bytes(n, 0xFA); }

}  // namespace

// The frame builders of these tests against the byte layouts the host uses.
TEST(VkbdHostFrames, MatchTheKnownLayouts) {
  EXPECT_EQ(led_nibbles({0xEF, 0x00}), (Bytes{0xED, 0x10, 0xED, 0x20}));
  EXPECT_EQ(led_nibbles({0xEF, 0x88}), (Bytes{0xED, 0x18, 0xED, 0x28}));
  EXPECT_EQ(led_nibbles({0xEC, 0x5A, 0x00}), (Bytes{0xED, 0x1A, 0xED, 0x35, 0xED, 0x10, 0xED, 0x30}));
  Bytes hex = hex_frame(0x0F, 0x0004, Bytes(8, 0));
  EXPECT_EQ(std::string(hex.begin() + 2, hex.begin() + 10), "0004080C");
  Bytes packed = packed_frame(0x0F, 0x0004, Bytes(8, 0), 1);
  ASSERT_EQ(packed.size(), 18u);
  EXPECT_EQ(Bytes(packed.begin() + 2, packed.begin() + 5), (Bytes{0x80, 0x40, 0x14}));
}

TEST(VkbdPortDecoding, GoldenTranscripts) {
  struct Case {
    const char* name;
    Bytes sent;
    std::string transcript;
  } cases[] = {
      {"identity query, LED-nibble form", {0xED, 0x10, 0xED, 0x20},
       ">ED <FA >10 <FA >ED <FA >20 <FA ~31 ~B1"},
      {"identity query, plain bytes", {0xEF, 0x00}, ">EF <FA >00 <FA ~31 ~B1"},
      {"reset, LED-nibble form", {0xED, 0x18, 0xED, 0x28}, ">ED <FA >18 <FA >ED <FA >28 <FA"},
      {"plain LED command", {0xED, 0x04}, ">ED <FA >04 <FA"},
      {"keyboard enable", {0xF4}, ">F4 <FA"},
      {"checksum update", {0xEF, 0x12}, ">EF <FA >12 <FA ~02 ~82"},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.port(c.sent);
    EXPECT_EQ(rig.keyboard.transcript_compact(), c.transcript) << c.name;
  }
}

TEST(VkbdPortDecoding, GoldenTranscriptWithMeanings) {
  Rig rig;
  rig.port({0xED, 0x10, 0xED, 0x20});
  std::string lines;
  for (const auto& e : rig.keyboard.transcript()) lines += Transcript::line(e) + "\n";
  EXPECT_EQ(lines,
            ">ED  LED command\n<FA  acknowledge\n"
            ">10  low nibble 0\n<FA  acknowledge\n"
            ">ED  LED command\n<FA  acknowledge\n"
            ">20  high nibble: byte 00 (EF)\n<FA  acknowledge\n"
            "# identity query: answer '1'\n"
            "~31  identity make\n~B1  identity break\n");
}

TEST(VkbdPortDecoding, DisplayBytesAfterTheEcMarker) {
  Rig rig;
  // After EC the byte 5A travels as ED 1A ED 35; the closing 00 as ED 10 ED 30.
  EXPECT_EQ(rig.port({0xED, 0x1A, 0xED, 0x35, 0xED, 0x10, 0xED, 0x30}), all_ack(8));
  EXPECT_EQ(rig.keyboard.display().row(0).substr(0, 2), "Z ");
  EXPECT_TRUE(rig.typed.empty());
  // The next command byte (marker 20h) is a command again: the identity query.
  rig.port(led_nibbles({0xEF, 0x00}));
  EXPECT_EQ(rig.take_typed(), (Bytes{0x31, 0xB1}));
}

TEST(VkbdPortDecoding, PlainLedCommandsSetTheLeds) {
  Rig rig;
  rig.port({0xED, 0x07});
  EXPECT_EQ(rig.keyboard.peripherals().keyboard_leds, 7);
  rig.port({0xED, 0x02});
  EXPECT_EQ(rig.keyboard.peripherals().keyboard_leds, 2);
  EXPECT_TRUE(rig.typed.empty());
}

TEST(VkbdPortDecoding, RawCommandDataMayHoldEd) {
  Rig rig;
  // A barcode text sent as plain bytes carries EDh as a character, not as an LED command.
  rig.port({0xEF, 0x28, 'A', 0xED, 'B', 0x00});
  EXPECT_EQ(rig.keyboard.peripherals().barcode_data, std::string("A\xED" "B"));
}

TEST(VkbdIdentity, AnswerTypedAsTheScanCodeOfItsCharacter) {
  for (char id : {'0', '1', '2', ','}) {
    Config config;
    config.identity = id;
    Rig rig(config);
    rig.port(led_nibbles({0xEF, 0x00}));
    auto c = static_cast<std::uint8_t>(id);
    EXPECT_EQ(rig.typed, (Bytes{c, static_cast<std::uint8_t>(c | 0x80)})) << id;
  }
}

TEST(VkbdBlockWrite, HexFrames) {
  const Bytes data{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  struct Case {
    const char* name;
    int spoil;  // index of a frame byte to change, -1 none
    bool stored;
  } cases[] = {
      {"good frame", -1, true},
      {"wrong header sum", 9, false},
      {"wrong data digit", 12, false},
      {"wrong data sum", 27, false},
  };
  for (const auto& c : cases) {
    for (bool nibbles : {false, true}) {
      Rig rig;
      Bytes frame = hex_frame(0x0F, 0x0004, data);
      ASSERT_EQ(frame.size(), 28u);
      if (c.spoil >= 0) frame[static_cast<std::size_t>(c.spoil)] = frame[static_cast<std::size_t>(c.spoil)] == '1' ? '2' : '1';
      rig.port(nibbles ? led_nibbles(frame) : frame);
      Memory m = rig.keyboard.memory();
      EXPECT_EQ(Bytes(m.bytes().begin() + 4, m.bytes().begin() + 12) == data, c.stored) << c.name << nibbles;
      EXPECT_TRUE(rig.typed.empty()) << c.name << ": hex frames are not answered";
    }
  }
}

TEST(VkbdBlockWrite, PackedFramesAreAnswered) {
  const Bytes data{1, 2, 3, 4, 5, 6, 7, 8};
  struct Case {
    const char* name;
    char identity;
    int spoil;  // frame byte whose low bit is flipped, -1 none
    Bytes answer;
    bool stored;
  } cases[] = {
      {"good frame", '1', -1, {0x21, 0xA1}, true},
      {"wrong check byte", '1', 17, {0x10, 0x90}, false},
      {"data changed", '1', 8, {0x10, 0x90}, false},
      {"old keyboard", '0', -1, {}, false},
  };
  for (const auto& c : cases) {
    Config config;
    config.identity = c.identity;
    Rig rig(config);
    Bytes frame = packed_frame(0x0F, 0x0004, data, 1);
    if (c.spoil >= 0) frame[static_cast<std::size_t>(c.spoil)] ^= 1;
    EXPECT_EQ(rig.port(led_nibbles(frame)), all_ack(led_nibbles(frame).size())) << c.name;
    EXPECT_EQ(rig.typed, c.answer) << c.name;
    Memory m = rig.keyboard.memory();
    EXPECT_EQ(Bytes(m.bytes().begin() + 4, m.bytes().begin() + 12) == data, c.stored) << c.name;
  }
}

TEST(VkbdBlockWrite, SequenceNumberSelectsTheAnswer) {
  Rig rig;
  for (unsigned seq = 0; seq < 6; ++seq) {
    rig.port(packed_frame(0x0F, 0x0100 + 8 * seq, Bytes(8, static_cast<std::uint8_t>(seq)), seq));
    std::uint8_t expected = static_cast<std::uint8_t>(0x20 + (seq & 3));
    EXPECT_EQ(rig.take_typed(), (Bytes{expected, static_cast<std::uint8_t>(expected | 0x80)}));
  }
}

TEST(VkbdBlockWrite, BrokenFrameGivesWayToTheNextCommand) {
  Rig rig;
  Bytes frame = packed_frame(0x0F, 0x0004, Bytes(8, 9), 2);
  frame.resize(9);  // the host gave up in the middle of the frame
  rig.port(frame);
  rig.port({0xEF, 0x00});
  EXPECT_EQ(rig.take_typed(), (Bytes{0x31, 0xB1}));
}

TEST(VkbdBlockWrite, NothingLandsOutsideTheMemory) {
  Rig rig;
  // A hex frame reaching past the end is refused whole; a packed frame keeps what fits.
  rig.port(hex_frame(0x0F, 0x1FFC, Bytes(8, 0xAA)));
  EXPECT_EQ(rig.keyboard.memory().at(0x1FFC), 0);
  rig.port(packed_frame(0x0F, 0x1FFC, Bytes(8, 0xBB), 0));
  EXPECT_EQ(rig.keyboard.memory().at(0x1FFF), 0xBB);
  EXPECT_EQ(rig.take_typed(), (Bytes{0x20, 0xA0}));
}

TEST(VkbdBlockRead, AnsweredAsHexadecimalKeys) {
  Rig rig;
  rig.port(hex_frame(0x0F, 0x0010, {0x12, 0xAB, 0xF0}));
  rig.port(led_nibbles(read_request(0x0010, 3)));
  // 12 AB F0, nibble sum 1+2+A+B+F+0 = 27h.
  EXPECT_EQ(typed_hex(rig.typed), "12ABF027");
  EXPECT_EQ(rig.typed.front(), 0x02);  // the key of '1'
  EXPECT_EQ(rig.typed[1], 0x82);

  rig.take_typed();
  Bytes bad = read_request(0x0010, 3);
  bad.back() = bad.back() == '0' ? '1' : '0';
  rig.port(bad);
  EXPECT_TRUE(rig.typed.empty()) << "a request with a wrong sum is not answered";
}

TEST(VkbdBlockRead, BeyondTheMemoryReadsAsZero) {
  Rig rig;
  rig.port(read_request(0x1FFE, 4));
  auto data = decode_read(typed_hex(rig.typed));
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size(), 4u);
  EXPECT_EQ((*data)[2], 0);
}

// A download as the host runs it on the Windows 95 port: packed frames of eight bytes, the
// checksum update, then the header and the image read back.
TEST(VkbdDownload, HandDrivenDownloadReadsBack) {
  Bytes image(340);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
  image[6] = static_cast<std::uint8_t>(image.size() >> 8);
  image[7] = static_cast<std::uint8_t>(image.size());
  Rig rig;
  unsigned seq = 0;
  Bytes block(8, 0);
  for (std::size_t a = 4; a < image.size(); a += 8) {
    std::size_t n = std::min<std::size_t>(8, image.size() - a);
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(a), n, block.begin());
    ++seq;
    rig.port(led_nibbles(packed_frame(0x0F, static_cast<unsigned>(a), block, seq)));
    std::uint8_t expected = static_cast<std::uint8_t>(0x20 + (seq & 3));
    ASSERT_EQ(rig.take_typed(), (Bytes{expected, static_cast<std::uint8_t>(expected | 0x80)})) << a;
  }
  rig.port(led_nibbles({0xEF, 0x12}));
  EXPECT_EQ(rig.take_typed(), (Bytes{0x02, 0x82}));

  unsigned sum = std::accumulate(image.begin() + 4, image.end(), 0u) & 0xFFFF;
  rig.port(led_nibbles(read_request(0, 8)));
  auto header = decode_read(typed_hex(rig.take_typed()));
  ASSERT_TRUE(header);
  EXPECT_EQ((*header)[0] << 8 | (*header)[1], 0x0130) << "firmware id";
  EXPECT_EQ(static_cast<unsigned>((*header)[2] << 8 | (*header)[3]), sum);
  EXPECT_EQ((*header)[6] << 8 | (*header)[7], 340);

  Bytes read_back;
  for (unsigned a = 4; a < image.size(); a += 8) {
    rig.port(led_nibbles(read_request(a, 8)));
    auto data = decode_read(typed_hex(rig.take_typed()));
    ASSERT_TRUE(data) << a;
    read_back.insert(read_back.end(), data->begin(), data->end());
  }
  read_back.resize(image.size() - 4);
  EXPECT_EQ(read_back, Bytes(image.begin() + 4, image.end()));
}

TEST(VkbdChecksum, SumsFromAddressFourToTheKeytableLength) {
  // Memory from address 4 on: the keytable length in bytes 6-7, every other byte a running value.
  for (unsigned length : {0x0000u, 0x0003u, 0x000Au, 0x0130u, 0x2000u, 0xFFFFu}) {
    Rig rig;
    Bytes fill(8188);
    for (std::size_t i = 0; i < fill.size(); ++i) fill[i] = static_cast<std::uint8_t>(i * 13 + 1);
    fill[2] = static_cast<std::uint8_t>(length >> 8);
    fill[3] = static_cast<std::uint8_t>(length);
    for (std::size_t a = 0; a < fill.size(); a += 64)
      rig.port(hex_frame(0x0F, static_cast<unsigned>(4 + a),
                         Bytes(fill.begin() + static_cast<std::ptrdiff_t>(a),
                               fill.begin() + static_cast<std::ptrdiff_t>(std::min(a + 64, fill.size())))));
    rig.port({0xEF, 0x12});
    std::size_t end = std::min<std::size_t>(length, 8192);
    unsigned sum = 0;
    for (std::size_t addr = 4; addr < end; ++addr) sum += fill[addr - 4];
    EXPECT_EQ(rig.keyboard.memory().checksum(), sum & 0xFFFF) << std::hex << length;
  }
}

TEST(VkbdDisplay, Sequences) {
  struct Case {
    const char* name;
    Bytes sent;
    std::string row0, row1;
    int cursor_column;
  } cases[] = {
      {"text at the start", {0xEC, 'H', 'i', 0x00}, "Hi", "", 2},
      {"cursor to row 1 column 3", {0xEC, 0xC9, 0x83, 0x00, 0xEC, 'A', 0x00}, "   A", "", 4},
      {"cursor to row 2 column 1", {0xEC, 0xC9, 0x41, 'B', 0x00}, "", " B", 2},
      {"row starts", {0xEC, 'x', 0x00, 0xEC, 0xC1, 'y', 0x00, 0xEC, 0xC0, 'z', 0x00}, "z", "y", 1},
      {"clear", {0xEC, 'Q', 0x00, 0xEC, 0x01, 0x00}, "", "", 0},
      {"writes stop at the last column", {0xEC, 0xC9, 0x80 + 49, 'L', 'M', 'N', 0x00},
       std::string(49, ' ') + "L", "", 50},
  };
  for (const auto& c : cases) {
    for (bool nibbles : {false, true}) {
      Rig rig;
      rig.port(nibbles ? led_nibbles(c.sent) : c.sent);
      Display d = rig.keyboard.display();
      auto trimmed = [](std::string s) { return s.erase(s.find_last_not_of(' ') + 1); };
      EXPECT_EQ(trimmed(d.row(0)), c.row0) << c.name << nibbles;
      EXPECT_EQ(trimmed(d.row(1)), c.row1) << c.name << nibbles;
      EXPECT_EQ(d.cursor_column(), c.cursor_column) << c.name << nibbles;
    }
  }
}

TEST(VkbdDisplay, ControlByte) {
  Rig rig;
  rig.port({0xEC, 0xC8, 0x08, 0x00});  // display off, no cursor, no blink
  EXPECT_FALSE(rig.keyboard.display().on());
  EXPECT_FALSE(rig.keyboard.display().cursor_visible());
  rig.port(led_nibbles({0xEC, 0xC8, 0x0F, 0x00}));
  Display d = rig.keyboard.display();
  EXPECT_TRUE(d.on());
  EXPECT_TRUE(d.cursor_visible());
  EXPECT_TRUE(d.blink());
}

TEST(VkbdPeripherals, CommandsLeaveTheirSettings) {
  Rig rig;
  rig.port(led_nibbles({0xEF, 0x2B, 0xEF, 0x2B, 0xEF, 0x43, 0xEF, 0x36, 0x05, 0xEF, 0x19,
                        0xEF, 0x27, 'C', 'F', 'G', 0x00}));
  Peripherals p = rig.keyboard.peripherals();
  EXPECT_EQ(p.beeps, 2);
  EXPECT_EQ(p.msr_leds, 1);
  EXPECT_EQ(p.msr_tracks, 5);
  EXPECT_FALSE(p.msr_autoinput);
  EXPECT_EQ(p.barcode_config, "CFG");
  EXPECT_TRUE(rig.typed.empty());
}

TEST(VkbdPeripherals, DataTypedBetweenMarkers) {
  Rig rig;
  EXPECT_TRUE(rig.keyboard.type_msr_track(2, "12"));
  EXPECT_EQ(rig.take_typed(), (Bytes{0x63, 0xE3, 0x02, 0x82, 0x03, 0x83, 0x63, 0xE3}));
  rig.keyboard.type_barcode("A1");
  EXPECT_EQ(rig.take_typed(), (Bytes{0x65, 0xE5, 0x2A, 0x1E, 0x9E, 0xAA, 0x02, 0x82, 0x65, 0xE5}));
  rig.keyboard.type_keylock("3");
  EXPECT_EQ(rig.take_typed(), (Bytes{0x66, 0xE6, 0x04, 0x84, 0x66, 0xE6}));
  rig.keyboard.type_function_card("");
  EXPECT_EQ(rig.take_typed(), (Bytes{0x67, 0xE7, 0x67, 0xE7}));
  EXPECT_FALSE(rig.keyboard.type_msr_track(4, "x"));
  EXPECT_TRUE(rig.typed.empty());
}

TEST(VkbdVersion, TypedOnThePortWrittenOnTheLine) {
  Config config;
  config.version = "V1.2 a";
  Rig rig(config);
  rig.port(led_nibbles({0xEF, 0x10}));
  // Shift+V, 1, ., 2, blank, a.
  EXPECT_EQ(rig.take_typed(), (Bytes{0x2A, 0x2F, 0xAF, 0xAA, 0x02, 0x82, 0x34, 0xB4, 0x03, 0x83, 0x39, 0xB9, 0x1E, 0x9E}));
  EXPECT_EQ(rig.line({0xEF, 0x10}), (Bytes{0xFA, 0xFA, 'V', '1', '.', '2', ' ', 'a'}));
}

TEST(VkbdSerialLine, EchoAcknowledgeAndBlockRead) {
  Rig rig;
  EXPECT_EQ(rig.line({0xEE}), (Bytes{0xEE}));
  rig.line(hex_frame(0x0F, 0x0040, {0xC3, 0x5A}));
  Bytes out = rig.line(read_request(0x0040, 2));
  Bytes expected(10, 0xFA);
  for (char c : std::string("C35A1E")) expected.push_back(static_cast<std::uint8_t>(c));
  EXPECT_EQ(out, expected);
  EXPECT_TRUE(rig.typed.empty());
}

TEST(VkbdSerialLine, EchoAfterAnUnfinishedFrame) {
  Rig rig;
  Bytes frame = hex_frame(0x0F, 0x0004, {1, 2, 3});
  frame.resize(7);
  rig.line(frame);
  EXPECT_EQ(rig.line({0xEE}), (Bytes{0xEE}));
  // Inside a text EEh is a character.
  EXPECT_EQ(rig.line({0xEF, 0x28, 0xEE, 0x00}), (Bytes{0xFA, 0xFA, 0xFA, 0xFA}));
  EXPECT_EQ(rig.keyboard.peripherals().barcode_data, "\xEE");
}

TEST(VkbdSecureMode, EveryByteThreeTimes) {
  Config config;
  config.secure = true;
  Rig rig(config);
  auto triple = [](const Bytes& in) {
    Bytes out;
    for (std::uint8_t b : in) out.insert(out.end(), 3, b);
    return out;
  };
  // The same protocol bytes on the serial line and, step by step, in the LED-nibble form.
  rig.line(triple(hex_frame(0x0F, 0x0004, {0x00, 0x00, 0x77})));
  EXPECT_EQ(rig.keyboard.memory().at(6), 0x77);
  rig.port(triple(led_nibbles({0xEF, 0x00})));
  EXPECT_EQ(rig.take_typed(), (Bytes{0x31, 0xB1}));
}

// Bytes of any kind, in any order, on both sides: nothing is stored outside the memory and every
// byte is still answered.
TEST(VkbdRobustness, ArbitraryBytes) {
  Config config;
  config.secure = false;
  Rig rig(config);
  std::uint32_t x = 12345;
  auto next = [&] {
    x = x * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(x >> 24);
  };
  // Bias towards the bytes that start commands, so that frames and sequences get going.
  const std::uint8_t starts[] = {0xEF, 0xEC, 0xED, 0x0F, 0x0E, 0x12, 0x27, 0x10, 0x00, '0', 'A', 0x80, 0x40};
  for (int i = 0; i < 200000; ++i) {
    std::uint8_t r = next();
    std::uint8_t b = (r & 1) ? starts[r % sizeof starts] : next();
    if (i & 0x100) {
      EXPECT_EQ(rig.keyboard.host_byte(b), 0xFA);
    } else {
      Bytes out = rig.keyboard.line_bytes(b);
      ASSERT_FALSE(out.empty());
    }
    if (rig.typed.size() > 4096) rig.typed.clear();
  }
  rig.keyboard.clear_transcript();
}
