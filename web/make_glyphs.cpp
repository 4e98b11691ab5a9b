// Writes the desktop game's glyph table as C++ for the page: GLUT draws every glyph in a window of
// the game's size, exactly as the game makes them at its first frame. Run on a display (Xvfb will
// do): make_glyphs OUTPUT.cpp
#include <GL/glut.h>

#include <cstdio>

#include "render/glyphs.h"

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  if (argc != 2) {
    std::fputs("Usage: make_glyphs OUTPUT.cpp\n", stderr);
    return 2;
  }
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(500, 400);
  glutCreateWindow("Zarvanto glyphs");
  if (!makeGlyphs()) {
    std::fputs("make_glyphs: GLUT's glyphs could not be made\n", stderr);
    return 1;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) return 1;
  std::fputs("// GLUT's glyphs as the desktop game makes them; written by web/make_glyphs.cpp.\n", out);
  std::fputs("#include \"render/glyphs.h\"\n\nTGlyph glyphs[fontCount][glyphCodes] = {\n", out);
  for (const auto& font : glyphs) {
    std::fputs("  {", out);
    for (const TGlyph& g : font)
      std::fprintf(out, "{%d, %d, %d, %d, %af}, ", g.left, g.bottom, g.right, g.top, double(g.advance));
    std::fputs("},\n", out);
  }
  std::fputs("};\n\nuint8_t glyphAtlas[atlasSize][atlasSize] = {\n", out);
  for (const auto& row : glyphAtlas) {
    std::fputs("  {", out);
    for (uint8_t texel : row) std::fprintf(out, "%d,", texel);
    std::fputs("},\n", out);
  }
  std::fputs("};\n", out);
  return std::fclose(out) == 0 ? 0 : 1;
}
