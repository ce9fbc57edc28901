#include "platform/ijl/ijl.h"

#include <windows.h>
#include <ocidl.h>
#include <wincodec.h>

#include <cstdint>
#include <cstring>

#include "platform/win/com.h"

struct IjlEncoderState {
  win::ComApartment apartment;
  win::ComPtr<IWICImagingFactory> factory;
};

namespace {

int g_injected_status = IJL_OK;
int g_injected_rows = 0;

bool Failed(HRESULT hr) { return FAILED(hr); }

int EncodeToFile(IWICImagingFactory* factory, const JPEG_CORE_PROPERTIES& p, int64_t stride) {
  win::ComPtr<IWICStream> stream;
  if (Failed(factory->CreateStream(&stream))) return IJL_CODEC_UNAVAILABLE;
  if (Failed(stream->InitializeFromFilename(p.JPGFile, GENERIC_WRITE))) return IJL_FILE_CREATE_FAILED;

  win::ComPtr<IWICBitmapEncoder> encoder;
  if (Failed(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder))) return IJL_CODEC_UNAVAILABLE;
  if (Failed(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache))) return IJL_ENCODE_FAILED;

  win::ComPtr<IWICBitmapFrameEncode> frame;
  win::ComPtr<IPropertyBag2> options;
  if (Failed(encoder->CreateNewFrame(&frame, &options))) return IJL_ENCODE_FAILED;
  PROPBAG2 option{};
  option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
  VARIANT quality;
  ::VariantInit(&quality);
  quality.vt = VT_R4;
  quality.fltVal = static_cast<float>(p.jquality) / 100.0f;
  if (Failed(options->Write(1, &option, &quality))) return IJL_ENCODE_FAILED;
  if (Failed(frame->Initialize(options.Get()))) return IJL_ENCODE_FAILED;
  if (Failed(frame->SetSize(static_cast<UINT>(p.JPGWidth), static_cast<UINT>(p.JPGHeight))))
    return IJL_ENCODE_FAILED;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (Failed(frame->SetPixelFormat(&format)) || !::IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
    return IJL_ENCODE_FAILED;

  const int rows = p.JPGHeight;
  const bool bottom_up = p.DIBHeight < 0;
  const UINT row_bytes = static_cast<UINT>(p.DIBWidth) * 3u;
  auto* pixels = const_cast<BYTE*>(p.DIBBytes);
  const int injected_rows = g_injected_status != IJL_OK ? g_injected_rows : -1;
  if (!bottom_up && injected_rows < 0) {
    // Top-down rows are already in the encoder's order: hand them over in one call.
    if (Failed(frame->WritePixels(static_cast<UINT>(rows), static_cast<UINT>(stride),
                                  static_cast<UINT>(stride * (rows - 1) + row_bytes), pixels)))
      return IJL_ENCODE_FAILED;
  } else {
    // Bottom-up rows go over one at a time, top row first, straight from the caller's memory.
    for (int y = 0; y < rows; ++y) {
      if (y == injected_rows) {
        int status = g_injected_status;
        g_injected_status = IJL_OK;
        return status;
      }
      BYTE* row = pixels + (bottom_up ? rows - 1 - y : y) * stride;
      if (Failed(frame->WritePixels(1, static_cast<UINT>(stride), row_bytes, row))) return IJL_ENCODE_FAILED;
    }
  }
  if (Failed(frame->Commit())) return IJL_WRITE_FAILED;
  if (Failed(encoder->Commit())) return IJL_WRITE_FAILED;
  if (Failed(stream->Commit(STGC_DEFAULT))) return IJL_WRITE_FAILED;
  return IJL_OK;
}

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

  auto* state = new (std::nothrow) IjlEncoderState;
  if (!state) return IJL_CODEC_UNAVAILABLE;
  HRESULT hr = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&state->factory));
  if (FAILED(hr)) {
    delete state;
    return IJL_CODEC_UNAVAILABLE;
  }
  jcprops->state = state;
  return IJL_OK;
}

int ijlWrite(JPEG_CORE_PROPERTIES* jcprops, IJLIOTYPE iotype) {
  if (!jcprops || !jcprops->state) return IJL_INVALID_PROPERTIES;
  if (iotype != IJL_JFILE_WRITEWHOLEIMAGE) return IJL_UNSUPPORTED_IO;
  const JPEG_CORE_PROPERTIES& p = *jcprops;
  if (!p.DIBBytes || p.DIBWidth <= 0 || p.DIBHeight == 0 || p.DIBPadBytes < 0 || p.DIBPadBytes > 3 ||
      p.DIBChannels != 3 || p.DIBColor != IJL_BGR)
    return IJL_BAD_DIB;
  const int64_t height = p.DIBHeight < 0 ? -int64_t{p.DIBHeight} : p.DIBHeight;
  if (!p.JPGFile || !*p.JPGFile || p.JPGWidth != p.DIBWidth || p.JPGHeight != height || p.jquality < 0 ||
      p.jquality > 100 || p.JPGChannels != 3)
    return IJL_BAD_JPEG_SETTINGS;
  const int64_t stride = int64_t{p.DIBWidth} * 3 + p.DIBPadBytes;
  if (stride * height > UINT32_MAX) return IJL_BAD_DIB;  // more than the encoder can be handed
  return EncodeToFile(p.state->factory.Get(), p, stride);
}

int ijlFree(JPEG_CORE_PROPERTIES* jcprops) {
  if (!jcprops) return IJL_INVALID_PROPERTIES;
  delete jcprops->state;
  jcprops->state = nullptr;
  return IJL_OK;
}

void ijlInjectWriteFailure(int status, int rows_before_failure) {
  g_injected_status = status;
  g_injected_rows = rows_before_failure;
}
