#include "firmware/image_buffer.h"

namespace lamp::firmware {

ImageBuffer::ImageBuffer() {
  Fill(0xFF);
}

ImageBuffer& ProgramImageBuffer() {
  static ImageBuffer buffer;
  return buffer;
}

} // namespace lamp::firmware
