#pragma once
// The JPEG library interface the writer was built against (init, write whole image, free), over our
// own baseline encoder (jpeg/encoder/encoder.h): quality on the library's 1..100 scale, YCbCr with 2x2
// chroma subsampling, the standard tables.
//
// Differences from the classic library: JPGFile is a wide (UTF-16) path, so that no character of a
// folder name is lost; and JPGFileHandle may hand the library a file its caller has open already.

#include <cstdint>

enum IJLERR : int {
  IJL_OK = 0,
  IJL_INVALID_PROPERTIES = -1,   // null record, or a record ijlInit did not prepare
  IJL_BAD_DIB = -2,              // no pixels, a size of zero, or padding that does not fit
  IJL_BAD_JPEG_SETTINGS = -3,    // JPEG size unlike the DIB's or over 65535, quality outside 0..100, no file name
  IJL_UNSUPPORTED_IO = -4,       // an I/O type other than writing a whole image to a file
  IJL_MEMORY_ERROR = -5,         // the encoder's working memory could not be had
  IJL_FILE_CREATE_FAILED = -6,   // the output file could not be created
  IJL_ENCODE_FAILED = -7,        // the encoder gave up on the image (ours never does)
  IJL_WRITE_FAILED = -8,         // the encoded data could not be written out whole (disk full, ...)
};

enum IJLIOTYPE : int {
  IJL_JFILE_WRITEWHOLEIMAGE = 8,
};

enum IJL_COLOR : int {
  IJL_RGB = 1,
  IJL_BGR = 2,
  IJL_YCBCR = 3,
  IJL_G = 4,
};

enum IJL_JPGSUBSAMPLING : int {
  IJL_NONE = 0,
  IJL_411 = 1,
  IJL_422 = 2,
};

struct IjlEncoderState;

struct JPEG_CORE_PROPERTIES {
  // Source pixels.
  const uint8_t* DIBBytes;
  int32_t DIBWidth;
  int32_t DIBHeight;    // negative: rows stored bottom-up
  int32_t DIBPadBytes;  // bytes after the last pixel of each row
  int32_t DIBChannels;
  IJL_COLOR DIBColor;
  // Output.
  const wchar_t* JPGFile;
  // When set, a HANDLE open for writing: the file is written through it, from where it stands, and
  // left open, and JPGFile only names it. When null, JPGFile is created (or emptied) and closed.
  void* JPGFileHandle;
  int32_t JPGWidth;
  int32_t JPGHeight;
  int32_t JPGChannels;
  IJL_COLOR JPGColor;
  IJL_JPGSUBSAMPLING JPGSubsampling;
  int32_t jquality;
  // Owned by the library between ijlInit and ijlFree.
  IjlEncoderState* state;
};

// Prepares a zeroed record: three-channel BGR pixels, YCbCr 4:2:0 output, quality 75.
int ijlInit(JPEG_CORE_PROPERTIES* jcprops);
// Encodes the whole image and writes it to JPGFileHandle, or to JPGFile, created anew.
int ijlWrite(JPEG_CORE_PROPERTIES* jcprops, IJLIOTYPE iotype);
// Releases what ijlInit took; the record may be prepared again afterwards.
int ijlFree(JPEG_CORE_PROPERTIES* jcprops);
