#pragma once

#include <QString>

#include <array>
#include <map>

class QOpenGLFunctions_4_1_Core;

// One glyph rasterised at 64 px: its texture, bitmap size and bearing (px), advance (1/64 px).
struct Character {
    unsigned int texture = 0;
    float size[2] = {0, 0};
    float bearing[2] = {0, 0};
    unsigned int advance = 0;
};

// Codes 0..127 from the font file, one red-channel texture each. A font that cannot be
// opened gives an empty map (the labels then do not appear). Needs a current context.
std::map<char, Character> loadGlyphs(QOpenGLFunctions_4_1_Core& gl, const QString& fontPath);

// Six (x, y, s, t) vertices of a glyph's quad at pen position (x, y), in world units.
std::array<float, 24> glyphQuad(const Character& c, float x, float y, float scale);

// Where the pen goes after the glyph.
float glyphAdvance(const Character& c, float scale);

// The label font beside the executable.
QString viewFontPath();
