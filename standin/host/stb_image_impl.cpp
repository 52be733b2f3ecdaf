// The one build of stb_image, the decoder the stand-ins (and the tests, as an
// oracle) use for pictures the exporter's own readers do not take.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
