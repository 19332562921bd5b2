#pragma once

#include <juce_graphics/juce_graphics.h>

#include <map>
#include <memory>

//==============================================================================
/**
    Linux only: one face of a font file, a collection (.ttc) or a single face,
    read in place through FreeType from the file that fontconfig names. JUCE
    cannot load a collection, and would find single files only through its own
    scan of every font folder, which decodes their names unchecked.

    It draws as JUCE's own FreeType typefaces do: glyph numbers are characters,
    the height is normalised to ascent plus descent, outlines are not hinted, and
    a character the face lacks gets the face's missing glyph. Glyphs are loaded
    from the face as they are first asked for; any thread may use the typeface.
*/
class FontCollectionFace  : public juce::Typeface
{
public:
    /** Whether the advances take the pairs of the file's kerning table, as
        JUCE's own typefaces take them.
    */
    enum class Spacing
    {
        plain,
        kerned
    };

    /** Face number faceIndex of the file, whose name is passed to FreeType as
        the bytes it is, or nullptr when FreeType cannot open it as a scalable
        face with line metrics.
    */
    static juce::Typeface::Ptr open (const char* file, int faceIndex, Spacing spacing = Spacing::plain);

    ~FontCollectionFace() override;

    //==============================================================================
    float getAscent() const override;
    float getDescent() const override;
    float getHeightToPointsFactor() const override;
    float getStringWidth (const juce::String& text) override;
    void getGlyphPositions (const juce::String& text, juce::Array<int>& glyphs, juce::Array<float>& xOffsets) override;
    bool getOutlineForGlyph (int glyphNumber, juce::Path& path) override;
    juce::EdgeTable* getEdgeTableForGlyph (int glyphNumber, const juce::AffineTransform& transform,
                                           float fontHeight) override;

private:
    struct Face;

    struct Glyph
    {
        juce::Path outline;
        float advance = 0.0f;
    };

    FontCollectionFace (std::unique_ptr<Face> face, Spacing spacing);

    const Glyph& getGlyph (juce::juce_wchar character);
    Glyph loadGlyph (juce::juce_wchar character) const;
    float getAdvance (juce::juce_wchar character, juce::juce_wchar next);
    float getKerning (juce::juce_wchar character, juce::juce_wchar next) const;

    const std::unique_ptr<Face> face;
    const bool kerned;
    const float ascent;
    std::map<juce::juce_wchar, Glyph> glyphs;
    juce::CriticalSection lock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FontCollectionFace)
};
