// The one build of stb_image, the decoder the stand-ins (and the tests, as an
// oracle) use for pictures the exporter's own readers do not take, and of
// stb_image_resize, which shrinks textures to fit the skin page.
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb/stb_image_resize.h>
