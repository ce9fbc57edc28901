#pragma once
// Huffman coding of quantised blocks into the JPEG byte stream: the standard tables, the zigzag order,
// and the bit writer that stuffs a zero after every 0xFF byte.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "jpeg/encoder/encoder.h"

namespace jpeg::detail {

// The standard Huffman tables: code counts per length 1..16, then the symbols.
struct HuffSpec {
  uint8_t bits[16];
  uint8_t values[162];
  int count;
};

inline constexpr HuffSpec kDcLuminance = {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
                               {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
                               12};
inline constexpr HuffSpec kDcChrominance = {{0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
                                 {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
                                 12};
inline constexpr HuffSpec kAcLuminance = {
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
    {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
     0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
     0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
     0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
     0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
     0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
     0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
     0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
     0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa},
    162};
inline constexpr HuffSpec kAcChrominance = {
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
    {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
     0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1,
     0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36,
     0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
     0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
     0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a,
     0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba,
     0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda,
     0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa},
    162};

// Code and length per symbol (Annex C of the standard), with room made for the value that follows:
// a symbol's low four bits are the number of value bits after its code (the DC difference's or the
// coefficient's category), so an entry holds the code shifted up by that many bits, and the length
// with them. A symbol and its value are then one write: code | value, `size` bits.
struct HuffTable {
  struct Entry {
    uint32_t code = 0;
    int32_t size = 0;
  };
  Entry entry[256];

  explicit HuffTable(const HuffSpec& spec) {
    uint32_t next = 0;
    int k = 0;
    for (int length = 1; length <= 16; ++length) {
      for (int i = 0; i < spec.bits[length - 1]; ++i, ++k) {
        const int symbol = spec.values[k];
        entry[symbol] = {next++ << (symbol & 15), length + (symbol & 15)};
      }
      next <<= 1;
    }
  }
};

// Zigzag position -> index in the transposed block.
constexpr uint8_t TransposedIndex(int zigzag) {
  const int natural = detail::kZigzag[zigzag];
  return static_cast<uint8_t>((natural % 8) * 8 + natural / 8);
}

// Where the non-zero coefficients of a transposed block stand in zigzag order: the block's 64-bit mask
// (bit u * 8 + v for coefficient (u, v)) is looked up a byte (one vector) at a time.
struct ZigzagOrder {
  uint8_t index[64];         // zigzag position -> transposed index
  uint64_t mask[8][256];     // vector u, its byte of the mask -> bits at the zigzag positions

  ZigzagOrder() {
    uint8_t position[64];
    for (int z = 0; z < 64; ++z) {
      index[z] = TransposedIndex(z);
      position[index[z]] = static_cast<uint8_t>(z);
    }
    for (int u = 0; u < 8; ++u)
      for (int byte = 0; byte < 256; ++byte) {
        uint64_t bits = 0;
        for (int v = 0; v < 8; ++v)
          if (byte & (1 << v)) bits |= uint64_t{1} << position[u * 8 + v];
        mask[u][byte] = bits;
      }
  }

  uint64_t Zigzag(uint64_t transposed) const {
    uint64_t bits = 0;
    for (int u = 0; u < 8; ++u) bits |= mask[u][(transposed >> (8 * u)) & 0xFF];
    return bits;
  }
};

inline const ZigzagOrder& Zigzag() {
  static const ZigzagOrder order;
  return order;
}

// The bits of the entropy-coded data as they are written: gathered in 64 and written out eight bytes
// at a time, with a zero stuffed after every 0xFF byte. The coding of a block takes the state out of
// the BitWriter (Take) and gives it back after (Give): as a local, the compiler keeps it in registers,
// where as members of the writer it would store and reload them around every byte written, since a
// byte store could change them as far as it knows.
class Bits {
 public:
  // Appends the `count` bits of `value` (count <= 27, no bits above them). The branch that decides to
  // write is taken once in a dozen symbols or so.
  void Put(uint32_t value, int count) {
    if (count <= free_) {
      acc_ = (acc_ << count) | value;
      free_ -= count;
      return;
    }
    // 1..27 bits go into the next word; free_ is below 27 here. The bits of `value` already written
    // stay in acc_ above the ones it holds, and leave at the top of a word like them.
    const int rest = count - free_;
    const uint64_t word = (acc_ << free_) | (value >> rest);
    acc_ = value;
    free_ = 64 - rest;
    const uint64_t inverse = ~word;
    if (((inverse - 0x0101010101010101u) & word & 0x8080808080808080u) != 0) [[unlikely]] {  // a 0xFF byte
      out_ = Stuffed(out_, word);
      return;
    }
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(word >> (56 - 8 * i));
    std::memcpy(out_, bytes, 8);
    out_ += 8;
  }

 private:
  friend class BitWriter;

  // The word's eight bytes, most significant first, each 0xFF followed by a zero; returns where the
  // next byte goes. Out of line (entropy.cpp): the coding loop keeps its registers for itself.
  static uint8_t* Stuffed(uint8_t* out, uint64_t word);

  uint64_t acc_ = 0;  // the pending bits, in the low 64 - free_ (those above are spent)
  int free_ = 64;
  uint8_t* out_ = nullptr;
};

class BitWriter {
 public:
  explicit BitWriter(Sink& sink) : sink_(sink), buffer_(new (std::nothrow) uint8_t[kChunk + kSlack]) {
    bits_.out_ = buffer_.get();
  }
  bool ok() const { return buffer_ != nullptr && !failed_; }

  // Room for `bytes` more without a flush; false once the sink has failed.
  bool Reserve(size_t bytes) {
    if (Size() + bytes > kChunk) Flush();
    return !failed_;
  }
  void Byte(uint8_t b) { *bits_.out_++ = b; }
  void Word(uint16_t w) {
    Byte(static_cast<uint8_t>(w >> 8));
    Byte(static_cast<uint8_t>(w));
  }
  void Bytes(const uint8_t* data, size_t size) {
    std::memcpy(bits_.out_, data, size);
    bits_.out_ += size;
  }

  // The entropy-coded bits' state, for a block's coding, and back.
  Bits Take() const { return bits_; }
  void Give(const Bits& bits) { bits_ = bits; }

  // Pads the last byte with one bits, as the standard asks, and writes what is left.
  void AlignWithOnes() {
    int bits = 64 - bits_.free_;
    uint64_t acc = bits_.acc_;
    const int pad = (8 - bits % 8) % 8;
    if (pad) {
      acc = (acc << pad) | ((1u << pad) - 1);
      bits += pad;
    }
    while (bits > 0) {
      bits -= 8;
      const uint8_t b = static_cast<uint8_t>(acc >> bits);
      Byte(b);
      if (b == 0xFF) Byte(0);
    }
    bits_.acc_ = 0;
    bits_.free_ = 64;
  }

  bool Flush() {
    if (!failed_ && Size() > 0 && !sink_.Put(buffer_.get(), Size())) failed_ = true;
    bits_.out_ = buffer_.get();
    return !failed_;
  }

 private:
  // The bound the encoder's Reserve calls rest on. A block is at most 64 symbols: its DC difference,
  // then AC symbols that each cover at least one of the 63 positions (a coefficient with its run of
  // zeros, sixteen zeros, or the end of the block, which follows at most 62 positions). A symbol is
  // its Huffman code, at most 16 bits, and its extra bits, at most 11 (QuantisedBlock::category), so
  // 27 bits; a block is at most 64 * 27 bits = 216 bytes, and a unit of six blocks 1296 bytes. Each
  // 0xFF byte is followed by a stuffed 0: at most twice that, 2592 bytes, plus the eight bytes (sixteen
  // stuffed) of bits still gathered from the unit before. So Reserve(4096) before each unit always
  // leaves room, and kSlack past the chunk covers the last unit's padding and the end marker without a
  // Reserve (at most 16 + 2 bytes) many times over. The headers are under 1 KB (Reserve(2048)).
  static constexpr size_t kChunk = 256 * 1024;
  static constexpr size_t kSlack = 8 * 1024;

  size_t Size() const { return static_cast<size_t>(bits_.out_ - buffer_.get()); }

  Sink& sink_;
  std::unique_ptr<uint8_t[]> buffer_;
  Bits bits_;
  bool failed_ = false;
};

// A coefficient (or DC difference) as the standard codes it: its bit length and its bits, negative
// values as value - 1 in that many bits.
struct Category {
  int bits;
  uint32_t extra;
};

inline Category CategoryOf(int value) {
  const int bits = std::bit_width(static_cast<uint32_t>(value < 0 ? -value : value));
  return {bits, static_cast<uint32_t>(value < 0 ? value - 1 : value) & ((1u << bits) - 1)};
}

constexpr int kEndOfBlock = 0x00, kSixteenZeros = 0xF0;

}  // namespace jpeg::detail
