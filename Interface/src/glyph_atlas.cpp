#include "kes_view/glyph_atlas.h"

#include <QCoreApplication>
#include <QFile>
#include <QOpenGLFunctions_4_1_Core>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace {

constexpr FT_UInt kPixelHeight = 64;

Character uploadGlyph(QOpenGLFunctions_4_1_Core& gl, const FT_GlyphSlot glyph)
{
    Character c;
    gl.glGenTextures(1, &c.texture);
    gl.glBindTexture(GL_TEXTURE_2D, c.texture);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, int(glyph->bitmap.width), int(glyph->bitmap.rows), 0, GL_RED,
                    GL_UNSIGNED_BYTE, glyph->bitmap.buffer);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    c.size[0] = float(glyph->bitmap.width);
    c.size[1] = float(glyph->bitmap.rows);
    c.bearing[0] = float(glyph->bitmap_left);
    c.bearing[1] = float(glyph->bitmap_top);
    c.advance = static_cast<unsigned int>(glyph->advance.x);
    return c;
}

} // namespace

std::map<char, Character> loadGlyphs(QOpenGLFunctions_4_1_Core& gl, const QString& fontPath)
{
    std::map<char, Character> glyphs;
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return glyphs;
    FT_Face face = nullptr;
    // The file system's own encoding (UTF-8 here), so a path with Chinese characters opens.
    if (FT_New_Face(library, QFile::encodeName(fontPath).constData(), 0, &face) == 0) {
        FT_Set_Pixel_Sizes(face, 0, kPixelHeight);
        gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        for (int code = 0; code < 128; ++code) {
            if (FT_Load_Char(face, FT_ULong(code), FT_LOAD_RENDER) == 0)
                glyphs[char(code)] = uploadGlyph(gl, face->glyph);
        }
        gl.glBindTexture(GL_TEXTURE_2D, 0);
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return glyphs;
}

std::array<float, 24> glyphQuad(const Character& c, float x, float y, float scale)
{
    const float xpos = x + c.bearing[0] * scale;
    const float ypos = y - (c.size[1] - c.bearing[1]) * scale;
    const float w = c.size[0] * scale;
    const float h = c.size[1] * scale;
    return {xpos, ypos + h, 0, 0, xpos,     ypos, 0, 1, xpos + w, ypos,     1, 1,
            xpos, ypos + h, 0, 0, xpos + w, ypos, 1, 1, xpos + w, ypos + h, 1, 0};
}

float glyphAdvance(const Character& c, float scale)
{
    return float(c.advance >> 6) * scale;
}

QString viewFontPath()
{
    return QCoreApplication::applicationDirPath() + "/Font/HK-Grotesk/HKGrotesk-Regular-9.otf";
}
