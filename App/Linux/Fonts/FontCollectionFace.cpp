#include "FontCollectionFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

struct FontCollectionFace::Face
{
    ~Face()
    {
        if (face != nullptr)
            FT_Done_Face (face);

        if (library != nullptr)
            FT_Done_FreeType (library);
    }

    // Font units per unit of height.
    float getScale() const  { return 1.0f / (float) (face->ascender - face->descender); }

    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

namespace
{
    // FreeType's outline in font units, y upwards, as a path in units of height, y downwards.
    struct OutlineToPath
    {
        juce::Point<float> toPoint (const FT_Vector* v) const
        {
            return { scale * (float) v->x, -scale * (float) v->y };
        }

        static OutlineToPath& of (void* user)   { return *static_cast<OutlineToPath*> (user); }

        static int moveTo (const FT_Vector* to, void* user)
        {
            auto& self = of (user);
            self.path.closeSubPath();
            self.path.startNewSubPath (self.toPoint (to));
            return 0;
        }

        static int lineTo (const FT_Vector* to, void* user)
        {
            auto& self = of (user);
            self.path.lineTo (self.toPoint (to));
            return 0;
        }

        static int conicTo (const FT_Vector* control, const FT_Vector* to, void* user)
        {
            auto& self = of (user);
            self.path.quadraticTo (self.toPoint (control), self.toPoint (to));
            return 0;
        }

        static int cubicTo (const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user)
        {
            auto& self = of (user);
            self.path.cubicTo (self.toPoint (control1), self.toPoint (control2), self.toPoint (to));
            return 0;
        }

        const float scale;
        juce::Path path;
    };

    juce::Path convertOutline (FT_Outline& outline, float scale)
    {
        const FT_Outline_Funcs funcs { OutlineToPath::moveTo, OutlineToPath::lineTo, OutlineToPath::conicTo,
                                       OutlineToPath::cubicTo, 0, 0 };
        OutlineToPath converter { scale, {} };

        if (FT_Outline_Decompose (&outline, &funcs, &converter) != 0)
            return {};

        converter.path.closeSubPath();
        return converter.path;
    }

    bool isCharacter (int glyphNumber)
    {
        return juce::isPositiveAndNotGreaterThan (glyphNumber, 0x10ffff);
    }
}

//==============================================================================
juce::Typeface::Ptr FontCollectionFace::open (const juce::File& collection, int faceIndex)
{
    auto face = std::make_unique<Face>();

    if (FT_Init_FreeType (&face->library) != 0)
        return nullptr;

    if (FT_New_Face (face->library, collection.getFullPathName().toRawUTF8(), faceIndex, &face->face) != 0)
        return nullptr;

    const auto* ft = face->face;

    if ((ft->face_flags & FT_FACE_FLAG_SCALABLE) == 0 || ft->ascender - ft->descender <= 0
         || FT_Select_Charmap (face->face, FT_ENCODING_UNICODE) != 0)
        return nullptr;

    return new FontCollectionFace (std::move (face));
}

FontCollectionFace::FontCollectionFace (std::unique_ptr<Face> faceToUse)
    : juce::Typeface (faceToUse->face->family_name, faceToUse->face->style_name),
      face (std::move (faceToUse)),
      ascent ((float) face->face->ascender * face->getScale())
{
}

FontCollectionFace::~FontCollectionFace() = default;

//==============================================================================
float FontCollectionFace::getAscent() const                 { return ascent; }
float FontCollectionFace::getDescent() const                { return 1.0f - ascent; }
float FontCollectionFace::getHeightToPointsFactor() const   { return ascent; }

float FontCollectionFace::getStringWidth (const juce::String& text)
{
    const juce::ScopedLock sl (lock);
    float width = 0.0f;

    for (auto t = text.getCharPointer(); ! t.isEmpty();)
        width += getGlyph (t.getAndAdvance()).advance;

    return width;
}

void FontCollectionFace::getGlyphPositions (const juce::String& text, juce::Array<int>& glyphNumbers,
                                            juce::Array<float>& xOffsets)
{
    const juce::ScopedLock sl (lock);
    float x = 0.0f;
    xOffsets.add (x);

    for (auto t = text.getCharPointer(); ! t.isEmpty();)
    {
        const auto character = t.getAndAdvance();
        x += getGlyph (character).advance;
        glyphNumbers.add ((int) character);
        xOffsets.add (x);
    }
}

bool FontCollectionFace::getOutlineForGlyph (int glyphNumber, juce::Path& path)
{
    if (! isCharacter (glyphNumber))
        return false;

    const juce::ScopedLock sl (lock);
    path = getGlyph ((juce::juce_wchar) glyphNumber).outline;
    return true;
}

juce::EdgeTable* FontCollectionFace::getEdgeTableForGlyph (int glyphNumber, const juce::AffineTransform& transform,
                                                           float)
{
    juce::Path outline;

    if (! getOutlineForGlyph (glyphNumber, outline) || outline.isEmpty())
        return nullptr;

    return new juce::EdgeTable (outline.getBoundsTransformed (transform).getSmallestIntegerContainer().expanded (1, 0),
                                outline, transform);
}

//==============================================================================
const FontCollectionFace::Glyph& FontCollectionFace::getGlyph (juce::juce_wchar character)
{
    auto known = glyphs.find (character);

    if (known == glyphs.end())
        known = glyphs.emplace (character, loadGlyph (character)).first;

    return known->second;
}

// A character that the face lacks gets glyph 0, the face's missing glyph.
FontCollectionFace::Glyph FontCollectionFace::loadGlyph (juce::juce_wchar character) const
{
    auto* ft = face->face;
    const auto index = FT_Get_Char_Index (ft, (FT_ULong) character);

    if (FT_Load_Glyph (ft, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_IGNORE_TRANSFORM | FT_LOAD_NO_HINTING) != 0
         || ft->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return {};

    const auto scale = face->getScale();
    return { convertOutline (ft->glyph->outline, scale), (float) ft->glyph->metrics.horiAdvance * scale };
}
