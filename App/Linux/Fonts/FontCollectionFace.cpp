#include "FontCollectionFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H

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
    // FreeType's outline in font units, y upwards, read as JUCE's own typefaces
    // read it into a path in units of height, y downwards: point by point,
    // with the midpoint between two control points taken after scaling, so
    // that a face draws the very pixels that JUCE's would. (FreeType's own walk
    // through an outline takes those midpoints in whole font units.)
    struct OutlineReader
    {
        juce::Point<float> getPoint (int i) const
        {
            return { scale * (float) outline.points[i].x, -scale * (float) outline.points[i].y };
        }

        int getTag (int i) const   { return FT_CURVE_TAG (outline.tags[i]); }

        bool isValidContour (int first, int last) const
        {
            return 0 <= first && first <= last && last < outline.n_points;
        }

        void startContour (juce::Path& path, int first, int last) const
        {
            if (getTag (first) != FT_CURVE_TAG_CONIC)
                return path.startNewSubPath (getPoint (first));

            const auto end = getPoint (last);
            path.startNewSubPath (getTag (last) != FT_CURVE_TAG_ON ? (getPoint (first) + end) * 0.5f : end);
        }

        // The segment from point p on; p moves to its last point. False when a
        // cubic segment is malformed.
        bool addSegment (juce::Path& path, int& p, int first, int last) const
        {
            if (getTag (p) == FT_CURVE_TAG_ON && p != first)
                path.lineTo (getPoint (p));
            else if (getTag (p) == FT_CURVE_TAG_CONIC)
                addConic (path, p, first, last);
            else if (getTag (p) == FT_CURVE_TAG_CUBIC)
                return addCubic (path, p, first, last);

            return true;
        }

        void addConic (juce::Path& path, int& p, int first, int last) const
        {
            const auto control = getPoint (p);
            const auto next = p == last ? first : p + 1;
            auto end = getPoint (next);

            if (getTag (next) == FT_CURVE_TAG_CONIC)
                end = (control + end) * 0.5f;
            else
                ++p;

            path.quadraticTo (control, end);
        }

        bool addCubic (juce::Path& path, int& p, int first, int last) const
        {
            const auto control2 = p + 1;
            const auto end = p == last - 1 ? first : p + 2;

            if (p >= last || getTag (control2) != FT_CURVE_TAG_CUBIC || getTag (end) != FT_CURVE_TAG_ON)
                return false;

            path.cubicTo (getPoint (p), getPoint (control2), getPoint (end));
            p += 2;
            return true;
        }

        const FT_Outline& outline;
        const float scale;
    };

    juce::Path convertOutline (const FT_Outline& outline, float scale)
    {
        const OutlineReader reader { outline, scale };
        juce::Path path;

        for (int c = 0; c < outline.n_contours; ++c)
        {
            const int first = c == 0 ? 0 : outline.contours[c - 1] + 1;
            const int last = outline.contours[c];

            if (! reader.isValidContour (first, last))
                return {};

            reader.startContour (path, first, last);

            for (int p = first; p <= last; ++p)
                if (! reader.addSegment (path, p, first, last))
                    return {};

            path.closeSubPath();
        }

        return path;
    }

    bool isCharacter (int glyphNumber)
    {
        return juce::isPositiveAndNotGreaterThan (glyphNumber, 0x10ffff);
    }
}

//==============================================================================
juce::Typeface::Ptr FontCollectionFace::open (const char* file, int faceIndex, Spacing spacing)
{
    auto face = std::make_unique<Face>();

    if (FT_Init_FreeType (&face->library) != 0)
        return nullptr;

    if (FT_New_Face (face->library, file, faceIndex, &face->face) != 0)
        return nullptr;

    const auto* ft = face->face;

    if ((ft->face_flags & FT_FACE_FLAG_SCALABLE) == 0 || ft->ascender - ft->descender <= 0
         || FT_Select_Charmap (face->face, FT_ENCODING_UNICODE) != 0)
        return nullptr;

    return new FontCollectionFace (std::move (face), spacing);
}

FontCollectionFace::FontCollectionFace (std::unique_ptr<Face> faceToUse, Spacing spacing)
    : juce::Typeface (faceToUse->face->family_name, faceToUse->face->style_name),
      face (std::move (faceToUse)),
      kerned (spacing == Spacing::kerned && FT_HAS_KERNING (face->face)),
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
    {
        const auto character = t.getAndAdvance();
        width += getAdvance (character, *t);
    }

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
        x += getAdvance (character, *t);
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

float FontCollectionFace::getAdvance (juce::juce_wchar character, juce::juce_wchar next)
{
    const auto advance = getGlyph (character).advance;
    return kerned && next != 0 ? advance + getKerning (character, next) : advance;
}

// As JUCE's own typefaces kern: by the kerning table alone, in units of
// height, and never before a character that the face lacks.
float FontCollectionFace::getKerning (juce::juce_wchar character, juce::juce_wchar next) const
{
    auto* ft = face->face;
    const auto nextIndex = FT_Get_Char_Index (ft, (FT_ULong) next);
    FT_Vector kerning {};

    if (nextIndex == 0
         || FT_Get_Kerning (ft, FT_Get_Char_Index (ft, (FT_ULong) character), nextIndex, FT_KERNING_UNSCALED, &kerning) != 0)
        return 0.0f;

    return (float) kerning.x / (float) (ft->ascender - ft->descender);
}
