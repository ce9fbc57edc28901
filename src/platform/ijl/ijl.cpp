#include "platform/ijl/ijl.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "jpeg/encoder/encoder.h"
#include "platform/win/unique.h"

// What the library keeps between ijlInit and ijlFree; it marks the record as prepared.
struct IjlEncoderState {};

namespace {

// The encoded bytes go straight to the file, in the encoder's chunks.
class FileSink final : public jpeg::Sink {
 public:
  explicit FileSink(HANDLE file) : file_(file) {}

  bool Put(const uint8_t* data, size_t size) override {
    while (size > 0) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
      DWORD written = 0;
      if (!::WriteFile(file_, data, chunk, &written, nullptr) || written != chunk) return false;
      data += chunk;
      size -= chunk;
    }
    return true;
  }

 private:
  HANDLE file_;
};

}  // namespace

int ijlInit(JPEG_CORE_PROPERTIES* jcprops) {
  if (!jcprops || jcprops->state) return IJL_INVALID_PROPERTIES;
  std::memset(jcprops, 0, sizeof *jcprops);
  jcprops->DIBChannels = 3;
  jcprops->DIBColor = IJL_BGR;
  jcprops->JPGChannels = 3;
  jcprops->JPGColor = IJL_YCBCR;
  jcprops->JPGSubsampling = IJL_411;
  jcprops->jquality = 75;
  jcprops->state = new (std::nothrow) IjlEncoderState;
  return jcprops->state ? IJL_OK : IJL_MEMORY_ERROR;
}

int ijlWrite(JPEG_CORE_PROPERTIES* jcprops, IJLIOTYPE iotype) {
  if (!jcprops || !jcprops->state) return IJL_INVALID_PROPERTIES;
  if (iotype != IJL_JFILE_WRITEWHOLEIMAGE) return IJL_UNSUPPORTED_IO;
  const JPEG_CORE_PROPERTIES& p = *jcprops;
  if (!p.DIBBytes || p.DIBWidth <= 0 || p.DIBHeight == 0 || p.DIBPadBytes < 0 || p.DIBPadBytes > 3 ||
      p.DIBChannels != 3 || p.DIBColor != IJL_BGR)
    return IJL_BAD_DIB;
  const int64_t height = p.DIBHeight < 0 ? -int64_t{p.DIBHeight} : p.DIBHeight;
  if (!p.JPGFile || !*p.JPGFile || p.JPGWidth != p.DIBWidth || p.JPGHeight != height || p.JPGWidth > 65535 ||
      p.JPGHeight > 65535 || p.jquality < 0 || p.jquality > 100 || p.JPGChannels != 3)
    return IJL_BAD_JPEG_SETTINGS;

  const ptrdiff_t stride = static_cast<ptrdiff_t>(p.DIBWidth) * 3 + p.DIBPadBytes;
  jpeg::Pixels pixels;
  pixels.width = p.DIBWidth;
  pixels.height = p.JPGHeight;
  if (p.DIBHeight < 0) {  // bottom-up: the picture's top row is the last in memory
    pixels.top_row = p.DIBBytes + static_cast<ptrdiff_t>(height - 1) * stride;
    pixels.row_step = -stride;
  } else {
    pixels.top_row = p.DIBBytes;
    pixels.row_step = stride;
  }

  win::FileHandle created;
  HANDLE file = p.JPGFileHandle;
  if (!file) {
    created.reset(
        ::CreateFileW(p.JPGFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!created) return IJL_FILE_CREATE_FAILED;
    file = created.get();
  }
  FileSink sink(file);
  switch (jpeg::Encode(pixels, p.jquality, sink)) {
    case jpeg::EncodeResult::kOk:
      break;
    case jpeg::EncodeResult::kBadImage:
      return IJL_BAD_DIB;
    case jpeg::EncodeResult::kBadQuality:
      return IJL_BAD_JPEG_SETTINGS;
    case jpeg::EncodeResult::kOutOfMemory:
      return IJL_MEMORY_ERROR;
    case jpeg::EncodeResult::kSinkFailed:
      return IJL_WRITE_FAILED;
  }
  // A file of our own is closed here, where a failure to close can still be told.
  if (created && !::CloseHandle(created.release())) return IJL_WRITE_FAILED;
  return IJL_OK;
}

int ijlFree(JPEG_CORE_PROPERTIES* jcprops) {
  if (!jcprops) return IJL_INVALID_PROPERTIES;
  delete jcprops->state;
  jcprops->state = nullptr;
  return IJL_OK;
}
